// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/video_parse.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

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

TEST(ParseVideoAddress, CleansTheInputAsksOnceAndReportsWhatCame) {
    std::vector<std::u16string> asked;
    std::optional<std::u16string> reply;
    const ReplyFetch fetch = [&](const std::u16string& url) {
        asked.push_back(url);
        return reply;
    };
    VideoParseResult r = ParseVideoAddress(u"  \r\n  ", kHomes, fetch);
    EXPECT_EQ(r.txtOnlineflv, u"");
    EXPECT_EQ(r.txtFlvlink, std::u16string(kFlvAskInput));
    EXPECT_EQ(r.imgTip, std::nullopt);
    EXPECT_TRUE(asked.empty());

    r = ParseVideoAddress(u"  http://v.test/a b\r\n\r ", kHomes, fetch);
    // CR LF pairs go, a lone CR stays and travels escaped.
    EXPECT_EQ(r.txtOnlineflv, u"http://v.test/a b\r");
    EXPECT_THAT(asked, ::testing::ElementsAre(
                           u"http://parse.test/parse.php?kw=http://v.test/a%20b%0D&flag=&format=high"));
    EXPECT_EQ(r.txtFlvlink, std::u16string(kFlvNetFailed));
    EXPECT_EQ(r.imgTip, u"");  // the old title is gone even though nothing new came

    reply = kSingleHead + u"http://media.test/v.flv\">cliptitle=\"T\"";
    r = ParseVideoAddress(u"http://v.test/1", kHomes, fetch);
    EXPECT_EQ(r.txtFlvlink, u"http://media.test/v.flv");
    EXPECT_EQ(r.imgTip, u"T");
}

TEST(VideoPage, BrowserOpensOnlyASingleHttpLine) {
    EXPECT_TRUE(CanOpenInBrowser(u"HTTP://a.test/v"));
    EXPECT_TRUE(CanOpenInBrowser(u"https://a.test/v"));
    EXPECT_FALSE(CanOpenInBrowser(u"http://a.test/1\r\nhttp://a.test/2"));
    EXPECT_FALSE(CanOpenInBrowser(u"mms://a.test/v"));
    EXPECT_FALSE(CanOpenInBrowser(u""));
}

}  // namespace
}  // namespace tessel::web
