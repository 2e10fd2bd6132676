// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/vbstring.h"

#include <gtest/gtest.h>

using namespace tessel::text;

TEST(InStr, OneBasedCaseInsensitiveFromStart) {
    EXPECT_EQ(InStr(u"abcABC", u"bc"), 2);
    EXPECT_EQ(InStr(u"abcABC", u"BC", 3), 5);
    EXPECT_EQ(InStr(u"<u>x<U>", u"<U>", 2), 5);
    EXPECT_EQ(InStr(u"abc", u"x"), 0);
    // Start below 1 counts as 1; start past the end finds nothing.
    EXPECT_EQ(InStr(u"abc", u"a", 0), 1);
    EXPECT_EQ(InStr(u"abc", u"a", -7), 1);
    EXPECT_EQ(InStr(u"abc", u"c", 4), 0);
    EXPECT_EQ(InStr(u"abc", u"c", 400), 0);
    // Empty needle: found at start, as long as start is within len + 1.
    EXPECT_EQ(InStr(u"abc", u"", 4), 4);
    EXPECT_EQ(InStr(u"abc", u"", 5), 0);
    // Chinese markers compare exactly.
    EXPECT_EQ(InStr(u"xx当前解析专辑", u"当前解析专辑"), 3);
}

TEST(InStr, ExactVariantRespectsCase) {
    EXPECT_EQ(InStrExact(u"AAxzzZZ", u"ZZ"), 6);
    EXPECT_EQ(InStrExact(u"abc", u"B"), 0);
}

TEST(Mid, ClipsEveryOutOfRangeWindow) {
    const std::u16string s = u"abcdef";
    EXPECT_EQ(Mid(s, 2, 3), u"bcd");
    EXPECT_EQ(Mid(s, 5, 10), u"ef");  // runs past the end: the available part
    EXPECT_EQ(Mid(s, 7, 1), u"");     // start just past the end
    EXPECT_EQ(Mid(s, 70, 1), u"");
    EXPECT_EQ(Mid(s, 2, 0), u"");
    EXPECT_EQ(Mid(s, 2, -1), u"");   // negative length
    EXPECT_EQ(Mid(s, 0, 3), u"ab");  // window 0..2 overlaps 1..2
    EXPECT_EQ(Mid(s, -5, 3), u"");   // entirely before the text
    EXPECT_EQ(Mid(s, 1, INT64_MAX), u"abcdef");
    EXPECT_EQ(Mid(s, 3), u"cdef");
    EXPECT_EQ(Mid(s, 0), u"abcdef");
    EXPECT_EQ(Mid(s, 7), u"");
    EXPECT_EQ(Left(s, -1), u"");
    EXPECT_EQ(Left(s, 99), s);
    EXPECT_EQ(Right(s, 2), u"ef");
    EXPECT_EQ(Right(s, 0), u"");
}

TEST(Cleaning, TrimOnlyBlanksAndRemoveOnlyCrLfPairs) {
    EXPECT_EQ(Trim(u"  a b  "), u"a b");
    EXPECT_EQ(Trim(u"\ta\t"), u"\ta\t");
    EXPECT_EQ(Trim(u"\u3000a"), u"\u3000a");
    EXPECT_EQ(Trim(u"   "), u"");
    EXPECT_EQ(RemoveCrLf(u"http://a/\r\nb\r\n"), u"http://a/b");
    EXPECT_EQ(RemoveCrLf(u"a\rb\nc\n\r"), u"a\rb\nc\n\r");
}

TEST(Case, AsciiLettersOnly) {
    EXPECT_EQ(LCase(u"THUNDER://中A"), u"thunder://中a");
    EXPECT_TRUE(StartsWithNoCase(u"HTTP://x", u"http:/"));
    EXPECT_FALSE(StartsWithNoCase(u"htt", u"http"));
    EXPECT_TRUE(EqualsNoCase(u"AbC", u"aBc"));
}

TEST(Numbers, RoundHalfEvenAndParse) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(2.51), 3);
    double v = 0;
    EXPECT_TRUE(ParseNumber(u" 1024 ", v));
    EXPECT_EQ(v, 1024);
    EXPECT_TRUE(ParseNumber(u"-3.5", v));
    EXPECT_EQ(v, -3.5);
    EXPECT_FALSE(ParseNumber(u"abc", v));
    EXPECT_FALSE(ParseNumber(u"12abc", v));
    EXPECT_FALSE(ParseNumber(u"", v));
    EXPECT_EQ(ToDecimal(-42), u"-42");
}
