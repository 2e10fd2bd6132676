// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/ytdlp_reply.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <span>

#include "text/codepage.h"
#include "text/json_nesting.h"
#include "text/vbstring.h"

namespace tessel::web {
namespace {

using nlohmann::json;

// Playlists of playlists exist (a channel's tabs); deeper nesting is not a
// page anybody pastes, and the walk must not follow it without end.
constexpr int kMaxNesting = 8;
// The JSON text itself: eight playlists deep, each entry with its formats,
// their fragments and headers, stays far below this; a deeper report is not
// yt-dlp's and could not be walked or copied safely.
constexpr std::size_t kMaxJsonNesting = 64;

// Sent by yt-dlp with every request whatever the site; passing them on gains
// nothing and aria2 has its own.
constexpr std::string_view kCommonHeaders[] = {"accept", "accept-language", "accept-encoding",
                                               "accept-charset", "sec-fetch-mode"};

// Attributes that follow each pair in the "cookies" field of newer yt-dlp.
constexpr std::string_view kCookieAttributes[] = {"domain", "path",     "expires", "max-age",
                                                  "secure", "httponly", "samesite"};

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool OneOf(std::string_view lowered, std::span<const std::string_view> names) {
    for (std::string_view n : names) {
        if (lowered == n) return true;
    }
    return false;
}

// A header line must stay one line for aria2; a value that would break it
// is not passed on at all.
bool SafeHeaderText(std::string_view s) {
    for (unsigned char c : s) {
        if (c < 0x20 && c != '\t') return false;
        if (c == 0x7F) return false;
    }
    return true;
}

std::string_view TrimAscii(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// "a=1; Domain=.x.test; Path=/; Secure; b=2; Expires=..." -> "a=1; b=2".
std::string CookiePairs(std::string_view field) {
    std::string out;
    while (!field.empty()) {
        const std::size_t semi = field.find(';');
        const std::string_view part = TrimAscii(field.substr(0, semi));
        field = semi == std::string_view::npos ? std::string_view() : field.substr(semi + 1);
        const std::size_t eq = part.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        if (OneOf(Lower(TrimAscii(part.substr(0, eq))), kCookieAttributes)) continue;
        if (!out.empty()) out += "; ";
        out += part;
    }
    return out;
}

const json* Member(const json& object, const char* name) {
    if (!object.is_object()) return nullptr;
    const auto it = object.find(name);
    return it == object.end() ? nullptr : &*it;
}

std::string StringMember(const json& object, const char* name) {
    const json* m = Member(object, name);
    return m && m->is_string() ? m->get<std::string>() : std::string();
}

YtDlpHeaders HeadersOf(const json& format) {
    YtDlpHeaders h;
    if (const json* headers = Member(format, "http_headers"); headers && headers->is_object()) {
        for (const auto& [name, value] : headers->items()) {
            if (!value.is_string()) continue;
            const std::string text = value.get<std::string>();
            if (!SafeHeaderText(name) || !SafeHeaderText(text) || name.empty()) continue;
            const std::string key = Lower(name);
            if (key == "referer")
                h.referer = text;
            else if (key == "user-agent")
                h.userAgent = text;
            else if (key == "cookie")
                h.cookie = text;
            else if (!OneOf(key, kCommonHeaders) && name.find(':') == std::string::npos)
                h.other.push_back(name + ": " + text);
        }
    }
    // Newer yt-dlp moved cookies out of the headers into a field of their own.
    if (h.cookie.empty()) {
        const std::string field = StringMember(format, "cookies");
        if (SafeHeaderText(field)) h.cookie = CookiePairs(field);
    }
    return h;
}

// An address fit for the box and for aria2: one line.
bool UsableAddress(std::string_view address) { return !address.empty() && SafeHeaderText(address); }

// A file extension fit to end a saved name: a few ASCII letters and digits.
std::string ExtensionOf(const json& format) {
    std::string ext = StringMember(format, "ext");
    const bool fit =
        !ext.empty() && ext.size() <= 8 && std::all_of(ext.begin(), ext.end(), [](unsigned char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        });
    // "unknown_video" and the like are yt-dlp's own placeholders, not extensions.
    return fit ? ext : std::string();
}

void AddFormat(const json& format, std::vector<YtDlpMedia>& out) {
    const std::string url = StringMember(format, "url");
    if (UsableAddress(url)) out.push_back({text::FromUtf8(url), HeadersOf(format), ExtensionOf(format)});
}

void CollectMedia(const json& info, int depth, std::vector<YtDlpMedia>& out) {
    if (!info.is_object() || depth > kMaxNesting) return;
    const std::string type = StringMember(info, "_type");
    if (type == "playlist" || type == "multi_video") {
        if (const json* entries = Member(info, "entries"); entries && entries->is_array()) {
            for (const json& entry : *entries) CollectMedia(entry, depth + 1, out);
        }
        return;
    }
    // An entry yt-dlp did not resolve points at another page, not at media.
    if (type == "url" || type == "url_transparent") return;

    // Separate video and audio streams: both addresses, video first as
    // yt-dlp lists them.
    if (const json* requested = Member(info, "requested_formats"); requested && requested->is_array()) {
        const std::size_t before = out.size();
        for (const json& format : *requested) AddFormat(format, out);
        if (out.size() != before) return;
    }
    AddFormat(info, out);
}

YtDlpReply Failure(std::u16string why) {
    YtDlpReply r;
    r.error = std::move(why);
    return r;
}

}  // namespace

YtDlpReply ReadYtDlpReply(std::string_view output) {
    if (output.size() > kYtDlpMaxOutput) return Failure(u"yt-dlp 的输出超过 16 MiB");
    if (!text::JsonNestingWithin(output, kMaxJsonNesting)) return Failure(u"yt-dlp 的输出不是 JSON 对象");
    const json report = json::parse(output, nullptr, false);
    if (report.is_discarded() || !report.is_object()) return Failure(u"yt-dlp 的输出不是 JSON 对象");

    YtDlpReply r;
    CollectMedia(report, 0, r.media);
    if (r.media.empty()) return Failure(u"yt-dlp 没有给出媒体地址");
    r.ok = true;
    r.title = text::FromUtf8(StringMember(report, "title"));
    return r;
}

std::vector<std::string> YtDlpArguments(std::u16string_view address) {
    return {"-J", "--ignore-config", "--no-cache-dir", "--", text::ToUtf8(address)};
}

std::u16string YtDlpErrorLine(std::string_view standardError) {
    constexpr std::string_view kPrefix = "ERROR:";
    std::string_view last;
    std::string_view rest = standardError;
    while (!rest.empty()) {
        const std::size_t nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with(kPrefix)) last = line.substr(kPrefix.size());
    }
    return text::FromUtf8(TrimAscii(last));
}

VideoEngine ChooseVideoEngine(std::u16string_view setting, bool ytDlpFound) {
    const std::u16string s = text::Trim(setting);
    if (text::EqualsNoCase(s, u"yt-dlp")) return VideoEngine::YtDlp;
    if (text::EqualsNoCase(s, u"service")) return VideoEngine::Service;
    return ytDlpFound ? VideoEngine::YtDlp : VideoEngine::Service;
}

int YtDlpTimeoutSeconds(std::u16string_view setting) {
    const std::string s = text::ToUtf8(text::Trim(setting));
    int seconds = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), seconds);
    if (ec != std::errc() || end != s.data() + s.size() || seconds <= 0) return kYtDlpDefaultTimeoutSeconds;
    return std::min(seconds, kYtDlpMaxTimeoutSeconds);
}

}  // namespace tessel::web
