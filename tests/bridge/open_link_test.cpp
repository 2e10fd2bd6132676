// SPDX-License-Identifier: GPL-3.0-or-later
// What an opened link does to the window's boxes and whether it may be
// offered to aria2: decided without a window, one row per kind of text.
#include "bridge/open_link.h"

#include <gtest/gtest.h>

#include "links/base64.h"
#include "links/special_link.h"
#include "support/table_rows.h"

namespace tessel::bridge {
namespace {

using links::kDiskTab;
using links::kLinkTab;

struct Row {
    const char* name;
    std::u16string argument;
    std::optional<std::u16string> txtInput;
    std::optional<std::u16string> txtPickcode;
    std::optional<int> showTab;
    std::optional<std::u16string> txtOutput;
    std::optional<std::u16string> offer;  // the address offered to aria2
    std::u16string outName;
};

const std::u16string kThunder = u"thunder://QUFodHRwOi8vYS9iWlo=/";

// The plan for `text` opened while the window's boxes and settings are as
// `in` has them.
OpenLinkPlan PlanFor(std::u16string text, links::RoutingInput in = {}) {
    in.txtMessage = std::move(text);
    return PlanOpenLink(in);
}

const Row kRows[] = {
    {"thunder link decoded and offered",
     kThunder,
     kThunder,
     {},
     kLinkTab,
     u"http://a/b",
     u"http://a/b",
     u"b"},
    {"blanks and a line break around the argument",
     u"  " + kThunder + u"\r\n",
     kThunder,
     {},
     kLinkTab,
     u"http://a/b",
     u"http://a/b",
     u"b"},
    {"flashget link",
     u"flashget://W0ZMQVNIR0VUXWh0dHA6Ly9hL2JbRkxBU0hHRVRd&vek/",
     u"flashget://W0ZMQVNIR0VUXWh0dHA6Ly9hL2JbRkxBU0hHRVRd&vek/",
     {},
     kLinkTab,
     u"http://a/b",
     u"http://a/b",
     u"b"},
    {"qqdl link",
     u"qqdl://aHR0cDovL2EvYg==/",
     u"qqdl://aHR0cDovL2EvYg==/",
     {},
     kLinkTab,
     u"http://a/b",
     u"http://a/b",
     u"b"},
    {"fs2you link: the size part is not part of the address",
     u"fs2you://YS9ifDEwMjQ=/",
     u"fs2you://YS9ifDEwMjQ=/",
     {},
     kLinkTab,
     u"http://a/b",
     u"http://a/b",
     u"b"},
    {"scheme in capitals",
     u"THUNDER://QUFodHRwOi8vYS9iWlo=/",
     u"THUNDER://QUFodHRwOi8vYS9iWlo=/",
     {},
     kLinkTab,
     u"http://a/b",
     u"http://a/b",
     u"b"},
    {"a link that does not decode: the complaint and nothing else",
     u"thunder://!!!",
     u"thunder://!!!",
     {},
     kLinkTab,
     u"对不起，链接不正确",
     {},
     u""},
    {"a bare scheme decodes to nothing",
     u"qqdl://",
     u"qqdl://",
     {},
     kLinkTab,
     u"对不起，链接不正确",
     {},
     u""},
    {"a link to something aria2 cannot fetch is shown, not offered",
     u"thunder://QUFlZDJrOi8vfGZpbGV8YXwxfGFiY3wvWlo=",
     u"thunder://QUFlZDJrOi8vfGZpbGV8YXwxfGFiY3wvWlo=",
     {},
     kLinkTab,
     u"ed2k://|file|a|1|abc|/",
     {},
     u""},
    {"plain http address",
     u"http://h.test/pub/file.iso",
     u"http://h.test/pub/file.iso",
     {},
     kLinkTab,
     u"http://h.test/pub/file.iso",
     u"http://h.test/pub/file.iso",
     u"file.iso"},
    {"https, which the watcher ignores, still goes to the conversion page",
     u"https://h.test/x.tar.gz",
     u"https://h.test/x.tar.gz",
     {},
     kLinkTab,
     u"https://h.test/x.tar.gz",
     u"https://h.test/x.tar.gz",
     u"x.tar.gz"},
    {"ftp address",
     u"ftp://h.test/a/b.bin",
     u"ftp://h.test/a/b.bin",
     {},
     kLinkTab,
     u"ftp://h.test/a/b.bin",
     u"ftp://h.test/a/b.bin",
     u"b.bin"},
    {"a share address of the disk goes to its page only",
     u"http://115.com/s/abc",
     {},
     u"http://115.com/s/abc",
     kDiskTab,
     {},
     {},
     u""},
    {"plain text is no link", u"hello", {}, {}, {}, {}, {}, u""},
    {"an address with only a scheme is no address", u"http://", u"http://", {}, {}, {}, {}, u""},
    {"mms is a plain address but not one aria2 fetches", u"mms://h.test/v", {}, {}, {}, {}, {}, u""},
    {"empty argument", u"   ", {}, {}, {}, {}, {}, u""},
};

TEST(OpenLink, EachKindOfTextFillsItsBoxesShowsItsPageAndIsOfferedOnlyWhenFetchable) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const OpenLinkPlan plan = PlanFor(row.argument);
        EXPECT_EQ(plan.routing.txtInput, row.txtInput);
        EXPECT_EQ(plan.routing.txtPickcode, row.txtPickcode);
        EXPECT_EQ(plan.routing.activateTab, row.showTab);
        EXPECT_EQ(plan.txtOutput, row.txtOutput);
        ASSERT_EQ(plan.offer.has_value(), row.offer.has_value());
        if (plan.offer) {
            EXPECT_EQ(plan.offer->link, *row.offer);
            EXPECT_EQ(plan.offer->title, row.outName);
            EXPECT_EQ(plan.offer->page, u"");
        }
    }
}

TEST(OpenLink, ThePageIsShownEveryTimeWhileTheTabFlagIsStoredOnlyOnce) {
    links::RoutingInput in;
    in.txtMessage = kThunder;
    const OpenLinkPlan first = PlanOpenLink(in);
    EXPECT_TRUE(first.routing.storeLinkActiveTab);
    in.linkActiveTabIsOne = true;
    const OpenLinkPlan second = PlanOpenLink(in);
    EXPECT_FALSE(second.routing.storeLinkActiveTab);
    EXPECT_EQ(second.routing.activateTab, kLinkTab);

    in.txtMessage = u"http://115.com/s/abc";
    in.uDownActiveTabIsOne = true;
    EXPECT_EQ(PlanOpenLink(in).routing.activateTab, kDiskTab);
}

TEST(OpenLink, ResultsAlreadyInTheOutputBoxAreNotCopiedBackIntoTheInput) {
    links::RoutingInput boxes;
    boxes.txtOutput = u"https://h.test/x";
    const OpenLinkPlan plan = PlanFor(u"https://h.test/x", boxes);
    EXPECT_FALSE(plan.routing.txtInput);
    EXPECT_TRUE(plan.offer);
}

TEST(OpenLink, AnotherDiskDomainMovesShareAddressesToo) {
    links::RoutingInput boxes;
    boxes.diskServiceDomain = u"disk.test";
    const OpenLinkPlan plan = PlanFor(u"http://115.com/s/abc", boxes);
    EXPECT_FALSE(plan.routing.txtPickcode);
    EXPECT_EQ(plan.routing.activateTab, kLinkTab);
    EXPECT_TRUE(plan.offer);
}

TEST(OpenLink, TheQuestionNamesTheAddressAfterAnEmptyLine) {
    EXPECT_EQ(OpenLinkQuestion(u"http://a/b"), u"是否交给 aria2 下载？\n\nhttp://a/b");
    EXPECT_EQ(OpenLinkQuestion(u"http://a/\u202Egpj.exe"),
              u"是否交给 aria2 下载？\n\nhttp://a/<U+202E>gpj.exe");
}

TEST(OpenLink, TheFileNameIsTheDecodedLastPathPartMadeSafe) {
    const TextRow rows[] = {
        {u"http://h/dir/file.zip?x=1&y=/2#frag", u"file.zip"},
        {u"http://h/%C4%E3%BA%C3.txt", u"你好.txt"},  // GBK escapes, as the servers of these links write them
        {u"http://h/%E4%B8%AD%E6%96%87%E8%B5%84%E6%96%99.txt",
         u"中文资料.txt"},            // and UTF-8 ones, as most do
        {u"http://h/a%2Fb", u"a_b"},  // an escaped slash must not leave the folder
        {u"http://h/a%0Ab", u"a_b"},
    };
    ExpectRows(handoff::OutNameFromAddress, rows);
    // A dot-dot, a folder, a bare host or a query names no file, and neither
    // does what is no address at all.
    for (const std::u16string_view nameless : {u"http://h/%2E%2E", u"http://h/..", u"http://h/dir/",
                                               u"http://h", u"http://h?q=/x", u"no address"}) {
        EXPECT_EQ(handoff::OutNameFromAddress(nameless), u"") << text::ToUtf8(nameless);
    }
}

TEST(OpenLink, ScriptItemsAreDecodedOrRefusedWithAReason) {
    EXPECT_EQ(Aria2ItemFrom(kThunder).task->link, u"http://a/b");
    EXPECT_EQ(Aria2ItemFrom(u" https://h/x ").task->link, u"https://h/x");
    EXPECT_EQ(Aria2ItemFrom(u"thunder://!!!").complaint, u"对不起，链接不正确");
    EXPECT_FALSE(Aria2ItemFrom(u"").task);
    EXPECT_EQ(Aria2ItemFrom(u"ed2k://x").complaint,
              u"aria2 不能下载 ed2k 链接，请交给 ed2k 下载程序：ed2k://x");
    EXPECT_EQ(Aria2ItemFrom(u"magnet:?xt=urn:btih:abc&dn=x").task->title, u"");
    EXPECT_FALSE(Aria2ItemFrom(u"http://a/\r\nb").task);
    EXPECT_FALSE(Aria2ItemFrom(u"javascript:alert(1)").task);
}

// A link made from UTF-8 bytes must reach the server as those bytes, one
// made from GBK as GBK, and what is typed or copied as UTF-8.
TEST(OpenLink, TheAddressGoesToAria2InTheCodePageItWasReadWith) {
    const std::u16string address = u"http://h/影视/电影 第1集.mp4";
    const std::u16string utf8Link =
        u"thunder://" + text::FromUtf8(links::Base64EncodeBytes("AA" + text::ToUtf8(address) + "ZZ")) + u"/";
    const struct {
        std::u16string argument;
        text::CodePage page;
    } rows[] = {
        {utf8Link, text::CodePage::Utf8},
        {links::EncodeThunderLink(address), text::CodePage::Gbk},
        {address, text::CodePage::Utf8},
    };
    for (const auto& r : rows) {
        const OpenLinkPlan plan = PlanFor(r.argument);
        ASSERT_TRUE(plan.offer) << text::ToUtf8(r.argument);
        EXPECT_EQ(plan.offer->link, address);
        EXPECT_EQ(plan.offer->headers.codePage, r.page) << text::ToUtf8(r.argument);
        EXPECT_EQ(plan.offer->title, u"电影 第1集.mp4");
        EXPECT_EQ(plan.offerName, address);
        EXPECT_EQ(Aria2ItemFrom(r.argument).task->headers.codePage, r.page);
    }
}

TEST(OpenLink, AMagnetIsOfferedUnderItsNameAndAnEd2kLinkIsForItsOwnProgram) {
    const std::u16string magnet =
        u"magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=%E7%94%B5%E5%BD%B1";
    for (const std::u16string& argument : {magnet, links::EncodeQqdlLink(magnet)}) {
        const OpenLinkPlan plan = PlanFor(argument);
        EXPECT_EQ(plan.routing.activateTab, kLinkTab);
        EXPECT_EQ(plan.txtOutput, magnet);
        ASSERT_TRUE(plan.offer);
        EXPECT_EQ(plan.offer->link, magnet);
        EXPECT_EQ(plan.offer->title, u"");  // aria2 names the files from the torrent
        EXPECT_EQ(plan.offerName, u"电影");
        EXPECT_FALSE(plan.ed2k);
    }
    EXPECT_EQ(PlanFor(u"magnet:?xt=urn:btih:abc").offerName, u"magnet:?xt=urn:btih:abc");

    const std::u16string ed2k = u"ed2k://|file|a.avi|1|0123456789ABCDEF0123456789ABCDEF|/";
    for (const std::u16string& argument : {ed2k, links::EncodeThunderLink(ed2k)}) {
        const OpenLinkPlan plan = PlanFor(argument);
        EXPECT_EQ(plan.txtOutput, ed2k);
        EXPECT_EQ(plan.ed2k, ed2k);
        EXPECT_FALSE(plan.offer);
    }
}

// Texts that arrive together: a text whose every line is a link becomes
// one item a line; any other text stays whole, as it was routed before.
TEST(OpenLinks, TheLinesOfOneTextAreItemsOnlyWhenEachIsALink) {
    const std::u16string two = u"http://h/a\r\n\r\n " + kThunder + u"\n";
    EXPECT_EQ(SplitOpenedTexts({two, u"magnet:?xt=urn:btih:abc"}),
              (std::vector<std::u16string>{u"http://h/a", kThunder, u"magnet:?xt=urn:btih:abc"}));
    const std::u16string prose = u"下载地址：\nhttp://h/a";
    EXPECT_EQ(SplitOpenedTexts({prose}), std::vector<std::u16string>{prose});
    EXPECT_EQ(SplitOpenedTexts({u"http://h/a\n"}), std::vector<std::u16string>{u"http://h/a\n"});
}

TEST(OpenLinks, ABatchAsksOnceAndShowsItsLinksLineByLine) {
    const std::u16string ed2k = u"ed2k://|file|a|1|h|/";
    links::RoutingInput boxes;
    const OpenBatchPlan batch =
        PlanOpenLinks({kThunder, u"https://h/b.iso", u"hello", u"magnet:?xt=urn:btih:abc&dn=x", ed2k}, boxes);
    ASSERT_EQ(batch.items.size(), 5u);
    EXPECT_EQ(batch.txtInput, kThunder + u"\r\nhttps://h/b.iso\r\nmagnet:?xt=urn:btih:abc&dn=x\r\n" + ed2k);
    EXPECT_EQ(batch.txtOutput, u"http://a/b\r\nhttps://h/b.iso\r\nmagnet:?xt=urn:btih:abc&dn=x\r\n" + ed2k);
    EXPECT_EQ(batch.offerNames, (std::vector<std::u16string>{u"http://a/b", u"https://h/b.iso", u"x"}));
    ASSERT_EQ(batch.offers.size(), 3u);
    EXPECT_EQ(batch.ed2k, std::vector<std::u16string>{ed2k});
    // The tab flag is stored by the first item only.
    EXPECT_TRUE(batch.items[0].routing.storeLinkActiveTab);
    EXPECT_FALSE(batch.items[1].routing.storeLinkActiveTab);

    // One link alone: its own boxes, exactly as before.
    const OpenBatchPlan one = PlanOpenLinks({kThunder}, boxes);
    EXPECT_EQ(one.txtInput, kThunder);
    EXPECT_EQ(one.txtOutput, u"http://a/b");
    EXPECT_EQ(OpenLinksQuestion(3), u"是否把这 3 个地址交给 aria2 下载？");
    EXPECT_EQ(RefusedTasksText({{u"a.iso", u"No URI to download."}}),
              u"aria2 没有接受下面 1 个地址：\n\na.iso：No URI to download.");
}

}  // namespace
}  // namespace tessel::bridge
