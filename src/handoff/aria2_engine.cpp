// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/aria2_engine.h"

#include <curl/curl.h>

#include <algorithm>

#include "handoff/aria2_follow.h"
#include "handoff/aria2_objects.h"
#include "text/codepage.h"
#include "text/vbstring.h"
#include "web/curl_url.h"

namespace tessel::handoff {
namespace {

// The JSON-RPC address as the settings give it, the default when empty.
web::CurlUrl ParseRpc(std::u16string_view rpc) {
    const std::u16string address =
        text::Trim(rpc).empty() ? std::u16string(kAria2RpcDefault) : text::Trim(rpc);
    return web::CurlUrl(text::ToUtf8(address), CURLU_GUESS_SCHEME);
}

// A text member, "" when it is missing or not a text.
std::string TextOf(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// "~" and "~/x" name the home folder.
std::string ExpandHome(std::string path, std::string_view home) {
    if (path == "~") return std::string(home);
    if (path.starts_with("~/")) return std::string(home) + path.substr(1);
    return path;
}

// The value between the quotes of a user-dirs.dirs line, backslash escapes
// undone; nothing when it is not quoted.
std::optional<std::string> QuotedValue(std::string_view rest) {
    if (rest.empty() || rest.front() != '"') return std::nullopt;
    std::string value;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        if (rest[i] == '\\' && i + 1 < rest.size()) {
            value += rest[++i];
        } else if (rest[i] == '"') {
            return value;
        } else {
            value += rest[i];
        }
    }
    return std::nullopt;
}

}  // namespace

Aria2StartMode ParseAria2Start(std::u16string_view value) {
    return text::EqualsNoCase(text::Trim(value), u"never") ? Aria2StartMode::Never : Aria2StartMode::Auto;
}

std::optional<int> OwnEnginePort(std::u16string_view rpc) {
    const web::CurlUrl url = ParseRpc(rpc);
    if (!url) return std::nullopt;
    if (url.Part(CURLUPART_SCHEME) != "http") return std::nullopt;
    if (!web::IsLoopbackHost(url.Part(CURLUPART_HOST))) return std::nullopt;
    if (!url.Part(CURLUPART_USER).empty()) return std::nullopt;
    if (url.Part(CURLUPART_PATH) != "/jsonrpc") return std::nullopt;
    const std::string port = url.Part(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    const int n = port.empty() ? 0 : std::atoi(port.c_str());
    if (n < 1 || n > 65535) return std::nullopt;
    return n;
}

std::u16string RpcWithPort(std::u16string_view rpc, int port) {
    web::CurlUrl url = ParseRpc(rpc);
    if (!url) return u"http://127.0.0.1:" + text::FromUtf8(std::to_string(port)) + u"/jsonrpc";
    url.Set(CURLUPART_PORT, std::to_string(port));
    return text::FromUtf8(url.Part(CURLUPART_URL));
}

std::optional<std::string> XdgDownloadDir(std::string_view userDirs, std::string_view home) {
    std::optional<std::string> found;
    std::size_t start = 0;
    while (start <= userDirs.size()) {
        std::size_t end = userDirs.find('\n', start);
        if (end == std::string_view::npos) end = userDirs.size();
        std::string_view line = userDirs.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        constexpr std::string_view kKey = "XDG_DOWNLOAD_DIR=";
        if (!line.starts_with(kKey)) continue;
        const std::optional<std::string> value = QuotedValue(line.substr(kKey.size()));
        if (!value) continue;
        std::string path;
        if (*value == "$HOME" || value->starts_with("$HOME/")) {
            path = std::string(home) + value->substr(5);
        } else if (value->starts_with("/")) {
            path = *value;
        } else {
            continue;
        }
        found = WithoutTrailingSlashes(path);  // the last line that sets it counts, as in the shell
    }
    if (found && *found == WithoutTrailingSlashes(std::string(home))) return std::nullopt;
    return found;
}

DownloadFolder ChooseDownloadFolder(std::u16string_view setting, const std::optional<std::string>& xdg,
                                    std::string_view home) {
    const std::string own = text::ToUtf8(text::Trim(setting));
    if (!own.empty()) return {WithoutTrailingSlashes(ExpandHome(own, home)), DownloadFolder::Source::Setting};
    if (xdg && !xdg->empty()) return {*xdg, DownloadFolder::Source::Xdg};
    return {std::string(home) + "/Downloads", DownloadFolder::Source::Fallback};
}

std::string EngineStateFolder(std::string_view xdgStateHome, std::string_view home) {
    const std::string base =
        xdgStateHome.starts_with("/") ? std::string(xdgStateHome) : std::string(home) + "/.local/state";
    return WithoutTrailingSlashes(base) + "/tessel";
}

SessionState CheckSession(std::string_view text) {
    if (text.size() > kMaxSessionBytes || text.find('\0') != std::string_view::npos ||
        !text::IsValidUtf8(text)) {
        return SessionState::Damaged;
    }
    bool task = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == ' ' || line.front() == '\t') {
            const std::size_t first = line.find_first_not_of(" \t");
            if (first == std::string_view::npos) continue;  // a blank line
            // An option with no task before it, or without "name=".
            const std::size_t eq = line.find('=', first);
            if (!task || eq == std::string_view::npos || eq == first) return SessionState::Damaged;
            continue;
        }
        for (unsigned char c : line) {
            if (c < 0x20 && c != '\t') return SessionState::Damaged;
        }
        task = true;
    }
    return task ? SessionState::Unfinished : SessionState::Empty;
}

std::string SecretFromRandom(std::span<const unsigned char> random) {
    if (random.size() < kSecretBytes) return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : random) {
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }
    return out;
}

bool IsUsableOwnSecret(std::u16string_view secret) {
    if (secret.empty() || text::Trim(secret) != secret) return false;
    return std::none_of(secret.begin(), secret.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; });
}

EnginePlan PlanEngine(const EngineInput& in) {
    EnginePlan plan;
    std::vector<std::string>& a = plan.arguments;
    // Our own file only: the user's ~/.aria2/aria2.conf is for the aria2 they
    // run themselves, and may open the RPC port to the network.
    a.push_back("--conf-path=" + in.confFile);
    a.push_back("--enable-rpc=true");
    a.push_back("--rpc-listen-all=false");
    a.push_back("--rpc-listen-port=" + std::to_string(in.port));
    a.push_back("--rpc-allow-origin-all=false");
    a.push_back("--dir=" + in.downloadFolder);
    a.push_back("--continue=true");
    a.push_back("--save-session=" + in.sessionFile);
    if (in.resume) a.push_back("--input-file=" + in.sessionFile);
    a.push_back("--save-session-interval=" + std::to_string(kSessionSaveSeconds));
    // The safety net for an end of ours that runs no code (a crash, SIGKILL).
    a.push_back("--stop-with-process=" + std::to_string(in.ownerPid));
    a.push_back("--daemon=false");
    a.push_back("--quiet=true");
    plan.confText =
        "# Written by Tessel for the aria2 it starts, read once at its start.\n"
        "rpc-secret=" +
        in.secret + "\n";
    return plan;
}

std::vector<Aria2MethodCall> ResumedTaskCalls() {
    // As many as a session file of ours could bring back, in one question.
    constexpr int kMost = 1000;
    const nlohmann::json keys = {"gid", "status", "files"};
    return {{"aria2.tellActive", nlohmann::json::array({keys})},
            {"aria2.tellWaiting", nlohmann::json::array({0, kMost, keys})},
            {"aria2.tellStopped", nlohmann::json::array({0, kMost, keys})}};
}

std::vector<ResumedTask> ResumedTasks(std::span<const Aria2Reply> replies) {
    std::vector<ResumedTask> out;
    for (const Aria2Reply& reply : replies) {
        if (reply.status != Aria2Status::Ok || !reply.result.is_array()) continue;
        for (const nlohmann::json& task : reply.result) {
            if (!task.is_object()) continue;
            const std::string gid = TextOf(task, "gid");
            const std::string status = TextOf(task, "status");
            if (gid.empty() || status == "paused" || status == "removed") continue;
            std::u16string name;
            const auto files = task.find("files");
            if (files != task.end() && files->is_array() && !files->empty() && files->front().is_object()) {
                const nlohmann::json& file = files->front();
                name = FileNameOf(text::FromUtf8(TextOf(file, "path")));
                const auto uris = file.find("uris");
                if (name.empty() && uris != file.end() && uris->is_array() && !uris->empty() &&
                    uris->front().is_object())
                    name = OutNameFromAddress(text::FromUtf8(TextOf(uris->front(), "uri")));
            }
            out.push_back({gid, std::move(name)});
        }
    }
    return out;
}

}  // namespace tessel::handoff
