// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/video_parse.h"

#include "text/vbstring.h"

namespace tessel::web {
namespace {

using text::InStr;
using text::Left;
using text::Mid;
using text::Pos;
using text::StartsWithNoCase;

constexpr std::u16string_view kAlbumMarker = u"当前解析专辑";
constexpr std::u16string_view kListMarker = u"m3uForm";
// Albums whose items end in "<X>"; any other album cannot be cut.
constexpr std::u16string_view kAlbumsWithItemEnd[] = {u"优酷专辑解析", u"56专辑解析", u"百度贴吧专辑解析",
                                                      u"凤凰宽频专辑解析"};

// txtFlvlink and imgTip as the command sees them: every assignment to the
// box goes through the filter, which may clear the tooltip.
class FlvBox {
 public:
    FlvBox(const ParseHomes& homes, VideoParseResult& out) : homes_(homes), out_(out) {}

    void Assign(std::u16string_view value) {
        FlvFilterResult r = ApplyFlvlinkFilter(value, homes_);
        if (r.clearTip) out_.imgTip = std::u16string();
        out_.txtFlvlink = std::move(r.text);
    }
    std::u16string_view Text() const { return out_.txtFlvlink ? std::u16string_view(*out_.txtFlvlink) : u""; }
    void SetTip(std::u16string tip) { out_.imgTip = std::move(tip); }

 private:
    const ParseHomes& homes_;
    VideoParseResult& out_;
};

// The album and list titles end in one character that is not part of the
// name.  A title of zero length leaves the tooltip empty.
std::u16string TitleWithoutLast(std::u16string_view title) {
    return Left(title, static_cast<Pos>(title.size()) - 1);
}

// Text between "<N>" at `n` and the next "<P>" searched from `pFrom`;
// nothing when there is no "<P>".
std::optional<std::u16string> NamedTitle(std::u16string_view reply, Pos n, Pos pFrom) {
    const Pos p = InStr(reply, u"<P>", pFrom);
    if (p == 0) return std::nullopt;
    return Mid(reply, n + 3, p - n - 3);
}

void AlbumRule(std::u16string_view reply, Pos a, FlvBox& box) {
    bool cuttable = false;
    for (std::u16string_view marker : kAlbumsWithItemEnd) cuttable = cuttable || InStr(reply, marker) != 0;
    if (!cuttable) return;

    box.Assign(u"");
    Pos pos = a;
    Pos lastItem = 0;
    for (Pos u = InStr(reply, u"<U>", pos); u != 0; u = InStr(reply, u"<U>", pos)) {
        const Pos x = InStr(reply, u"<X>", u + 1);
        // An item without its end marker is a cut-off reply: the items
        // before it stand, nothing after it is trusted.
        if (x == 0) break;
        lastItem = u;
        pos = u + 1;
        const std::u16string item = Mid(reply, u + 3, x - u - 3);
        // An item that did not survive the filter is replaced, not extended.
        if (!IsWebAddress(box.Text())) box.Assign(u"");
        box.Assign(std::u16string(box.Text()) + item);
    }
    if (lastItem == 0) {
        // Nothing to show and no place to look for a title.
        box.Assign(kFlvParseFailed);
        return;
    }

    const Pos t = InStr(reply, kAlbumMarker, lastItem);
    const Pos n = InStr(reply, u"<N>", t + 1);
    if (std::optional<std::u16string> title = NamedTitle(reply, n, n + 1))
        box.SetTip(TitleWithoutLast(*title));
}

void SingleAddressRule(std::u16string_view reply, FlvBox& box) {
    const Pos b = InStr(reply, u"<br>下");
    const Pos q1 = InStr(reply, u"\"", b + 6);
    const Pos q2 = InStr(reply, u"\"", q1 + 9);
    if (q2 == 0) {
        // The address never closes: no address.
        box.Assign(kFlvParseFailed);
        return;
    }
    box.Assign(Mid(reply, q1 + 1, q2 - q1 - 1));

    if (StartsWithNoCase(box.Text(), u"mms://") || IsWebAddress(box.Text())) {
        const Pos c = InStr(reply, u"cliptitle", q2);
        const Pos d1 = InStr(reply, u"\"", c + 1);
        const Pos d2 = InStr(reply, u"\"", d1 + 1);
        if (d2 != 0) box.SetTip(Mid(reply, d1 + 1, d2 - d1 - 1));
    }
}

void ListFormRule(std::u16string_view reply, Pos f, FlvBox& box) {
    const Pos v = InStr(reply, u"value", f);
    const Pos q = InStr(reply, u"\"", v + 9);
    // The service ends the value with a separator we do not pass on.
    if (q == 0)
        box.Assign(kFlvParseFailed);
    else
        box.Assign(Mid(reply, v + 7, q - v - 8));

    const Pos n = InStr(reply, u"<N>");
    if (n == 0) return;
    if (std::optional<std::u16string> title = NamedTitle(reply, n, n)) box.SetTip(TitleWithoutLast(*title));
}

}  // namespace

std::u16string HomePageMessage(const ParseHomes& homes) { return u"请移步" + homes.home + u"搜索下载"; }

std::u16string DownloadCentrePage(const ParseHomes& homes) { return homes.home + u"/download-center.html"; }

std::u16string FlvLoadNotice(const ParseHomes& homes) {
    return u"在线视频地址解析速度取决于硕鼠官网的访问速度，此工具解析失败可到硕鼠官网重试，了解支持网站请访问"
           u"：" +
           homes.home + u"/url.php";
}

bool IsWebAddress(std::u16string_view text) {
    return StartsWithNoCase(text, u"http://") || StartsWithNoCase(text, u"https://");
}

FlvFilterResult ApplyFlvlinkFilter(std::u16string_view assigned, const ParseHomes& homes) {
    FlvFilterResult keep{std::u16string(assigned), false};
    if (StartsWithNoCase(assigned, u"在线视频地址")) return keep;
    if (assigned.empty() || assigned == kFlvAskInput || assigned == kFlvNetFailed ||
        assigned == kFlvParseFailed || assigned == kFlvRtmp || assigned == HomePageMessage(homes)) {
        return keep;
    }
    if (StartsWithNoCase(assigned, u"mms://")) return keep;
    if (StartsWithNoCase(assigned, u"rtmp://")) return {std::u16string(kFlvRtmp), false};
    if (!IsWebAddress(assigned)) return {std::u16string(kFlvParseFailed), false};
    if (assigned == homes.home || assigned == homes.home2) return {std::u16string(kFlvParseFailed), true};
    if (assigned == DownloadCentrePage(homes)) return {HomePageMessage(homes), true};
    return keep;
}

std::u16string CleanVideoInput(std::u16string_view txtOnlineflv) {
    return text::Trim(text::RemoveCrLf(txtOnlineflv));
}

bool CanOpenInBrowser(std::u16string_view txtFlvlink) {
    return InStr(txtFlvlink, u"\r\n") == 0 && StartsWithNoCase(txtFlvlink, u"http");
}

VideoParseResult ReadVideoReply(std::u16string_view reply, const ParseHomes& homes) {
    VideoParseResult out;
    out.imgTip = std::u16string();
    FlvBox box(homes, out);

    if (InStr(reply, u"土豆专辑解析") != 0) {
        out.message = std::u16string(kMsgTudouAlbum);
    } else if (InStr(reply, u"土豆相册解析") != 0) {
        out.message = std::u16string(kMsgTudouPhotos);
    } else if (InStr(reply, kMsgServiceFailed) != 0) {
        out.message = std::u16string(kMsgServiceFailed);
    } else if (const Pos a = InStr(reply, kAlbumMarker); a != 0) {
        AlbumRule(reply, a, box);
    } else if (const Pos f = InStr(reply, kListMarker); f != 0) {
        ListFormRule(reply, f, box);
    } else {
        SingleAddressRule(reply, box);
    }
    return out;
}

VideoParseResult ParseVideoAddress(std::u16string_view txtOnlineflv, const ParseHomes& homes,
                                   const ReplyFetch& fetch) {
    const std::u16string address = CleanVideoInput(txtOnlineflv);
    if (address.empty()) {
        VideoParseResult out;
        out.txtFlvlink = ApplyFlvlinkFilter(kFlvAskInput, homes).text;
        return out;
    }
    std::optional<std::u16string> reply;
    if (fetch) reply = fetch(BuildParseRequest(homes.home, address));
    VideoParseResult out;
    if (reply) {
        out = ReadVideoReply(*reply, homes);
    } else {
        out.imgTip = std::u16string();
        out.txtFlvlink = ApplyFlvlinkFilter(kFlvNetFailed, homes).text;
    }
    out.txtOnlineflv = address;
    return out;
}

}  // namespace tessel::web
