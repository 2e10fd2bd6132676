// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/url.h"

#include <gtest/gtest.h>

#include <random>

#include "support/table_rows.h"
#include "text/codepage.h"

using namespace tessel::links;
using tessel::text::ToUtf8;

TEST(UrlEncode, OnlyAsciiLettersStayAndGbkBytesAreEscaped) {
    const tessel::TextRow rows[] = {
        {u"http://a/b", u"http%3A%2F%2Fa%2Fb"}, {u"a1 b", u"a%31%20b"},    {u"你好", u"%C4%E3%BA%C3"},
        {u"\t-._~+", u"%09%2D%2E%5F%7E%2B"},    {u"x\U0001F600", u"x%3F"},  // GBK lacks it: "?"
    };
    tessel::ExpectRows(UrlEncode, rows);
}

TEST(UrlDecode, EveryPercentConsumesItsDigits) {
    const tessel::TextRow rows[] = {
        {u"%C4%E3%BA%C3", u"你好"},
        {u"a%20b", u"a b"},
        {u"a%2fb", u"a/b"},  // lower-case digits
        {u"a+b", u"a+b"},    // "+" is no blank
        {u"no escape", u"no escape"},
        {u"100%", std::u16string(u"100") + u'\0'},  // nothing after "%": code 0
        {u"%4Gx", u"\x04x"},                        // leading hex digits only
        {u"%G4x", std::u16string(1, u'\0') + u"x"},
        {u"%C4_E3", u"你"},  // the character between is not tested
        {u"%25", u"%"},
    };
    tessel::ExpectRows(UrlDecode, rows);
}

TEST(Url, DecodeUndoesEncodeForGbkText) {
    const std::u16string pool = u"aZ09 %+-_./:?&=#中文下载（）、。\t";
    std::mt19937 rng(11);
    for (int i = 0; i < 300; ++i) {
        std::u16string s;
        for (std::size_t k = rng() % 30; k > 0; --k) s.push_back(pool[rng() % pool.size()]);
        EXPECT_EQ(UrlDecode(UrlEncode(s)), s) << ToUtf8(s);
    }
}

// Names shown or saved: escapes written by today's servers in UTF-8 must not
// come out as the GBK garble of their bytes, and GBK escapes still read.
TEST(Url, NamesReadTheirEscapesAsGbkOrUtf8) {
    const tessel::TableRow<std::u16string_view, std::u16string_view> rows[] = {
        {u"%E4%B8%AD%E6%96%87%E8%B5%84%E6%96%99.txt", u"中文资料.txt"},
        {u"%C4%E3%BA%C3.txt", u"你好.txt"},
        {u"%E7%AC%AC1%E9%9B%86%20-%20%ED%95%9C%EA%B5%AD%EC%96%B4",
         u"第1集 - 한국어"},  // one reading for all runs
        {u"%D3%B0%CA%D3-%B5%E7%D3%B0", u"影视-电影"},
        {u"100%+a%zz%4", u"100%+a%zz%4"},  // no two hex digits: the "%" stays
        {u"已解码 name", u"已解码 name"},
    };
    ExpectRows(UrlDecodeGbkOrUtf8, rows);
}
