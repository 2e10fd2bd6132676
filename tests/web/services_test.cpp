// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/services.h"

#include <gtest/gtest.h>

#include "support/table_rows.h"

namespace tessel::web {
namespace {

TEST(EscapeUrlText, OnlyWhatAUrlCannotCarryIsEscapedAsGbk) {
    const TextRow rows[] = {
        {u"http://a.test/p?x=1&y=%41#top", u"http://a.test/p?x=1&y=%41#top"},
        {u"a b", u"a%20b"},
        {u"中文", u"%D6%D0%CE%C4"},
        {u"\t\r\n\x7f", u"%09%0D%0A%7F"},
        {u"\"<>\\^`{|}", u"%22%3C%3E%5C%5E%60%7B%7C%7D"},
        {u"x\U0001F600y", u"x%3Fy"},  // outside GBK: sent as an escaped "?", never a bare one
    };
    ExpectRows(EscapeUrlText, rows);
    for (const TextRow& row : rows)
        EXPECT_EQ(EscapeUrlText(row.out), row.out);  // escaping again changes nothing
    EXPECT_EQ(ToWireUrl(u"http://a.test/中 文"), "http://a.test/%D6%D0%20%CE%C4");
}

TEST(ServiceRequests, AppendTheUserTextToTheFixedForms) {
    EXPECT_EQ(BuildParseRequest(u"http://h.test", u"http://v.test/play?id=1&x=2"),
              u"http://h.test/parse.php?kw=http://v.test/play?id=1&x=2&flag=&format=high");
    EXPECT_EQ(BuildPickCodeRequest(u"https://e.test", u"abc"),
              u"https://e.test/?ct=upload_api&ac=get_pick_code_info&pickcode=abc&version=1170");
    EXPECT_EQ(BuildIpEchoRequest(u"http://e2.test"), u"http://e2.test/ip/");
}

}  // namespace
}  // namespace tessel::web
