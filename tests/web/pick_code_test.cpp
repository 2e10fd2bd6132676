// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/pick_code.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "support/fake_service.h"
#include "support/table_rows.h"

namespace tessel::web {
namespace {

using ::testing::ElementsAre;
const std::u16string kNone(kPickNoAddress);

TEST(CutPickCode, KeepsJustTheCode) {
    const TextRow rows[] = {
        {u"http://disk.test/file/abc123#share", u"abc123"},
        {u"http://disk.test/FILE/abc123", u"abc123"},
        {u"abc123", u"abc123"},
        {u"abc123#", u"abc123"},
        {u"http://disk.test/file/", u""},
        {u"http://disk.test/file", u""},  // ends in the word: nothing after it
        {u"file", u""},
    };
    ExpectRows(CutPickCode, rows);
}

struct RefusalRow {
    std::u16string reply;
    std::u16string message;
    bool unknown;
};

class PickCodeRefusalTest : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(PickCodeRefusalTest, ShowsTheServiceVerdictInTheFirstBoxOnly) {
    const PickCodeReply r = ReadPickCodeReply(GetParam().reply);
    EXPECT_EQ(r.txtTel, GetParam().message);
    EXPECT_EQ(r.txtCnc, std::nullopt);
    EXPECT_EQ(r.txtBak, std::nullopt);
    EXPECT_EQ(r.storeErrorCode, GetParam().unknown);
    EXPECT_FALSE(r.deleteReply);
}

std::vector<RefusalRow> RefusalRows() {
    std::vector<RefusalRow> rows;
    for (const PickCodeRefusal& known : kPickCodeRefusals) {
        rows.push_back({u"{\"state\":false,\"errCode\":" + std::u16string(known.number) + u",\"msg\":\"x\"}",
                        std::u16string(known.message), false});
    }
    rows.push_back({u"{\"State\":false,\"errcode\":999}", std::u16string(kPickUnknownError), true});
    rows.push_back({u"{\"state\":false,\"ERRCODE\":106}", u"对不起，无效的提取码", false});
    // Without "Code" the number is read from position 6 on.
    rows.push_back({u"{\"abc104\"false}", u"对不起，提取码已过期", false});
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Codes, PickCodeRefusalTest, ::testing::ValuesIn(RefusalRows()));

TEST(PickCodeReply, FillsTheAddressBoxesInOrder) {
    const struct {
        const char* name;
        std::u16string reply;
        std::u16string tel, cnc, bak;
    } rows[] = {
        {"three escaped",
         u"{\"state\":true,\"data\":{\"url\":\"http:\\/\\/tel.test\\/a\",\"Url\":\"http:\\/\\/cnc.test\\/a\","
         u"\"URL\":\"http:\\/\\/bak.test\\/a\"}}",
         u"http://tel.test/a", u"http://cnc.test/a", u"http://bak.test/a"},
        {"two", u"{\"state\":true,\"url\":\"http://t/1\",\"url\":\"http://c/2\"}", u"http://t/1",
         u"http://c/2", kNone},
        {"one", u"{\"state\":true,\"url\":\"http://t/1\"}", u"http://t/1", kNone, kNone},
        {"none", u"{\"state\":true,\"data\":[]}", kNone, kNone, kNone},
        {"shorter than ten", u"{}", kNone, kNone, kNone},
        {"first empty", u"{\"state\":true,\"url\":\"\",\"url\":\"http://c/2\"}", kNone, u"http://c/2", kNone},
        {"never closes", u"{\"state\":true,\"url\":\"http://t/1", kNone, kNone, kNone},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const PickCodeReply r = ReadPickCodeReply(row.reply);
        EXPECT_EQ(r.txtTel, row.tel);
        EXPECT_EQ(r.txtCnc, row.cnc);
        EXPECT_EQ(r.txtBak, row.bak);
        EXPECT_FALSE(r.storeErrorCode);
        EXPECT_TRUE(r.deleteReply);
    }
}

TEST(ExtractPickCode, InputRulesTheRequestAndAFailedFetch) {
    testsupport::FakeService api;
    const ReplyFetch fetch = api.Fetch();
    EXPECT_EQ(ExtractPickCode(kPickHint, u"https://api.test", fetch).txtPickcode, std::nullopt);
    EXPECT_EQ(ExtractPickCode(u"   ", u"https://api.test", fetch).txtPickcode, std::u16string(kPickHint));
    EXPECT_TRUE(api.asked.empty());

    PickCodeResult r = ExtractPickCode(u"  http://disk.test/file/ab cd#x ", u"https://api.test", fetch);
    EXPECT_EQ(r.txtPickcode, u"http://disk.test/file/ab cd#x");
    EXPECT_THAT(
        api.asked,
        ElementsAre(u"https://api.test/?ct=upload_api&ac=get_pick_code_info&pickcode=ab%20cd&version=1170"));
    EXPECT_FALSE(r.txtTel || r.txtCnc || r.txtBak || r.deleteReply);  // nothing came: every box stays

    api.reply = u"{\"state\":true,\"url\":\"http://t/1\"}";
    r = ExtractPickCode(u"abc", u"https://api.test", fetch);
    EXPECT_EQ(r.txtTel, u"http://t/1");
    EXPECT_TRUE(r.deleteReply);
}

}  // namespace
}  // namespace tessel::web
