// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <iterator>
#include <optional>
#include <random>
#include <string>

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

namespace {

// Strings of the pieces that meet the direct ways: ASCII runs and UTF-8 of
// characters of every length (Chinese, Latin, emoji, and what GBK lacks);
// unless `clean`, also GBK pairs, stray bytes, the byte 0x80 and sequences
// cut short or overlong.
std::string MixedBytes(std::mt19937& rng, bool clean) {
    std::string s;
    const auto byte = [&](unsigned lo, unsigned hi) { return static_cast<char>(lo + rng() % (hi - lo + 1)); };
    const std::size_t pieces = rng() % 12;
    for (std::size_t k = 0; k < pieces; ++k) {
        switch (rng() % (clean ? 2 : 6)) {
            case 0:
                for (std::size_t n = rng() % 20; n > 0; --n) s.push_back(byte(0x00, 0x7F));
                break;
            case 1: {
                static const char32_t ranges[][2] = {{0x80, 0x7FF},    {0x800, 0xD7FF},  {0xE000, 0xFFFF},
                                                     {0x4E00, 0x9FA5}, {0x3000, 0x30FF}, {0x10000, 0x10FFFF},
                                                     {0xFF01, 0xFF5E}, {0x20AC, 0x20AC}};
                const auto& r = ranges[rng() % std::size(ranges)];
                const auto cp = static_cast<char32_t>(r[0] + rng() % (r[1] - r[0] + 1));
                s += ToUtf8(cp >= 0x10000 ? std::u16string{static_cast<char16_t>(0xD7C0 + (cp >> 10)),
                                                           static_cast<char16_t>(0xDC00 | (cp & 0x3FF))}
                                          : std::u16string(1, static_cast<char16_t>(cp)));
                break;
            }
            case 2:
                s.push_back(byte(0x81, 0xFE));
                s.push_back(byte(0x40, 0xFE));
                break;
            case 3:
                s.push_back(byte(0x80, 0xFF));
                break;
            case 4:
                s += std::string{byte(0xE0, 0xEF), byte(0x80, 0xBF)};  // cut short
                break;
            default: {
                // Overlong forms, surrogates, beyond U+10FFFF, and bytes that start nothing.
                const std::string bad[] = {{'\xC0', byte(0x80, 0xBF)},
                                           {'\xE0', byte(0x80, 0x9F), byte(0x80, 0xBF)},
                                           {'\xED', byte(0xA0, 0xBF), byte(0x80, 0xBF)},
                                           {'\xF0', byte(0x80, 0x8F), byte(0x80, 0xBF), byte(0x80, 0xBF)},
                                           {'\xF4', byte(0x90, 0xBF), byte(0x80, 0xBF), byte(0x80, 0xBF)},
                                           {byte(0xF5, 0xFF), byte(0x80, 0xBF), byte(0x80, 0xBF)}};
                s += bad[rng() % std::size(bad)];
                break;
            }
        }
    }
    return s;
}

}  // namespace

// The command line's direct ways between GBK and UTF-8 give what the two
// steps through UTF-16 give, and refuse exactly what is not UTF-8.
TEST(CodePage, DirectWaysBetweenGbkAndUtf8AgreeWithTheWayThroughUtf16) {
    std::mt19937 rng(936);
    std::size_t wellFormed = 0;
    for (int i = 0; i < 100000; ++i) {
        const std::string s = MixedBytes(rng, i % 2 == 0);
        std::string utf8 = "<";
        AppendAnsiAsUtf8(utf8, s);
        ASSERT_EQ(utf8, std::string("<").append(ToUtf8(FromAnsi(s)))) << ::testing::PrintToString(s);

        std::string gbk = ">";
        const bool valid = AppendUtf8AsAnsi(gbk, s);
        ASSERT_EQ(valid, IsValidUtf8(s)) << ::testing::PrintToString(s);
        ASSERT_EQ(gbk, std::string(">").append(valid ? ToAnsi(FromUtf8(s)) : std::string()))
            << ::testing::PrintToString(s);
        wellFormed += valid;
    }
    EXPECT_GE(wellFormed, 50000u);  // every clean string is UTF-8
}
