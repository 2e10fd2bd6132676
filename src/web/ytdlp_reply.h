// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// yt-dlp as the online-video page's engine: what it is asked, and how its
// `-J` report is read.
//
// yt-dlp prints one JSON object for the page: a single video (its chosen
// format's address, or the separate video and audio formats it would merge),
// or a playlist whose entries are such videos.  The reader keeps the title,
// the media addresses in yt-dlp's order and the request headers each address
// needs.  Nothing here runs a process; the window's runner does that.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::web {

// Beyond this yt-dlp's report is cut off and counts as a failure.
inline constexpr std::size_t kYtDlpMaxOutput = std::size_t{16} * 1024 * 1024;
inline constexpr int kYtDlpDefaultTimeoutSeconds = 30;
inline constexpr int kYtDlpMaxTimeoutSeconds = 3600;

// The request headers the media server expects, UTF-8 as yt-dlp reports them.
// Headers every request of yt-dlp carries anyway (Accept, Accept-Language,
// Sec-Fetch-Mode, ...) are left out.
struct YtDlpHeaders {
    std::string referer;
    std::string userAgent;
    std::string cookie;              // "a=1; b=2"
    std::vector<std::string> other;  // further "Name: value" lines, e.g. Origin

    bool operator==(const YtDlpHeaders&) const = default;
};

struct YtDlpMedia {
    std::u16string address;
    YtDlpHeaders headers;
    std::string ext;  // the format's file extension ("mp4"); "" when yt-dlp gives none fit for a name

    bool operator==(const YtDlpMedia&) const = default;
};

struct YtDlpReply {
    bool ok = false;
    std::u16string title;           // the video's or the playlist's
    std::vector<YtDlpMedia> media;  // in yt-dlp's order, never empty when ok
    std::u16string error;           // why not ok, one line in Chinese
};

// Reads `yt-dlp -J` output.  Fails on output that is not one JSON object,
// output over kYtDlpMaxOutput, and a report without a single media address.
YtDlpReply ReadYtDlpReply(std::string_view output);

// The arguments after the program name: the address is one argument after
// "--", so an address beginning with "-" stays an address.  yt-dlp reads no
// configuration, writes no cache and downloads nothing.
std::vector<std::string> YtDlpArguments(std::u16string_view address);

// The last line of yt-dlp's standard error that starts with "ERROR:", without
// that prefix and trimmed; "" when there is none.
std::u16string YtDlpErrorLine(std::string_view standardError);

// The `VideoEngine` setting: "yt-dlp", "service" or "auto" (any other value
// reads as "auto").  Auto picks yt-dlp when an executable was found.
enum class VideoEngine { YtDlp, Service };
VideoEngine ChooseVideoEngine(std::u16string_view setting, bool ytDlpFound);

// The `YtDlpTimeout` setting in seconds; unusable or non-positive text reads
// as the default, more than an hour as an hour.
int YtDlpTimeoutSeconds(std::u16string_view setting);

}  // namespace tessel::web
