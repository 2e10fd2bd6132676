// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The online-video page: the parse command and the filter of its output box.
//
// The parse service answers with an HTML page; the command classifies it and
// cuts the media address(es) and the title out of it.  The output box
// txtFlvlink filters every text assigned to it (ApplyFlvlinkFilter), and the
// album rule reads the filtered text back, so the command runs against a
// simulated box and reports only the final state.  All marker searches ignore
// letter case.

#include <optional>
#include <string>
#include <string_view>

#include "web/services.h"

namespace tessel::web {

// The parse service home and the second site, as the settings give them.
struct ParseHomes {
    std::u16string home;   // the parse service home
    std::u16string home2;  // a second site that counts as a failed parse
};

inline constexpr std::u16string_view kFlvAskInput = u"请输入在线视频地址";
inline constexpr std::u16string_view kFlvNetFailed = u"连接网络失败";
inline constexpr std::u16string_view kFlvParseFailed = u"对不起，解析失败，您可以到硕鼠网站试试";
inline constexpr std::u16string_view kFlvRtmp = u"该视频为RTMP流媒体，请使用硕鼠下载";
inline constexpr std::u16string_view kMsgTudouAlbum = u"对不起，暂不支持土豆专辑解析，请到硕鼠网站解析";
inline constexpr std::u16string_view kMsgTudouPhotos = u"对不起，暂不支持土豆相册解析，请到硕鼠网站解析";
inline constexpr std::u16string_view kMsgServiceFailed =
    u"解析失败，请确认视频是否被删除、地址是否正确，或稍后重试";

// "请移步" + the parse service home + "搜索下载"
std::u16string HomePageMessage(const ParseHomes& homes);
// The parse service home + "/download-center.html"
std::u16string DownloadCentrePage(const ParseHomes& homes);
// The notice put into txtFlvlink at load: a fixed sentence and the parse
// service home + "/url.php".
std::u16string FlvLoadNotice(const ParseHomes& homes);

struct FlvFilterResult {
    std::u16string text;    // what the box shows after the filter
    bool clearTip = false;  // imgTip's tooltip must be cleared
};

// Begins with "http://" or "https://", in any letter case: the addresses the
// output box keeps as results.
bool IsWebAddress(std::u16string_view text);

// The filter of txtFlvlink for one assignment of `assigned`.  Its own
// replacements are fixed points, so one call gives the settled text.  Every
// assignment the window makes to txtFlvlink goes through this, whichever
// engine resolved the page.
FlvFilterResult ApplyFlvlinkFilter(std::u16string_view assigned, const ParseHomes& homes);

// True when txtFlvlink holds one address the browser button and the
// hand-off buttons act on: no CR LF pair, and "http" as its first four
// characters in any letter case ("https://" too).
bool IsSingleHttpLine(std::u16string_view txtFlvlink);

// What the parse command leaves behind.  "Nothing" means unchanged.
struct VideoParseResult {
    std::u16string txtOnlineflv;               // the cleaned input, always written back
    std::optional<std::u16string> message;     // show in a message box (title text::kPromptTitle, OK)
    std::optional<std::u16string> txtFlvlink;  // settled text of the output box
    std::optional<std::u16string> imgTip;      // the title tooltip; empty = cleared
};

// The whole command for the input text: clean, ask the service through
// `fetch` (called once, with the request URL, unless the input is empty),
// classify and extract.
VideoParseResult ParseVideoAddress(std::u16string_view txtOnlineflv, const ParseHomes& homes,
                                   const ReplyFetch& fetch);

// Classification and extraction of one reply.  imgTip always holds the
// final tooltip (the command clears it before asking, so empty when the reply
// gives no title); the returned txtOnlineflv is empty.
VideoParseResult ReadVideoReply(std::u16string_view reply, const ParseHomes& homes);

}  // namespace tessel::web
