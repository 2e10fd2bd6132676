// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/gbk_or_utf8.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

using namespace tessel::text;

// GBK text whose bytes are also well-formed UTF-8 of odd characters.
TEST(GbkOrUtf8, GbkThatIsAlsoValidUtf8ReadsAsGbk) {
    for (const char16_t* t : {u"岚版本", u"http://a/岚版本.mp4", u"源影", u"涓嶈", u"茅"}) {
        const std::string gbk = ToAnsi(t);
        EXPECT_EQ(FromGbkOrUtf8(gbk), t) << ToUtf8(t);
    }
    // Both readings equally ordinary (one Chinese character or one Latin
    // letter): GBK, as the managers write.
    EXPECT_FALSE(ReadsAsUtf8("\xC3\xA9"));
    // Where the GBK reading is the well-known garble of UTF-8 Chinese, its
    // bytes are that UTF-8 of fewer, common characters: UTF-8 wins.
    EXPECT_EQ(FromGbkOrUtf8(ToAnsi(u"浣犲ソ")), u"你好");
    EXPECT_EQ(FromGbkOrUtf8(ToAnsi(u"鍙戠敓")), u"发生");
}

TEST(GbkOrUtf8, Utf8OfEastAsianTextReadsAsUtf8) {
    for (const char* t :
         {"电影", "流浪地球2.蓝光版.mp4", "http://dl.example.cn/电影/第一集（高清）.mkv", "國語配音",
          "ポケットモンスター", "한국어 자막", "下载「完整版」", "音楽・アニメ"}) {
        EXPECT_TRUE(ReadsAsUtf8(t)) << t;
        EXPECT_EQ(FromGbkOrUtf8(t), FromUtf8(t)) << t;
    }
}

TEST(GbkOrUtf8, AsciiAndBytesThatAreNeitherStayReadable) {
    EXPECT_EQ(FromGbkOrUtf8("http://a/b"), u"http://a/b");
    EXPECT_FALSE(ReadsAsUtf8("http://a/b"));
    // Not UTF-8 at all: the GBK reading, undecodable bytes as U+FFFD.
    EXPECT_EQ(FromGbkOrUtf8("a\xFF\xC4\xE3"), u"a\uFFFD你");
    // A lone UTF-8 lead byte behind good UTF-8 spoils the UTF-8 reading.
    EXPECT_FALSE(ReadsAsUtf8("\xE7\x94\xB5\xE5"));
    // C1 controls are never text.
    EXPECT_FALSE(ReadsAsUtf8("\xC2\x85\xC2\x85"));
}

TEST(GbkOrUtf8, OddnessRanksOrdinaryTextBelowRareScripts) {
    EXPECT_EQ(Oddness(U'a'), 0);
    EXPECT_LT(Oddness(U'的'), Oddness(U'ア'));      // GB2312 Chinese below kana
    EXPECT_LT(Oddness(U'ア'), Oddness(U'國'));      // kana below characters GB2312 lacks
    EXPECT_LT(Oddness(U'國'), Oddness(U'\u1C30'));  // ... below rare scripts
    EXPECT_LT(Oddness(U'\u1C30'), Oddness(U'\uFFFD'));
    EXPECT_EQ(Oddness(U'\u0085'), Oddness(U'\uE000'));  // controls and private use: never text
    EXPECT_EQ(Utf8Oddness("\xFF"), -1);
    EXPECT_EQ(GbkOddness("\xC4\xE3"), Oddness(U'你'));
}
