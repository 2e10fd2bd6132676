// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/host_message.h"

#include <algorithm>
#include <cstring>
#include <nlohmann/json.hpp>

#include "text/codepage.h"

namespace tessel::bridge {
namespace {

using Json = nlohmann::json;

// The texts several checks give; the others stand at their one check.
constexpr std::string_view kNotJson = "消息不是有效的 UTF-8 JSON";
constexpr std::string_view kNotObject = "消息必须是 JSON 对象";
constexpr std::string_view kLinksNotList = "links 必须是文本的列表";
constexpr std::string_view kPageNotText = "page 必须是文本";

// Takes only what a request holds while the parser walks the text, and stops
// it at the first thing that breaks a bound: a deep or huge document is never
// built as a tree.
class RequestSax final : public nlohmann::json_sax<Json> {
 public:
    HostRequest request;
    std::string error;
    bool sawLinks = false;

    bool null() override { return Scalar(); }
    bool boolean(bool) override { return Scalar(); }
    bool number_integer(number_integer_t) override { return Scalar(); }
    bool number_unsigned(number_unsigned_t) override { return Scalar(); }
    bool number_float(number_float_t, const string_t&) override { return Scalar(); }
    bool binary(binary_t&) override { return Scalar(); }

    bool string(string_t& value) override {
        if (depth_ == 0) return Fail(kNotObject);
        if (depth_ == 1 && field_ == Field::Links) return Fail(kLinksNotList);
        if (depth_ == 1 && field_ == Field::Page) {
            if (value.size() > kMaxHostLinkBytes) return Fail("页面地址超过 64 KiB");
            request.page = std::move(value);
            return true;
        }
        if (depth_ == 2 && inLinks_) return AddLink(value);
        return true;
    }

    bool start_object(std::size_t) override {
        if (depth_ == 1 && field_ == Field::Links) return Fail(kLinksNotList);
        if (depth_ == 1 && field_ == Field::Page) return Fail(kPageNotText);
        if (depth_ == 2 && inLinks_) return Fail(kLinksNotList);
        return Enter();
    }
    bool end_object() override { return Leave(); }

    bool start_array(std::size_t) override {
        if (depth_ == 0) return Fail(kNotObject);
        if (depth_ == 1 && field_ == Field::Page) return Fail(kPageNotText);
        if (depth_ == 2 && inLinks_) return Fail(kLinksNotList);
        if (depth_ == 1 && field_ == Field::Links) inLinks_ = true;
        return Enter();
    }
    bool end_array() override {
        if (depth_ == 2) inLinks_ = false;
        return Leave();
    }

    bool key(string_t& name) override {
        if (depth_ != 1) return true;
        field_ = name == "links" ? Field::Links : name == "page" ? Field::Page : Field::Other;
        if (field_ == Field::Links) {
            if (sawLinks) return Fail("links 出现了两次");
            sawLinks = true;
        }
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        if (error.empty()) error = kNotJson;
        return false;
    }

 private:
    enum class Field { Other, Links, Page };

    bool Scalar() {
        if (depth_ == 0) return Fail(kNotObject);
        if (depth_ == 1 && field_ == Field::Links) return Fail(kLinksNotList);
        if (depth_ == 1 && field_ == Field::Page) return Fail(kPageNotText);
        if (depth_ == 2 && inLinks_) return Fail(kLinksNotList);
        return true;
    }

    bool AddLink(std::string& link) {
        if (request.links.size() >= kMaxHostLinks) return Fail("链接超过 256 条");
        if (link.size() > kMaxHostLinkBytes) return Fail("有一条链接超过 64 KiB");
        if (link.empty()) return Fail("有一条链接是空的");
        // "\u0000" is valid JSON, but no link holds it and the forward to
        // the window refuses it.
        if (link.find('\0') != std::string::npos) return Fail("链接里不能有空字符");
        request.links.push_back(std::move(link));
        return true;
    }

    bool Enter() {
        if (++depth_ > kMaxHostJsonDepth) return Fail("消息嵌套太深");
        return true;
    }
    bool Leave() {
        --depth_;
        return true;
    }
    bool Fail(std::string_view why) {
        error = why;
        return false;
    }

    std::size_t depth_ = 0;
    Field field_ = Field::Other;
    bool inLinks_ = false;
};

}  // namespace

HostReading ReadHostRequest(std::string_view json) {
    HostReading out;
    if (json.size() > kMaxHostMessageBytes) {
        out.error = "消息超过 1 MiB";
        return out;
    }
    // The parser checks the bytes inside strings; this also covers the rest.
    if (!text::IsValidUtf8(json)) {
        out.error = kNotJson;
        return out;
    }
    RequestSax sax;
    const bool parsed =
        Json::sax_parse(json.begin(), json.end(), &sax, nlohmann::detail::input_format_t::json,
                        /*strict=*/true);
    if (!parsed || !sax.error.empty()) {
        out.error = sax.error.empty() ? std::string(kNotJson) : sax.error;
        return out;
    }
    if (!sax.sawLinks || sax.request.links.empty()) {
        out.error = "消息里没有链接";
        return out;
    }
    out.request = std::move(sax.request);
    return out;
}

std::string HostAnswerOk(std::size_t count) { return Json{{"ok", true}, {"count", count}}.dump(); }

std::string HostAnswerError(std::string_view error) {
    // Our own texts are UTF-8; anything else passed in is replaced, never thrown on.
    return Json{{"ok", false}, {"error", std::string(error)}}.dump(-1, ' ', false,
                                                                   Json::error_handler_t::replace);
}

std::string FrameHostMessage(std::string_view json) {
    const auto length = static_cast<std::uint32_t>(json.size());
    std::string out(sizeof length, '\0');
    std::memcpy(out.data(), &length, sizeof length);  // the machine's own byte order
    out.append(json);
    return out;
}

void HostFrames::Feed(std::string_view bytes, std::vector<Frame>& out) {
    while (!bytes.empty()) {
        switch (part_) {
            case Part::Length: {
                const std::size_t take = std::min(bytes.size(), sizeof(std::uint32_t) - header_.size());
                header_.append(bytes.substr(0, take));
                bytes.remove_prefix(take);
                if (header_.size() < sizeof(std::uint32_t)) break;
                std::uint32_t length = 0;
                std::memcpy(&length, header_.data(), sizeof length);
                header_.clear();
                remaining_ = length;
                if (length > kMaxHostMessageBytes) {
                    out.push_back(Frame{{}, true});
                    part_ = Part::Skip;
                } else if (length == 0) {
                    out.push_back(Frame{});
                } else {
                    body_.reserve(length);
                    part_ = Part::Body;
                }
                break;
            }
            case Part::Body:
            case Part::Skip: {
                const std::size_t take =
                    static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), remaining_));
                if (part_ == Part::Body) body_.append(bytes.substr(0, take));
                bytes.remove_prefix(take);
                remaining_ -= take;
                if (remaining_ > 0) break;
                if (part_ == Part::Body) out.push_back(Frame{std::move(body_), false});
                body_.clear();
                part_ = Part::Length;
                break;
            }
        }
    }
}

}  // namespace tessel::bridge
