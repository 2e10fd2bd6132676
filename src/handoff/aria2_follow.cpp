// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/aria2_follow.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "text/codepage.h"
#include "text/json_nesting.h"

namespace tessel::handoff {
namespace {

using nlohmann::json;

// aria2's messages nest four levels at most (a multicall's answers, a
// task, its files, their links); anything far deeper is not aria2.
constexpr std::size_t kMaxNesting = 32;

json ParseBounded(std::string_view text) {
    if (!text::JsonNestingWithin(text, kMaxNesting)) return json();
    return json::parse(text, nullptr, false);
}

std::optional<Aria2Event> EventOf(std::string_view method) {
    struct Row {
        std::string_view method;
        Aria2Event event;
    };
    static constexpr Row kRows[] = {
        {"aria2.onDownloadStart", Aria2Event::Start},
        {"aria2.onDownloadPause", Aria2Event::Pause},
        {"aria2.onDownloadStop", Aria2Event::Stop},
        {"aria2.onDownloadComplete", Aria2Event::Complete},
        {"aria2.onBtDownloadComplete", Aria2Event::BtComplete},
        {"aria2.onDownloadError", Aria2Event::Error},
    };
    for (const Row& r : kRows)
        if (r.method == method) return r.event;
    return std::nullopt;
}

// aria2 gives every number as a decimal string.
std::uint64_t Count(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return 0;
    const std::string& s = it->get_ref<const std::string&>();
    if (s.empty() || s.size() > 19 ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    return std::stoull(s);
}

std::string Text(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

Aria2TaskStatus::State StateOf(std::string_view s) {
    using State = Aria2TaskStatus::State;
    if (s == "active") return State::Active;
    if (s == "waiting") return State::Waiting;
    if (s == "paused") return State::Paused;
    if (s == "complete") return State::Complete;
    if (s == "error") return State::Error;
    if (s == "removed") return State::Removed;
    return State::Unknown;
}

std::optional<Aria2TaskStatus> StatusOf(const json& j) {
    if (!j.is_object() || !j.contains("status")) return std::nullopt;
    Aria2TaskStatus s;
    s.state = StateOf(Text(j, "status"));
    s.total = Count(j, "totalLength");
    s.completed = Count(j, "completedLength");
    s.errorMessage = Text(j, "errorMessage");
    if (const auto files = j.find("files"); files != j.end() && files->is_array() && !files->empty())
        if (files->front().is_object()) s.path = Text(files->front(), "path");
    if (const auto next = j.find("followedBy"); next != j.end() && next->is_array())
        for (const json& g : *next)
            if (g.is_string()) s.followedBy.push_back(g.get<std::string>());
    return s;
}

}  // namespace

std::string Aria2WsAddress(std::u16string_view rpc) {
    const std::string address = text::ToUtf8(rpc);
    const auto scheme = address.find("://");
    if (scheme == std::string::npos) return {};
    std::string name = address.substr(0, scheme);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (name == "http") return "ws" + address.substr(scheme);
    if (name == "https") return "wss" + address.substr(scheme);
    return {};
}

Aria2Message ParseAria2Message(std::string_view text) {
    Aria2Message m;
    const json j = ParseBounded(text);
    if (!j.is_object()) return m;
    if (const auto method = j.find("method"); method != j.end() && method->is_string()) {
        const auto event = EventOf(method->get_ref<const std::string&>());
        const auto params = j.find("params");
        if (!event || params == j.end() || !params->is_array() || params->empty() ||
            !params->front().is_object())
            return m;
        m.gid = Text(params->front(), "gid");
        if (m.gid.empty()) return m;
        m.kind = Aria2Message::Kind::Notification;
        m.event = *event;
        return m;
    }
    const auto id = j.find("id");
    if (id == j.end() || !id->is_number_unsigned()) return m;
    m.kind = Aria2Message::Kind::Answer;
    m.id = id->get<std::uint64_t>();
    if (const auto result = j.find("result"); result != j.end()) {
        m.ok = true;
        m.result = result->dump();
    } else if (const auto error = j.find("error"); error != j.end() && error->is_object()) {
        m.error = Text(*error, "message");
    }
    return m;
}

std::string Aria2Request(std::uint64_t id, std::string_view method, std::u16string_view secret,
                         std::string_view paramsJson) {
    json params = json::parse(paramsJson, nullptr, false);
    if (!params.is_array()) params = json::array();
    if (!secret.empty()) params.insert(params.begin(), "token:" + text::ToUtf8(secret));
    return json{
        {"jsonrpc", "2.0"}, {"id", id}, {"method", std::string(method)}, {"params", std::move(params)}}
        .dump();
}

std::string Aria2StatusRequest(std::uint64_t id, std::u16string_view secret,
                               const std::vector<std::string>& gids) {
    // system.multicall takes no token of its own: each call carries it.
    const json keys = json::parse(kFollowKeys);
    json calls = json::array();
    for (const std::string& gid : gids) {
        json params = json::array();
        if (!secret.empty()) params.push_back("token:" + text::ToUtf8(secret));
        params.push_back(gid);
        params.push_back(keys);
        calls.push_back({{"methodName", "aria2.tellStatus"}, {"params", std::move(params)}});
    }
    return json{
        {"jsonrpc", "2.0"}, {"id", id}, {"method", "system.multicall"}, {"params", json::array({calls})}}
        .dump();
}

std::optional<Aria2TaskStatus> ParseTaskStatus(std::string_view text) { return StatusOf(ParseBounded(text)); }

std::vector<std::optional<Aria2TaskStatus>> ParseStatusAnswers(std::string_view resultJson,
                                                               std::size_t count) {
    const json j = ParseBounded(resultJson);
    if (!j.is_array() || j.size() != count) return {};
    std::vector<std::optional<Aria2TaskStatus>> out;
    // Each answer of a multicall is [result] for a call that worked and an
    // error object for one that did not.
    for (const json& a : j) out.push_back(a.is_array() && a.size() == 1 ? StatusOf(a.front()) : std::nullopt);
    return out;
}

std::u16string FileNameOf(std::u16string_view s) {
    if (s.find(u"://") != std::u16string_view::npos) s = s.substr(0, s.find_first_of(u"?#"));
    while (!s.empty() && s.back() == u'/') s.remove_suffix(1);
    const auto slash = s.find_last_of(u'/');
    if (slash != std::u16string_view::npos) s = s.substr(slash + 1);
    return std::u16string(s);
}

std::optional<TaskEnding> EndOfTask(const Aria2TaskStatus& status, std::u16string_view name) {
    using State = Aria2TaskStatus::State;
    std::u16string shown =
        status.path.empty() ? std::u16string(name) : FileNameOf(text::FromUtf8(status.path));
    if (shown.empty()) shown = name;
    if (status.state == State::Complete) {
        if (!status.followedBy.empty()) return std::nullopt;  // a torrent's metadata: the real task goes on
        return TaskEnding{std::u16string(kDoneSummary), shown, status.path};
    }
    if (status.state == State::Error) {
        std::u16string body = shown;
        if (!status.errorMessage.empty())
            body += (body.empty() ? u"" : u"\n") + text::FromUtf8(status.errorMessage);
        return TaskEnding{std::u16string(kFailedSummary), body, {}};
    }
    return std::nullopt;
}

std::u16string ProgressText(std::u16string_view programName, const std::vector<TaskProgress>& tasks) {
    std::u16string out(programName);
    out += u" \u2014 " + text::FromUtf8(std::to_string(tasks.size())) + u" 个下载";
    std::uint64_t total = 0, completed = 0;
    for (const TaskProgress& t : tasks) {
        if (t.total == 0) continue;
        total += t.total;
        completed += std::min(t.completed, t.total);
    }
    if (total > 0) {
        // Rounded down: 100 % only once every known byte is there.
        const auto percent = static_cast<unsigned>(static_cast<long double>(completed) * 100 / total);
        out += u" " + text::FromUtf8(std::to_string(percent)) + u"%";
    }
    return out;
}

std::chrono::seconds RetryDelay(int failures) {
    constexpr std::chrono::seconds kLongest{300};
    if (failures < 1) failures = 1;
    if (failures > 8) return kLongest;
    return std::min(kLongest, std::chrono::seconds(1 << failures));
}

}  // namespace tessel::handoff
