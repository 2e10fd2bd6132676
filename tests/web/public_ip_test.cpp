// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/public_ip.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fake_service.h"
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
    testsupport::FakeService echo{{}, u"show(192.0.2.7)"};
    EXPECT_EQ(QueryIpCaption(u"http://echo.test", echo.Fetch()), u"您的IP地址为：192.0.2.7");
    EXPECT_EQ(echo.asked, std::vector<std::u16string>{u"http://echo.test/ip/"});

    echo.reply = u"no address";
    EXPECT_EQ(QueryIpCaption(u"http://echo.test", echo.Fetch()), std::nullopt);
    echo.reply = std::nullopt;  // offline
    EXPECT_EQ(QueryIpCaption(u"http://echo.test", echo.Fetch()), std::nullopt);
}

}  // namespace
}  // namespace tessel::web
