// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/public_ip.h"

#include <gtest/gtest.h>

#include "support/table_rows.h"

namespace tessel::web {
namespace {

TEST(IpReply, AddressIsBetweenTheFirstParentheses) {
    const TableRow<std::u16string, std::optional<std::u16string>> rows[] = {
        {u"var ip = (203.0.113.9); (x)", u"203.0.113.9"},
        {u"cb(\"198.51.100.1\")\n", u"\"198.51.100.1\""},
        {u"203.0.113.9) and more", u"203.0.113.9"},  // no "(": from the start
        {u"()", u""},
        {u"(203.0.113.9", std::nullopt},
        {u"x) y (z", std::nullopt},
        {u"", std::nullopt},
    };
    ExpectRows(ReadIpReply, rows);
}

TEST(IpReply, CaptionComesFromTheEchoOrNotAtAll) {
    std::u16string asked;
    const ReplyFetch echo = [&](const std::u16string& url) {
        asked = url;
        return std::optional<std::u16string>(u"show(192.0.2.7)");
    };
    EXPECT_EQ(QueryIpCaption(u"http://echo.test", echo), u"您的IP地址为：192.0.2.7");
    EXPECT_EQ(asked, u"http://echo.test/ip/");

    const ReplyFetch broken = [](const std::u16string&) {
        return std::optional<std::u16string>(u"no address");
    };
    const ReplyFetch offline = [](const std::u16string&) { return std::optional<std::u16string>(); };
    EXPECT_EQ(QueryIpCaption(u"http://echo.test", broken), std::nullopt);
    EXPECT_EQ(QueryIpCaption(u"http://echo.test", offline), std::nullopt);
}

}  // namespace
}  // namespace tessel::web
