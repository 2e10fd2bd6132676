// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/video_parse.h"

#include "text/input_cleaning.h"
#include "text/vbstring.h"
#include "web/reply_cuts.h"

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
// An album item is "<U>" address "<X>"; a title is "<N>" name "<P>".
constexpr std::u16string_view kItemStart = u"<U>";
constexpr std::u16string_view kItemEnd = u"<X>";
constexpr std::u16string_view kTitleStart = u"<N>";
constexpr std::u16string_view kTitleEnd = u"<P>";
// A single address sits in the first quotes after the download line,
// searched from one unit past this marker ("<br>下载地址：").
constexpr std::u16string_view kDownloadLine = u"<br>下";
// Its closing quote is searched only past the first eight units of the
// address: the length of "http://" and one more.
constexpr text::Pos kShortestAddress = 8;
constexpr std::u16string_view kQuote = u"\"";
constexpr std::u16string_view kClipTitle = u"cliptitle";
// The list form's address follows `value="`; the closing quote is searched
// from two units into the value.
constexpr std::u16string_view kValueName = u"value";
constexpr std::u16string_view kValueAttr = u"value=\"";
constexpr text::Pos kValueQuoteSkip = 2;

// What the filter does to one assigned text, without copying it: nothing
// (the text stays), or a replacement message, and whether the tooltip goes.
struct FilterVerdict {
    std::optional<std::u16string_view> replacement;
    bool clearTip = false;
};

FilterVerdict JudgeFlvlink(std::u16string_view assigned, const ParseHomes& homes,
                           const std::u16string& homeMessage, const std::u16string& centrePage) {
    if (StartsWithNoCase(assigned, u"在线视频地址")) return {};
    if (assigned.empty() || assigned == kFlvAskInput || assigned == kFlvNetFailed ||
        assigned == kFlvParseFailed || assigned == kFlvRtmp || assigned == homeMessage) {
        return {};
    }
    if (StartsWithNoCase(assigned, u"mms://")) return {};
    if (StartsWithNoCase(assigned, u"rtmp://")) return {kFlvRtmp, false};
    if (!IsWebAddress(assigned)) return {kFlvParseFailed, false};
    if (assigned == homes.home || assigned == homes.home2) return {kFlvParseFailed, true};
    if (assigned == centrePage) return {homeMessage, true};
    return {};
}

// txtFlvlink and imgTip as the command sees them: every assignment to the
// box goes through the filter, which may clear the tooltip.
class FlvBox {
 public:
    FlvBox(const ParseHomes& homes, VideoParseResult& out)
        : homes_(homes),
          homeMessage_(HomePageMessage(homes)),
          centrePage_(DownloadCentrePage(homes)),
          out_(out) {}

    void Assign(std::u16string_view value) {
        out_.txtFlvlink = std::u16string(value);
        Filter();
    }
    // The box set to its own text followed by `more`, in place: an album
    // of many items costs the length of the items, not their square.
    void Append(std::u16string_view more) {
        if (!out_.txtFlvlink) out_.txtFlvlink.emplace();
        out_.txtFlvlink->append(more);
        Filter();
    }
    std::u16string_view Text() const { return out_.txtFlvlink ? std::u16string_view(*out_.txtFlvlink) : u""; }
    void SetTip(std::u16string tip) { out_.imgTip = std::move(tip); }

 private:
    void Filter() {
        const FilterVerdict v = JudgeFlvlink(*out_.txtFlvlink, homes_, homeMessage_, centrePage_);
        if (v.clearTip) out_.imgTip = std::u16string();
        if (v.replacement) out_.txtFlvlink = std::u16string(*v.replacement);
    }

    const ParseHomes& homes_;
    const std::u16string homeMessage_;
    const std::u16string centrePage_;
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
    const Pos p = InStr(reply, kTitleEnd, pFrom);
    if (p == 0) return std::nullopt;
    return Between(reply, AfterMarker(n, kTitleStart), p);
}

// Every item is read once: its end marker is looked for only up to the
// next item's start, so a reply full of "<U>" with one "<X>" at the end
// costs its length, not its length squared.
void AlbumRule(std::u16string_view reply, Pos a, FlvBox& box) {
    bool cuttable = false;
    for (std::u16string_view marker : kAlbumsWithItemEnd) cuttable = cuttable || InStr(reply, marker) != 0;
    if (!cuttable) return;

    box.Assign(u"");
    Pos lastItem = 0;
    Pos next = 0;
    for (Pos u = InStr(reply, kItemStart, a); u != 0; u = next) {
        next = InStr(reply, kItemStart, u + 1);
        // An item's end comes before the next item starts.  One without it
        // is broken (or the reply was cut off there): it is left out, and
        // the items around it stand.
        const std::u16string_view upToNext =
            next == 0 ? reply : reply.substr(0, static_cast<std::size_t>(next - 1));
        const Pos x = InStr(upToNext, kItemEnd, u + 1);
        if (x == 0) continue;
        lastItem = u;
        const std::u16string_view item =
            upToNext.substr(static_cast<std::size_t>(AfterMarker(u, kItemStart) - 1),
                            static_cast<std::size_t>(x - AfterMarker(u, kItemStart)));
        // An item that did not survive the filter is replaced, not extended.
        if (!IsWebAddress(box.Text())) box.Assign(u"");
        box.Append(item);
    }
    if (lastItem == 0) {
        // Nothing to show and no place to look for a title.
        box.Assign(kFlvParseFailed);
        return;
    }

    const Pos t = InStr(reply, kAlbumMarker, lastItem);
    const Pos n = InStr(reply, kTitleStart, t + 1);
    if (std::optional<std::u16string> title = NamedTitle(reply, n, n + 1))
        box.SetTip(TitleWithoutLast(*title));
}

void SingleAddressRule(std::u16string_view reply, FlvBox& box) {
    const Pos b = InStr(reply, kDownloadLine);
    const Pos q1 = InStr(reply, kQuote, AfterMarker(b, kDownloadLine) + 1);
    const Pos address = AfterMarker(q1, kQuote);
    const Pos q2 = InStr(reply, kQuote, address + kShortestAddress);
    if (q2 == 0) {
        // The address never closes: no address.
        box.Assign(kFlvParseFailed);
        return;
    }
    box.Assign(Between(reply, address, q2));

    if (StartsWithNoCase(box.Text(), u"mms://") || IsWebAddress(box.Text())) {
        const Pos c = InStr(reply, kClipTitle, q2);
        const Pos d1 = InStr(reply, kQuote, c + 1);
        const Pos d2 = InStr(reply, kQuote, d1 + 1);
        if (d2 != 0) box.SetTip(Between(reply, AfterMarker(d1, kQuote), d2));
    }
}

void ListFormRule(std::u16string_view reply, Pos f, FlvBox& box) {
    const Pos v = InStr(reply, kValueName, f);
    const Pos value = AfterMarker(v, kValueAttr);
    const Pos q = InStr(reply, kQuote, value + kValueQuoteSkip);
    // The service ends the value with a separator we do not pass on.
    if (q == 0)
        box.Assign(kFlvParseFailed);
    else
        box.Assign(Between(reply, value, q - 1));

    const Pos n = InStr(reply, kTitleStart);
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
    const std::u16string homeMessage = HomePageMessage(homes);
    const FilterVerdict v = JudgeFlvlink(assigned, homes, homeMessage, DownloadCentrePage(homes));
    return {std::u16string(v.replacement.value_or(assigned)), v.clearTip};
}

bool IsSingleHttpLine(std::u16string_view txtFlvlink) {
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
    const std::u16string address = text::CleanInput(txtOnlineflv);
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
