// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/video_parse.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "support/fake_service.h"
#include "text/codepage.h"
#include "text/vbstring.h"

namespace tessel::web {
namespace {

const ParseHomes kHomes{u"http://parse.test", u"http://other.test"};
const std::u16string kParseFailed(kFlvParseFailed);

struct FilterRow {
    const char* name;
    std::u16string assigned;
    std::u16string shown;
    bool clearTip;
};

TEST(FlvlinkFilter, SettlesEveryAssignmentInOneStep) {
    const std::u16string home = HomePageMessage(kHomes);
    const std::vector<FilterRow> rows = {
        {"load notice", FlvLoadNotice(kHomes), FlvLoadNotice(kHomes), false},
        {"empty", u"", u"", false},
        {"ask", std::u16string(kFlvAskInput), std::u16string(kFlvAskInput), false},
        {"net failed", std::u16string(kFlvNetFailed), std::u16string(kFlvNetFailed), false},
        {"home message", home, home, false},
        {"mms any case", u"MMS://media.test/v", u"MMS://media.test/v", false},
        {"rtmp", u"Rtmp://media.test/v", std::u16string(kFlvRtmp), false},
        {"ftp", u"ftp://media.test/v", kParseFailed, false},
        {"https media address", u"HTTPS://media.test/v.mp4", u"HTTPS://media.test/v.mp4", false},
        {"https cut short", u"https:/media.test/v", kParseFailed, false},
        {"scheme that only starts like http", u"httpx://media.test/v", kParseFailed, false},
        {"plain words", u"没有地址", kParseFailed, false},
        {"service home", u"http://parse.test", kParseFailed, true},
        {"second site", u"http://other.test", kParseFailed, true},
        {"download centre", u"http://parse.test/download-center.html", home, true},
        {"home in other case is an address", u"HTTP://parse.test", u"HTTP://parse.test", false},
        {"media address", u"http://media.test/v.flv", u"http://media.test/v.flv", false},
    };
    for (const FilterRow& row : rows) {
        SCOPED_TRACE(row.name);
        const FlvFilterResult r = ApplyFlvlinkFilter(row.assigned, kHomes);
        EXPECT_EQ(r.text, row.shown);
        EXPECT_EQ(r.clearTip, row.clearTip);
        // The box filters its own replacement once more; that must change nothing.
        const FlvFilterResult again = ApplyFlvlinkFilter(r.text, kHomes);
        EXPECT_EQ(again.text, r.text);
        EXPECT_FALSE(again.clearTip);
    }
}

// A service reached over https keeps its home and download-centre rules.
TEST(FlvlinkFilter, HttpsServiceHomesAreStillFailures) {
    const ParseHomes homes{u"https://parse.test", u"https://other.test"};
    for (const std::u16string& home : {homes.home, homes.home2}) {
        const FlvFilterResult r = ApplyFlvlinkFilter(home, homes);
        EXPECT_EQ(r.text, kParseFailed);
        EXPECT_TRUE(r.clearTip);
    }
    const FlvFilterResult centre = ApplyFlvlinkFilter(DownloadCentrePage(homes), homes);
    EXPECT_EQ(centre.text, HomePageMessage(homes));
    EXPECT_TRUE(centre.clearTip);
}

struct ReplyRow {
    const char* name;
    std::u16string reply;
    std::optional<std::u16string> message;
    std::optional<std::u16string> flvlink;  // nothing: box untouched
    std::u16string tip;
};

const std::u16string kAlbumHead = u"<title>优酷专辑解析</title>当前解析专辑共2个视频";
const std::u16string kSingleHead = u"<html><br>下载地址：<a href=\"";

class VideoReplyTest : public ::testing::TestWithParam<ReplyRow> {};

TEST_P(VideoReplyTest, ClassifiesAndCuts) {
    const ReplyRow& row = GetParam();
    const VideoParseResult r = ReadVideoReply(row.reply, kHomes);
    EXPECT_EQ(r.message, row.message);
    EXPECT_EQ(r.txtFlvlink, row.flvlink);
    EXPECT_EQ(r.imgTip, row.tip);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, VideoReplyTest,
    ::testing::Values(
        ReplyRow{"tudou_album_wins_over_album_marker", kAlbumHead + u"土豆专辑解析<U>http://a.test/1<X>",
                 std::u16string(kMsgTudouAlbum), std::nullopt, u""},
        ReplyRow{"tudou_photos", u"土豆相册解析" + kSingleHead + u"http://a.test/1\"",
                 std::u16string(kMsgTudouPhotos), std::nullopt, u""},
        ReplyRow{"service_gave_up", u"<b>" + std::u16string(kMsgServiceFailed) + u"</b>",
                 std::u16string(kMsgServiceFailed), std::nullopt, u""},
        ReplyRow{"album_two_items_mixed_case_markers",
                 kAlbumHead +
                     u"<u>http://a.test/1.flv\r\n<X>\r\n<U>http://a.test/2.flv<x>当前解析专辑：<n>好专辑.<p>",
                 std::nullopt, u"http://a.test/1.flv\r\nhttp://a.test/2.flv", u"好专辑"},
        ReplyRow{"album_item_lost_to_filter_is_replaced",
                 kAlbumHead + u"<U>ftp://a.test/1<X><U>http://a.test/2<X>当前解析专辑<N>T.<P>", std::nullopt,
                 u"http://a.test/2", u"T"},
        ReplyRow{"album_https_items_are_kept",
                 kAlbumHead + u"<U>https://a.test/1<X><U>https://a.test/2<X>当前解析专辑<N>T.<P>",
                 std::nullopt, u"https://a.test/1https://a.test/2", u"T"},
        ReplyRow{"album_of_an_uncuttable_site", u"当前解析专辑<U>http://a.test/1<X>", std::nullopt,
                 std::nullopt, u""},
        ReplyRow{"album_item_without_end_marker",
                 kAlbumHead + u"<U>http://a.test/1<X><U>http://a.test/2 当前解析专辑<N>T.<P>", std::nullopt,
                 u"http://a.test/1", u"T"},
        ReplyRow{"album_without_items", kAlbumHead + u"<N>T.<P>", std::nullopt, kParseFailed, u""},
        // The first item's end marker belongs to the second: the first is
        // broken and left out instead of swallowing its neighbour.
        ReplyRow{"album_item_ending_after_the_next_item",
                 kAlbumHead + u"<U>http://a.test/1<U>http://a.test/2<X>当前解析专辑<N>T.<P>", std::nullopt,
                 u"http://a.test/2", u"T"},
        ReplyRow{"album_title_without_end", kAlbumHead + u"<U>http://a.test/1<X>当前解析专辑<N>T.",
                 std::nullopt, u"http://a.test/1", u""},
        ReplyRow{"album_title_of_zero_length", kAlbumHead + u"<U>http://a.test/1<X>当前解析专辑<N><P>",
                 std::nullopt, u"http://a.test/1", u""},
        ReplyRow{"single_address_with_title",
                 kSingleHead + u"http://media.test/v.flv\" target=\"_blank\">var cliptitle = \"片名 1\";",
                 std::nullopt, u"http://media.test/v.flv", u"片名 1"},
        ReplyRow{"single_https_address_with_title",
                 kSingleHead + u"https://media.test/v.mp4\">cliptitle=\"T\"", std::nullopt,
                 u"https://media.test/v.mp4", u"T"},
        ReplyRow{"single_mms_address", kSingleHead + u"mms://media.test/v.wmv\">cliptitle=\"T\"",
                 std::nullopt, u"mms://media.test/v.wmv", u"T"},
        ReplyRow{"single_rtmp_address_has_no_title",
                 kSingleHead + u"rtmp://media.test/live\">cliptitle=\"T\"", std::nullopt,
                 std::u16string(kFlvRtmp), u""},
        ReplyRow{"single_address_never_closes", kSingleHead + u"http://media.test/v.flv", std::nullopt,
                 kParseFailed, u""},
        ReplyRow{"single_title_never_closes", kSingleHead + u"http://media.test/v.flv\">cliptitle=\"T",
                 std::nullopt, u"http://media.test/v.flv", u""},
        ReplyRow{"single_address_is_the_service_home", kSingleHead + u"http://parse.test\">cliptitle=\"T\"",
                 std::nullopt, kParseFailed, u""},
        ReplyRow{"list_form_drops_the_last_character",
                 u"<form name=\"M3UFORM\"><input VALUE=\"http://a.test/1.flv|\"><N>列表名.<P>", std::nullopt,
                 u"http://a.test/1.flv", u"列表名"},
        ReplyRow{"list_form_value_never_closes", u"m3uForm value=\"http://a.test/1.flv <N>T.<P>",
                 std::nullopt, kParseFailed, u"T"},
        ReplyRow{"list_form_without_name", u"m3uForm value=\"http://a.test/1.flv|\"", std::nullopt,
                 u"http://a.test/1.flv", u""},
        ReplyRow{"list_form_name_without_end", u"m3uForm value=\"http://a.test/1.flv|\"<N>T.", std::nullopt,
                 u"http://a.test/1.flv", u""}),
    [](const auto& info) { return std::string(info.param.name); });

// The album reading as first written: every item searched to the next end
// marker and the whole box copied for each.  Kept here to show that the
// linear reader gives the same results on every well-formed album.
VideoParseResult StraightforwardAlbumReading(std::u16string_view reply, const ParseHomes& homes) {
    using text::InStr;
    using text::Mid;
    VideoParseResult out;
    out.imgTip = std::u16string();
    const auto assign = [&](std::u16string value) {
        FlvFilterResult f = ApplyFlvlinkFilter(value, homes);
        if (f.clearTip) out.imgTip = std::u16string();
        out.txtFlvlink = f.text;
    };
    assign(u"");
    text::Pos pos = InStr(reply, u"当前解析专辑");
    text::Pos lastItem = 0;
    for (text::Pos u = InStr(reply, u"<U>", pos); u != 0; u = InStr(reply, u"<U>", pos)) {
        const text::Pos x = InStr(reply, u"<X>", u + 1);
        if (x == 0) break;
        lastItem = u;
        pos = u + 1;
        if (!IsWebAddress(*out.txtFlvlink)) assign(u"");
        assign(*out.txtFlvlink + Mid(reply, u + 3, x - u - 3));
    }
    if (lastItem == 0) {
        assign(std::u16string(kFlvParseFailed));
        return out;
    }
    const text::Pos n = InStr(reply, u"<N>", InStr(reply, u"当前解析专辑", lastItem) + 1);
    const text::Pos p = InStr(reply, u"<P>", n + 1);
    if (p != 0) out.imgTip = text::Left(Mid(reply, n + 3, p - n - 3), p - n - 4);
    return out;
}

TEST(AlbumReply, SameAsTheStraightforwardReadingOnWellFormedAlbums) {
    const std::u16string items[] = {u"http://a.test/1.flv",
                                    u"HTTPS://a.test/2.mp4\r\n",
                                    u"ftp://a.test/3",
                                    u"rtmp://a.test/4",
                                    u"",
                                    u"http://parse.test",
                                    u"http://parse.test/download-center.html",
                                    u"mms://a.test/5",
                                    u"http://parse.",
                                    u"test",
                                    u"在线视频地址"};
    const std::u16string heads[] = {kAlbumHead, u"凤凰宽频专辑解析 当前解析专辑 ",
                                    u"当前解析专辑<U>x<X>56专辑解析"};
    std::uint32_t seed = 7;
    const auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int round = 0; round < 400; ++round) {
        std::u16string reply = heads[next(3)];
        const std::uint32_t count = next(6);
        for (std::uint32_t i = 0; i < count; ++i) {
            reply += next(2) ? u"<U>" : u"<u>";
            reply += items[next(std::size(items))];
            reply += next(2) ? u"<X>\r\n" : u"<x>";
        }
        if (next(2))
            reply += u"当前解析专辑：<N>专辑" + std::u16string(next(3), u'名') + (next(4) ? u"<P>" : u"");
        SCOPED_TRACE(testing::PrintToString(round));
        const VideoParseResult want = StraightforwardAlbumReading(reply, kHomes);
        const VideoParseResult got = ReadVideoReply(reply, kHomes);
        EXPECT_EQ(got.txtFlvlink, want.txtFlvlink);
        EXPECT_EQ(got.imgTip, want.imgTip);
        EXPECT_EQ(got.message, std::nullopt);
    }
}

// Hostile albums of about a megabyte.  Read item by item to the next end
// marker with the box copied each time, each took many minutes; read once,
// they take milliseconds.
TEST(AlbumReply, HostileAlbumsAreReadInOnePass) {
    std::u16string starts = kAlbumHead;
    for (int i = 0; i < 300000; ++i) starts += u"<U>";
    starts += u"http://a.test/last<X>当前解析专辑<N>T.<P>";
    VideoParseResult r = ReadVideoReply(starts, kHomes);
    EXPECT_EQ(r.txtFlvlink, u"http://a.test/last");
    EXPECT_EQ(r.imgTip, u"T");

    std::u16string many = kAlbumHead;
    std::u16string want;
    for (int i = 0; i < 60000; ++i) {
        many += u"<U>http://a.test/";
        many += text::ToDecimal(i);
        many += u"<X>";
        want += u"http://a.test/" + text::ToDecimal(i);
    }
    r = ReadVideoReply(many, kHomes);
    EXPECT_EQ(r.txtFlvlink, want);
    EXPECT_EQ(r.imgTip, u"");

    // Addresses without their ends, one end at the last: every item used to
    // run to that end and the box grew by the rest of the reply each time
    // (8 KB took 20 s and 100 MB).  Only the one closed item stands now.
    std::u16string unclosed = kAlbumHead;
    for (int i = 0; i < 20000; ++i) unclosed += u"<U>http://a.test/";
    unclosed += u"v<X>";
    EXPECT_EQ(ReadVideoReply(unclosed, kHomes).txtFlvlink, u"http://a.test/v");

    // Items that the filter replaces one after another.
    std::u16string rejected = kAlbumHead;
    for (int i = 0; i < 100000; ++i) rejected += u"<U>ftp://x<X>";
    EXPECT_EQ(ReadVideoReply(rejected, kHomes).txtFlvlink, kParseFailed);
}

TEST(ParseVideoAddress, CleansTheInputAsksOnceAndReportsWhatCame) {
    testsupport::FakeService service;
    const ReplyFetch fetch = service.Fetch();
    VideoParseResult r = ParseVideoAddress(u"  \r\n  ", kHomes, fetch);
    EXPECT_EQ(r.txtOnlineflv, u"");
    EXPECT_EQ(r.txtFlvlink, std::u16string(kFlvAskInput));
    EXPECT_EQ(r.imgTip, std::nullopt);
    EXPECT_TRUE(service.asked.empty());

    r = ParseVideoAddress(u"  http://v.test/a b\r\n\r ", kHomes, fetch);
    // CR LF pairs go, a lone CR stays and travels escaped.
    EXPECT_EQ(r.txtOnlineflv, u"http://v.test/a b\r");
    EXPECT_THAT(
        service.asked,
        ::testing::ElementsAre(u"http://parse.test/parse.php?kw=http://v.test/a%20b%0D&flag=&format=high"));
    EXPECT_EQ(r.txtFlvlink, std::u16string(kFlvNetFailed));
    EXPECT_EQ(r.imgTip, u"");  // the old title is gone even though nothing new came

    service.reply = kSingleHead + u"http://media.test/v.flv\">cliptitle=\"T\"";
    r = ParseVideoAddress(u"http://v.test/1", kHomes, fetch);
    EXPECT_EQ(r.txtFlvlink, u"http://media.test/v.flv");
    EXPECT_EQ(r.imgTip, u"T");
}

// The browser button and the hand-off buttons act only on one line that
// starts with "http"; a lone CR or LF does not end the line.
TEST(VideoPage, ButtonsActOnlyOnASingleHttpLine) {
    for (const char16_t* yes :
         {u"HTTP://a.test/v", u"https://a.test/v", u"http", u"http://a\nb", u"http://a\rb"}) {
        EXPECT_TRUE(IsSingleHttpLine(yes)) << text::ToUtf8(yes);
    }
    for (const char16_t* no :
         {u"", u"htt", u" http://a", u"ftp://a", u"http://a.test/1\r\nhttp://a.test/2", u"mms://a.test/v"}) {
        EXPECT_FALSE(IsSingleHttpLine(no)) << text::ToUtf8(no);
    }
}

}  // namespace
}  // namespace tessel::web
