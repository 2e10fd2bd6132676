// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>

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

namespace {

// What the system's iconv makes of `in` (UTF-16LE to code page 936, or
// back), or nullopt when it refuses it.
std::optional<std::string> Iconv(bool toGbk, std::string_view in) {
    static const iconv_t encoder = iconv_open("CP936", "UTF-16LE");
    static const iconv_t decoder = iconv_open("UTF-16LE", "CP936");
    const iconv_t cd = toGbk ? encoder : decoder;
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out(16, '\0');
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

// The codec's tables are read from iconv once; they must say what iconv says
// about every character and every byte pair, both ways.
TEST(CodePage, EveryCodeUnitEncodesAsIconvDoes) {
    int mapped = 0;
    for (unsigned u = 0; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) {
            ASSERT_EQ(ToAnsi(std::u16string(1, static_cast<char16_t>(u))), "?") << u;
            continue;
        }
        const char16_t c = static_cast<char16_t>(u);
        const std::string le{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        const std::optional<std::string> expected = Iconv(true, le);
        const std::string got = ToAnsi(std::u16string(1, c));
        if (expected) {
            ++mapped;
            ASSERT_EQ(got, *expected) << std::hex << u;
        } else {
            ASSERT_EQ(got, "?") << std::hex << u;
        }
    }
    EXPECT_GT(mapped, 21000);  // ASCII, the euro sign and the double-byte set
}

TEST(CodePage, EverySingleByteAndBytePairDecodesAsIconvDoes) {
    for (unsigned b = 0; b < 0x100; ++b) {
        const std::string in(1, static_cast<char>(b));
        const std::optional<std::string> expected = Iconv(false, in);
        const std::u16string got = FromAnsi(in);
        ASSERT_EQ(got.size(), 1u) << b;
        if (expected) {
            ASSERT_EQ(expected->size(), 2u) << b;
            ASSERT_EQ(got[0], static_cast<char16_t>(static_cast<unsigned char>((*expected)[0]) |
                                                    static_cast<unsigned char>((*expected)[1]) << 8))
                << b;
        } else {
            ASSERT_EQ(got, u"\uFFFD") << b;
        }
    }
    for (unsigned code = 0x8100; code < 0x10000; ++code) {
        const std::string in{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        const std::optional<std::string> expected = Iconv(false, in);
        const std::u16string got = FromAnsi(in);
        if (expected && expected->size() == 2) {
            const char16_t c = static_cast<char16_t>(static_cast<unsigned char>((*expected)[0]) |
                                                     static_cast<unsigned char>((*expected)[1]) << 8);
            ASSERT_EQ(got, std::u16string(1, c)) << std::hex << code;
            ASSERT_EQ(GbkChar(static_cast<unsigned char>(code >> 8), code & 0xFF), c) << std::hex << code;
            ASSERT_EQ(ToAnsi(got), in) << std::hex << code;
        } else {
            // Not one character: the first byte alone is undecodable or a
            // character of its own, and the second is read afresh.
            ASSERT_EQ(GbkChar(static_cast<unsigned char>(code >> 8), code & 0xFF), 0) << std::hex << code;
            ASSERT_EQ(got, FromAnsi(in.substr(0, 1)) + FromAnsi(in.substr(1))) << std::hex << code;
        }
    }
}

TEST(CodePage, CharactersGbkLacksCostNoMoreThanOthers) {
    // Ten thousand characters without a GBK form, each one "?", the text
    // around them untouched (these once went through iconv one by one).
    std::u16string text = u"a";
    for (int i = 0; i < 10000; ++i) text += u"\u0627\U0001F600";
    text += u"中";
    const std::string bytes = ToAnsi(text);
    EXPECT_EQ(bytes, "a" + std::string(20000, '?') + "\xD6\xD0");
}
