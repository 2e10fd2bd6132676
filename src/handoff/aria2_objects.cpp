// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/aria2_objects.h"

#include <optional>
#include <span>
#include <vector>

#include "text/codepage.h"
#include "text/vbstring.h"

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
    Aria2Object(const ObjectSpec& shape, const Aria2Settings& settings, const MediaHeaders& headers)
        : spec_(shape), settings_(settings), headers_(headers) {}

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
                for (const Aria2Task& task : tasks) SendToAria2(settings_, task, spec_.progId);
                return kEmpty;
            }
            case Action::Send:
                SendToAria2(settings_, TaskOf(*m, args), spec_.progId);
                return kEmpty;
        }
        return kEmpty;
    }

 private:
    Aria2Task TaskOf(const MethodSpec& m, std::span<const Variant> args) const {
        return Aria2Task{Arg(args, m.link), Arg(args, m.page), Arg(args, m.title), headers_};
    }

    const ObjectSpec& spec_;
    Aria2Settings settings_;
    MediaHeaders headers_;
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

std::u16string Aria2OutName(std::u16string_view title) {
    std::u16string name(title);
    for (char16_t& c : name) {
        if (c == u'/' || c == u'\\' || c < 0x20 || c == 0x7F) c = u'_';
    }
    name = text::Trim(name);
    // Cut at a character boundary, a surrogate pair being one character.
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
        if (bytes + len > kMaxOutBytes) {
            name.resize(i);
            break;
        }
        bytes += len;
        i += units - 1;
    }
    name = text::Trim(name);
    if (name == u"." || name == u"..") return {};
    return name;
}

std::string SendToAria2(const Aria2Settings& settings, const Aria2Task& task, std::u16string_view source) {
    nlohmann::json options = nlohmann::json::object();
    if (const std::u16string out = Aria2OutName(task.title); !out.empty()) options["out"] = text::ToUtf8(out);
    if (!task.headers.referer.empty())
        options["referer"] = task.headers.referer;
    else if (!task.page.empty())
        options["referer"] = EscapeLinkForAria2(task.page);
    if (!task.headers.userAgent.empty()) options["user-agent"] = task.headers.userAgent;
    if (!task.headers.header.empty()) options["header"] = task.headers.header;
    const nlohmann::json params = {nlohmann::json::array({EscapeLinkForAria2(task.link)}), options};

    Aria2Reply reply = Aria2Call(settings, "aria2.addUri", params);
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
            return std::make_unique<Aria2Object>(shape, settings_, headers_);
    }
    return nullptr;
}

}  // namespace tessel::handoff
