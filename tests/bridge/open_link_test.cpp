// SPDX-License-Identifier: GPL-3.0-or-later
// What an opened link does to the window's boxes and whether it may be
// offered to aria2: decided without a window, one row per kind of text.
#include "handoff/open_link.h"

#include <gtest/gtest.h>

namespace tessel::handoff {
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
        OpenLinkInput in;
        in.argument = row.argument;
        const OpenLinkPlan plan = PlanOpenLink(in);
        EXPECT_EQ(plan.routing.txtInput, row.txtInput);
        EXPECT_EQ(plan.routing.txtPickcode, row.txtPickcode);
        EXPECT_EQ(plan.showTab, row.showTab);
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
    OpenLinkInput in;
    in.argument = kThunder;
    const OpenLinkPlan first = PlanOpenLink(in);
    EXPECT_TRUE(first.routing.storeLinkActiveTab);
    in.linkActiveTabIsOne = true;
    const OpenLinkPlan second = PlanOpenLink(in);
    EXPECT_FALSE(second.routing.storeLinkActiveTab);
    EXPECT_FALSE(second.routing.activateTab);
    EXPECT_EQ(second.showTab, kLinkTab);

    in.argument = u"http://115.com/s/abc";
    in.uDownActiveTabIsOne = true;
    EXPECT_EQ(PlanOpenLink(in).showTab, kDiskTab);
}

TEST(OpenLink, ResultsAlreadyInTheOutputBoxAreNotCopiedBackIntoTheInput) {
    OpenLinkInput in;
    in.argument = u"https://h.test/x";
    in.txtOutput = u"https://h.test/x";
    const OpenLinkPlan plan = PlanOpenLink(in);
    EXPECT_FALSE(plan.routing.txtInput);
    EXPECT_TRUE(plan.offer);
}

TEST(OpenLink, AnotherDiskDomainMovesShareAddressesToo) {
    OpenLinkInput in;
    in.argument = u"http://115.com/s/abc";
    in.diskServiceDomain = u"disk.test";
    const OpenLinkPlan plan = PlanOpenLink(in);
    EXPECT_FALSE(plan.routing.txtPickcode);
    EXPECT_EQ(plan.showTab, kLinkTab);
    EXPECT_TRUE(plan.offer);
}

TEST(OpenLink, TheQuestionNamesTheAddressAfterAnEmptyLine) {
    EXPECT_EQ(OpenLinkQuestion(u"http://a/b"), u"是否交给 aria2 下载？\n\nhttp://a/b");
    EXPECT_EQ(OpenLinkQuestion(u"http://a/\u202Egpj.exe"),
              u"是否交给 aria2 下载？\n\nhttp://a/<U+202E>gpj.exe");
}

TEST(OpenLink, TheFileNameIsTheDecodedLastPathPartMadeSafe) {
    const std::pair<std::u16string, std::u16string> rows[] = {
        {u"http://h/dir/file.zip?x=1&y=/2#frag", u"file.zip"},
        {u"http://h/%C4%E3%BA%C3.txt", u"你好.txt"},  // GBK escapes, as the servers of these links write them
        {u"http://h/a%2Fb", u"a_b"},                  // an escaped slash must not leave the folder
        {u"http://h/a%0Ab", u"a_b"},
        {u"http://h/%2E%2E", u""},
        {u"http://h/..", u""},
        {u"http://h/dir/", u""},
        {u"http://h", u""},
        {u"http://h?q=/x", u""},
        {u"no address", u""},
    };
    for (const auto& [address, name] : rows) EXPECT_EQ(OutNameFromAddress(address), name) << "address";
}

TEST(OpenLink, ScriptItemsAreDecodedOrRefusedWithAReason) {
    EXPECT_EQ(Aria2ItemFrom(kThunder).task->link, u"http://a/b");
    EXPECT_EQ(Aria2ItemFrom(u" https://h/x ").task->link, u"https://h/x");
    EXPECT_EQ(Aria2ItemFrom(u"thunder://!!!").complaint, u"对不起，链接不正确");
    EXPECT_FALSE(Aria2ItemFrom(u"").task);
    EXPECT_FALSE(Aria2ItemFrom(u"ed2k://x").task);
    EXPECT_FALSE(Aria2ItemFrom(u"http://a/\r\nb").task);
    EXPECT_FALSE(Aria2ItemFrom(u"javascript:alert(1)").task);
}

}  // namespace
}  // namespace tessel::handoff
