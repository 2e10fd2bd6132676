// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/codepage.h"

#include <gtest/gtest.h>

using namespace tessel::text;

TEST(CodePage, ChineseRoundTripsThroughGbkBytes) {
    const std::string gbk = ToAnsi(u"你好");
    EXPECT_EQ(gbk, "\xC4\xE3\xBA\xC3");
    EXPECT_EQ(FromAnsi(gbk), u"你好");
    // Mixed ASCII and Chinese keeps its order and ASCII bytes as they are.
    EXPECT_EQ(FromAnsi(ToAnsi(u"http://a/下载.rar")), u"http://a/下载.rar");
}

TEST(CodePage, UnmappableCharacterBecomesQuestionMark) {
    // An emoji (surrogate pair) and a lone surrogate have no GBK form.
    EXPECT_EQ(ToAnsi(u"a\U0001F600b"), "a?b");
    const char16_t lone[] = {u'x', 0xD800, u'y', 0};
    EXPECT_EQ(ToAnsi(lone), "x?y");
    // Arabic is not in GBK either; what follows is still converted.
    EXPECT_EQ(ToAnsi(u"\u0627中"), std::string("?") + "\xD6\xD0");
}

TEST(CodePage, InvalidBytesDecodeToReplacementAndNeverStopTheRest) {
    // A lead byte followed by an invalid trail byte, and a lead byte at the end.
    EXPECT_EQ(FromAnsi("a\xC4\x20"
                       "b\xC4"),
              u"a\uFFFD b\uFFFD");
    EXPECT_EQ(FromAnsi("\xFF\xFF"), u"\uFFFD\uFFFD");
}

TEST(CodePage, Utf8BothWaysAndValidation) {
    EXPECT_EQ(FromUtf8("\xE4\xBD\xA0\xE5\xA5\xBD"), u"你好");
    EXPECT_EQ(ToUtf8(u"你好\U0001F600"), "\xE4\xBD\xA0\xE5\xA5\xBD\xF0\x9F\x98\x80");
    EXPECT_TRUE(IsValidUtf8("\xE4\xBD\xA0"));
    EXPECT_TRUE(IsValidUtf8("\xEF\xBF\xBD"));       // a real U+FFFD is fine
    EXPECT_FALSE(IsValidUtf8("\xC4\xE3\xBA\xC3"));  // GBK bytes of 你好
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // encoded surrogate
    EXPECT_FALSE(IsValidUtf8("\xE4\xBD"));          // truncated
}

TEST(CodePage, LongTextsConvertWhole) {
    std::u16string big;
    for (int i = 0; i < 20000; ++i) big += u"中a";
    const std::string bytes = ToAnsi(big);
    EXPECT_EQ(bytes.size(), 60000u);
    EXPECT_EQ(FromAnsi(bytes), big);
}
