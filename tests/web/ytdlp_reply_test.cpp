// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/ytdlp_reply.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/codepage.h"

namespace tessel::web {
namespace {

using ::testing::ElementsAre;

std::vector<std::u16string> Addresses(const YtDlpReply& r) {
    std::vector<std::u16string> out;
    for (const YtDlpMedia& m : r.media) out.push_back(m.address);
    return out;
}

// As yt-dlp prints a page with one <video src>: the chosen format's address
// at the top level, with the headers it would send.
constexpr std::string_view kSingleVideo = R"j({
  "id": "index-1", "title": "\u672c\u5730\u6d4b\u8bd5\u89c6\u9891 (1)",
                           "formats" : [ {
                               "url" : "http://127.0.0.1:8000/media/clip.mp4",
                               "format_id" : "0",
                               "protocol" : "http",
                               "http_headers" : {"User-Agent" : "Mozilla/5.0 Test", "Accept" : "*/*"}
                           } ],
                           "url" : "https://127.0.0.1:8000/media/clip.mp4",
                           "ext" : "mp4",
                           "format_id" : "0",
                           "http_headers" : {
                               "User-Agent" : "Mozilla/5.0 Test",
                               "Accept" : "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8",
                               "Accept-Language" : "en-us,en;q=0.5",
                               "Sec-Fetch-Mode" : "navigate",
                               "Referer" : "http://127.0.0.1:8000/index.html"
                           },
                           "_type" : "video",
                           "extractor" : "html5"
})j";

// A site with separate streams: yt-dlp names the pair it would merge, video
// first, and gives the merged format no address of its own.
constexpr std::string_view kMergedFormats = R"j({
  "id": "abc", "title": "Merged", "format_id": "137+140", "ext": "mp4",
  "requested_formats": [
    {"format_id": "137", "url": "https://v.test/video.mp4?sig=1", "vcodec": "avc1", "acodec": "none",
     "http_headers": {"User-Agent": "UA", "Origin": "https://www.v.test", "Cookie": "sid=42; lang=zh"}},
    {"format_id": "140", "url": "https://v.test/audio.m4a?sig=2", "vcodec": "none", "acodec": "mp4a",
     "http_headers": {"User-Agent": "UA", "Referer": "https://www.v.test/"}}],
  "http_headers": {"User-Agent": "UA"}})j";

// An album: each entry is resolved, one of them into separate streams; an
// entry yt-dlp could not resolve is null and one it left unresolved points at
// a page.
constexpr std::string_view kPlaylist = R"j({
  "_type": "playlist", "id": "list", "title": "\u4e13\u8f91",
  "entries": [
    {"_type": "video", "title": "one", "url": "http://a.test/1.mp4", "http_headers": {"Referer": "http://a.test/"}},
    null,
    {"_type": "url", "url": "https://a.test/watch?v=3", "title": "page, not media"},
    {"_type": "video", "title": "two", "requested_formats": [
      {"url": "http://a.test/2v.mp4"}, {"url": "http://a.test/2a.m4a"}]},
    {"_type": "playlist", "title": "inner", "entries": [{"url": "http://a.test/4.mp4"}]}
  ]})j";

TEST(YtDlpReply, SingleVideoGivesItsChosenFormatAndTheHeadersItNeeds) {
    const YtDlpReply r = ReadYtDlpReply(kSingleVideo);
    ASSERT_TRUE(r.ok) << text::ToUtf8(r.error);
    EXPECT_EQ(r.title, u"本地测试视频 (1)");
    // The chosen format, not the first of the list.
    EXPECT_THAT(Addresses(r), ElementsAre(u"https://127.0.0.1:8000/media/clip.mp4"));
    const YtDlpHeaders& h = r.media[0].headers;
    EXPECT_EQ(h.referer, "http://127.0.0.1:8000/index.html");
    EXPECT_EQ(h.userAgent, "Mozilla/5.0 Test");
    EXPECT_EQ(h.cookie, "");
    EXPECT_TRUE(h.other.empty());  // Accept and friends are not passed on
}

TEST(YtDlpReply, SeparateVideoAndAudioGiveBothAddressesWithTheirOwnHeaders) {
    const YtDlpReply r = ReadYtDlpReply(kMergedFormats);
    ASSERT_TRUE(r.ok);
    EXPECT_THAT(Addresses(r),
                ElementsAre(u"https://v.test/video.mp4?sig=1", u"https://v.test/audio.m4a?sig=2"));
    EXPECT_EQ(r.media[0].headers.cookie, "sid=42; lang=zh");
    EXPECT_THAT(r.media[0].headers.other, ElementsAre("Origin: https://www.v.test"));
    EXPECT_EQ(r.media[0].headers.referer, "");
    EXPECT_EQ(r.media[1].headers.referer, "https://www.v.test/");
    EXPECT_EQ(r.media[1].headers.cookie, "");
}

TEST(YtDlpReply, PlaylistGivesEveryResolvedEntryInOrder) {
    const YtDlpReply r = ReadYtDlpReply(kPlaylist);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.title, u"专辑");
    EXPECT_THAT(Addresses(r), ElementsAre(u"http://a.test/1.mp4", u"http://a.test/2v.mp4",
                                          u"http://a.test/2a.m4a", u"http://a.test/4.mp4"));
    EXPECT_EQ(r.media[0].headers.referer, "http://a.test/");
}

TEST(YtDlpReply, CookiesFieldOfNewerVersionsBecomesACookieHeader) {
    const YtDlpReply r = ReadYtDlpReply(R"j({"title": "t", "url": "https://c.test/v.mp4",
        "cookies": "sid=1; Domain=.c.test; Path=/; Secure; Expires=1700000000; tok=a=b; HttpOnly"})j");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.media[0].headers.cookie, "sid=1; tok=a=b");

    // A cookie header yt-dlp gives outright wins over the field.
    const YtDlpReply both = ReadYtDlpReply(
        R"j({"url": "https://c.test/v.mp4", "cookies": "x=1; Path=/", "http_headers": {"cookie": "y=2"}})j");
    EXPECT_EQ(both.media[0].headers.cookie, "y=2");
}

// A header or an address spread over lines would smuggle a header into the
// download engine's request, or split one address into two in the box.
TEST(YtDlpReply, TextThatWouldBreakALineIsNotPassedOn) {
    const YtDlpReply headers = ReadYtDlpReply(R"j({"url": "https://h.test/v",
        "http_headers": {"Referer": "https://h.test/\r\nX-Evil: 1", "User-Agent": "ok",
                         "X-Bad\nName": "v", "Odd:Name": "v", "X-Token": "abc"}})j");
    ASSERT_TRUE(headers.ok);
    EXPECT_EQ(headers.media[0].headers.referer, "");
    EXPECT_EQ(headers.media[0].headers.userAgent, "ok");
    EXPECT_THAT(headers.media[0].headers.other, ElementsAre("X-Token: abc"));

    const YtDlpReply addresses = ReadYtDlpReply(R"j({"_type": "playlist", "entries": [
        {"url": "http://x.test/1\r\nhttp://evil.test/"}, {"url": ""}, {"url": 7}, {"url": "http://x.test/2"}]})j");
    ASSERT_TRUE(addresses.ok);
    EXPECT_THAT(Addresses(addresses), ElementsAre(u"http://x.test/2"));
}

struct FailureRow {
    const char* name;
    std::string output;
    std::u16string error;
};

TEST(YtDlpReply, OutputWithoutAddressesIsAFailureWithAReason) {
    const std::u16string notJson = u"yt-dlp 的输出不是 JSON 对象";
    const std::u16string noMedia = u"yt-dlp 没有给出媒体地址";
    // Deeper than any real page: the walk stops instead of following it.
    std::string deep = R"j({"url": "http://deep.test/v"})j";
    for (int i = 0; i < 20; ++i) deep = R"j({"_type": "playlist", "entries": [)j" + deep + "]}";
    const std::vector<FailureRow> rows = {
        {"nothing", "", notJson},
        {"what yt-dlp prints when it fails", "null\n", notJson},
        {"garbage", "\x89PNG\r\n\x1a\n garbage", notJson},
        {"cut off", std::string(kSingleVideo.substr(0, 200)), notJson},
        {"an array", R"j([{"url": "http://a.test/v"}])j", notJson},
        {"invalid UTF-8", "{\"url\": \"http://a.test/\xff\"}", notJson},
        {"two objects", R"j({"url": "http://a.test/1"} {"url": "http://a.test/2"})j", notJson},
        {"no address", R"j({"title": "t", "formats": [{"url": "http://a.test/only-in-formats"}]})j", noMedia},
        {"only page entries",
         R"j({"_type": "playlist", "entries": [{"_type": "url", "url": "http://p.test"}]})j", noMedia},
        {"empty playlist", R"j({"_type": "playlist", "title": "t", "entries": []})j", noMedia},
        {"nested too deep", deep, noMedia},
        // Copying or walking 80000 levels would overflow the stack.
        {"JSON nested 80000 levels",
         R"j({"url": "http://a.test/v", "x": )j" + std::string(80000, '[') + std::string(80000, ']') + "}",
         notJson},
    };
    for (const FailureRow& row : rows) {
        SCOPED_TRACE(row.name);
        const YtDlpReply r = ReadYtDlpReply(row.output);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.media.empty());
        EXPECT_EQ(r.error, row.error);
    }
}

TEST(YtDlpReply, OutputOverTheLimitIsRefusedUnread) {
    // Valid JSON, one byte over: the limit holds even for a report that
    // would read fine.
    std::string big = R"j({"url": "http://a.test/v", "pad": ")j";
    big.append(kYtDlpMaxOutput - big.size() - 1, 'x');
    big += "\"}";
    ASSERT_EQ(big.size(), kYtDlpMaxOutput + 1);
    EXPECT_EQ(ReadYtDlpReply(big).error, u"yt-dlp 的输出超过 16 MiB");
    big.erase(big.size() - 3, 1);
    EXPECT_TRUE(ReadYtDlpReply(big).ok);
}

TEST(YtDlpArguments, TheAddressIsOneArgumentAfterTheEndOfOptions) {
    EXPECT_THAT(YtDlpArguments(u"--exec rm -rf ~ 视频"),
                ElementsAre("-J", "--ignore-config", "--no-cache-dir", "--",
                            "--exec rm -rf ~ \xe8\xa7\x86\xe9\xa2\x91"));
}

TEST(YtDlpErrorLine, KeepsTheLastErrorOfStandardError) {
    EXPECT_EQ(YtDlpErrorLine("WARNING: [generic] Falling back on generic information extractor\n"
                             "ERROR: [generic] first\r\n"
                             "ERROR: Unsupported URL: http://127.0.0.1/none.html\n"),
              u"Unsupported URL: http://127.0.0.1/none.html");
    EXPECT_EQ(YtDlpErrorLine("ERROR: 不支持的地址"), u"不支持的地址");  // no final line end
    EXPECT_EQ(YtDlpErrorLine("WARNING: only a warning\n  ERROR: indented is not an error line\n"), u"");
    EXPECT_EQ(YtDlpErrorLine(""), u"");
}

TEST(VideoEngineSetting, AutoPicksYtDlpOnlyWhenFound) {
    struct Row {
        std::u16string setting;
        bool found;
        VideoEngine engine;
    };
    const Row rows[] = {
        {u"", true, VideoEngine::YtDlp},
        {u"", false, VideoEngine::Service},
        {u"auto", false, VideoEngine::Service},
        {u" YT-DLP ", false, VideoEngine::YtDlp},
        {u"service", true, VideoEngine::Service},
        {u"youtube-dl", true, VideoEngine::YtDlp},
        {u"youtube-dl", false, VideoEngine::Service},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(text::ToUtf8(row.setting));
        EXPECT_EQ(ChooseVideoEngine(row.setting, row.found), row.engine);
    }
}

TEST(VideoEngineSetting, TimeoutReadsWholePositiveSeconds) {
    EXPECT_EQ(YtDlpTimeoutSeconds(u""), 30);
    EXPECT_EQ(YtDlpTimeoutSeconds(u" 5 "), 5);
    EXPECT_EQ(YtDlpTimeoutSeconds(u"0"), 30);
    EXPECT_EQ(YtDlpTimeoutSeconds(u"-4"), 30);
    EXPECT_EQ(YtDlpTimeoutSeconds(u"2.5"), 30);
    EXPECT_EQ(YtDlpTimeoutSeconds(u"abc"), 30);
    EXPECT_EQ(YtDlpTimeoutSeconds(u"99999999999999"), 30);
    EXPECT_EQ(YtDlpTimeoutSeconds(u"86400"), 3600);
}

}  // namespace
}  // namespace tessel::web
