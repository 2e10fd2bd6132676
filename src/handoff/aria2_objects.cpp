// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/aria2_objects.h"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "links/url.h"
#include "text/codepage.h"
#include "text/vbstring.h"
#include "text/visible_text.h"

namespace tessel::handoff {
namespace {

constexpr std::size_t kMaxOutBytes = 240;  // file names stop at 255 bytes; leave room for aria2's ".aria2"
constexpr std::int32_t kErrAria2 =
    -2147221504 + 0x200;  // vbObjectError + 512, the first number free for objects

enum class Action { Send, Queue, Commit };

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

struct MethodSpec {
    std::u16string_view name;
    std::size_t minArgs;
    std::size_t maxArgs;
    Action action;
    std::size_t link = kNone;
    std::size_t page = kNone;
    std::size_t title = kNone;
};

struct ObjectSpec {
    std::u16string_view progId;
    std::span<const MethodSpec> methods;
};

constexpr MethodSpec kThunderMethods[] = {
    {u"AddTask", 8, 8, Action::Queue, 0, 4, 1},  // url, file name, path, comments, referrer, 3 switches
    {u"CommitTasks2", 1, 1, Action::Commit},
};
constexpr MethodSpec kFlashGetExMethods[] = {
    {u"AddUrlEx", 6, 7, Action::Send, 0, 2},  // url, comment, referrer, downloader, ...
};
constexpr MethodSpec kFlashGetMethods[] = {
    {u"AddUrlEx", 6, 6, Action::Send, 0, 2},
};
constexpr MethodSpec kJetCarMethods[] = {
    {u"AddUrl", 3, 3, Action::Send, 0, 2},  // url, comment, referrer
};
constexpr MethodSpec kQqMethods[] = {
    {u"SendUrl4", 9, 9, Action::Send, 0, 1, 8},  // url, referrer, comment, cookie, ..., file name
};

constexpr ObjectSpec kObjects[] = {
    {kThunderAgentProgId, kThunderMethods},      {kFlashGetNetscapeExProgId, kFlashGetExMethods},
    {kFlashGetNetscapeProgId, kFlashGetMethods}, {kJetCarNetscapeProgId, kJetCarMethods},
    {kQqRightClickProgId, kQqMethods},
};

std::u16string Arg(std::span<const Variant> args, std::size_t index) {
    return index < args.size() ? VariantText(args[index]) : std::u16string();
}

class Aria2Object : public AutomationObject {
 public:
    Aria2Object(const ObjectSpec& shape, const Aria2Settings& settings, const MediaHeaders& headers,
                const Aria2TaskSink& sink)
        : spec_(shape), settings_(settings), headers_(headers), sink_(sink) {}

    Variant Invoke(std::u16string_view method, std::span<const Variant> args) override {
        const MethodSpec* m = nullptr;
        for (const MethodSpec& candidate : spec_.methods) {
            if (text::EqualsNoCase(candidate.name, method)) m = &candidate;
        }
        if (!m) RaiseUnknownMethod(spec_.progId, method);
        RequireArgumentCount(spec_.progId, method, args, m->minArgs, m->maxArgs);

        switch (m->action) {
            case Action::Queue:
                queue_.push_back(TaskOf(*m, args));
                return kEmpty;
            case Action::Commit: {
                std::vector<Aria2Task> tasks;
                tasks.swap(queue_);
                for (const Aria2Task& task : tasks) Send(task);
                return kEmpty;
            }
            case Action::Send:
                Send(TaskOf(*m, args));
                return kEmpty;
        }
        return kEmpty;
    }

 private:
    void Send(const Aria2Task& task) {
        if (sink_)
            sink_(task);
        else
            SendToAria2(settings_, task, spec_.progId);
    }

    Aria2Task TaskOf(const MethodSpec& m, std::span<const Variant> args) const {
        return Aria2Task{Arg(args, m.link), Arg(args, m.page), Arg(args, m.title), headers_};
    }

    const ObjectSpec& spec_;
    Aria2Settings settings_;
    MediaHeaders headers_;
    Aria2TaskSink sink_;
    std::vector<Aria2Task> queue_;
};

std::u16string Aria2Description(const Aria2Reply& reply) {
    switch (reply.status) {
        case Aria2Status::Ok:
            break;
        case Aria2Status::NoAnswer:
            return u"aria2 没有回答：" + text::FromUtf8(reply.error);
        case Aria2Status::NotAria2:
            return u"回答的不是 aria2：" + text::FromUtf8(reply.error);
        case Aria2Status::Certificate:
            return u"aria2 的证书被拒绝：" + text::FromUtf8(reply.error);
        case Aria2Status::SecretRefused:
            return u"aria2 拒绝了密钥";
        case Aria2Status::Error:
            return u"aria2 报告错误：" + text::FromUtf8(reply.error);
    }
    return {};
}

}  // namespace

Aria2Error::Aria2Error(std::u16string source, Aria2Settings settings, Aria2Reply reply)
    : AutomationError(kErrAria2, std::move(source), Aria2Description(reply)),
      settings_(std::move(settings)),
      reply_(std::move(reply)) {}

namespace {

// The end of `name` cut to `limit` UTF-8 bytes at a character boundary, a
// surrogate pair being one character.
void CutToUtf8Bytes(std::u16string& name, std::size_t limit) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        std::size_t units = 1;
        std::size_t len = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
            name[i + 1] <= 0xDFFF) {
            units = 2;
            len = 4;
        }
        if (bytes + len > limit) {
            name.resize(i);
            return;
        }
        bytes += len;
        i += units - 1;
    }
}

bool IsAsciiAlnum(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

}  // namespace

std::u16string Aria2OutName(std::u16string_view title, std::u16string_view ext) {
    // "\u202Egpj.exe" would be listed as "exe.jpg" by every file manager.
    std::u16string name = text::StripBidiControls(title);
    for (char16_t& c : name) {
        if (c == u'/' || c == u'\\' || c < 0x20 || c == 0x7F) c = u'_';
    }
    name = text::Trim(name);
    std::u16string suffix;
    if (!ext.empty() && !name.empty()) {
        // Built by appending: GCC 12 at -O3 takes u"." + string for an
        // overlapping copy (-Wrestrict).
        suffix.reserve(ext.size() + 1);
        suffix.push_back(u'.');
        suffix.append(ext);
        const bool hasIt =
            name.size() > suffix.size() &&
            text::EqualsNoCase(std::u16string_view(name).substr(name.size() - suffix.size()), suffix);
        if (hasIt) {
            // The title's own spelling of it stays (".MP4").
            suffix = name.substr(name.size() - suffix.size());
            name.resize(name.size() - suffix.size());
        }
    }
    CutToUtf8Bytes(name, kMaxOutBytes - suffix.size());
    name = text::Trim(name);
    if (name.empty() || name == u"." || name == u"..") return {};
    return name + suffix;
}

std::u16string LinkExtension(std::u16string_view link) {
    const std::size_t scheme = link.find(u"://");
    if (scheme == std::u16string_view::npos) return {};
    std::u16string_view path = link.substr(scheme + 3);
    path = path.substr(0, path.find_first_of(u"?#"));
    const std::size_t slash = path.find(u'/');
    if (slash == std::u16string_view::npos) return {};  // a host names no file
    path = path.substr(path.rfind(u'/') + 1);
    const std::size_t dot = path.rfind(u'.');
    if (dot == std::u16string_view::npos) return {};
    const std::u16string_view ext = path.substr(dot + 1);
    const bool fit = !ext.empty() && ext.size() <= 8 && std::all_of(ext.begin(), ext.end(), IsAsciiAlnum) &&
                     std::any_of(ext.begin(), ext.end(), [](char16_t c) { return c > u'9'; });
    return fit ? std::u16string(ext) : std::u16string();
}

std::u16string Aria2OutNameOf(const Aria2Task& task) {
    const std::u16string ext =
        task.headers.ext.empty() ? LinkExtension(task.link) : text::FromUtf8(task.headers.ext);
    return Aria2OutName(task.title, ext);
}

std::u16string OutNameFromAddress(std::u16string_view address) {
    std::u16string_view rest = address;
    const std::size_t scheme = rest.find(u"://");
    if (scheme == std::u16string_view::npos) return {};
    rest.remove_prefix(scheme + 3);
    const std::size_t end = rest.find_first_of(u"?#");
    if (end != std::u16string_view::npos) rest = rest.substr(0, end);
    const std::size_t slash = rest.rfind(u'/');
    if (slash == std::u16string_view::npos) return {};  // a host with no path names no file
    return Aria2OutName(links::UrlDecodeGbkOrUtf8(rest.substr(slash + 1)));
}

Aria2MethodCall AddUriCall(const Aria2Task& task) {
    nlohmann::json options = nlohmann::json::object();
    if (const std::u16string out = Aria2OutNameOf(task); !out.empty()) options["out"] = text::ToUtf8(out);
    if (!task.headers.referer.empty())
        options["referer"] = task.headers.referer;
    else if (!task.page.empty())
        // The page is an address the user typed or pasted: UTF-8, as browsers send it.
        options["referer"] = EscapeLinkForAria2(task.page, text::CodePage::Utf8);
    if (!task.headers.userAgent.empty()) options["user-agent"] = task.headers.userAgent;
    if (!task.headers.header.empty()) options["header"] = task.headers.header;
    return {"aria2.addUri",
            {nlohmann::json::array({EscapeLinkForAria2(task.link, task.headers.codePage)}), options}};
}

std::u16string Aria2TaskName(const Aria2Task& task) {
    if (std::u16string out = Aria2OutNameOf(task); !out.empty()) return out;
    return OutNameFromAddress(task.link);
}

std::string SendToAria2(const Aria2Settings& settings, const Aria2Task& task, std::u16string_view source) {
    const Aria2MethodCall call = AddUriCall(task);
    Aria2Reply reply = Aria2Call(settings, call.method, call.params);
    if (reply.status == Aria2Status::Ok && reply.result.is_string()) return reply.result.get<std::string>();
    if (reply.status == Aria2Status::Ok) {
        reply.status = Aria2Status::NotAria2;
        reply.error = "回答里没有任务编号";
    }
    throw Aria2Error(std::u16string(source), settings, std::move(reply));
}

std::unique_ptr<AutomationObject> Aria2ObjectFactory::Create(std::u16string_view progId) {
    for (const ObjectSpec& shape : kObjects) {
        if (text::EqualsNoCase(shape.progId, progId))
            return std::make_unique<Aria2Object>(shape, settings_, headers_, sink_);
    }
    return nullptr;
}

}  // namespace tessel::handoff
