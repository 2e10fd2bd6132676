// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/commands.h"

#include <gtest/gtest.h>

#include "links/special_link.h"
#include "text/codepage.h"

using namespace tessel::links;

struct CommandCase {
    const char* name;
    CommandResult (*command)(std::u16string_view);
    std::u16string txtInput;
    CommandResult expected;
};

class PageCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(PageCommand, CleansInputAndWritesResultOrComplaint) {
    const CommandResult r = GetParam().command(GetParam().txtInput);
    EXPECT_EQ(tessel::text::ToUtf8(r.input), tessel::text::ToUtf8(GetParam().expected.input));
    EXPECT_EQ(tessel::text::ToUtf8(r.output), tessel::text::ToUtf8(GetParam().expected.output));
    EXPECT_EQ(r.accepted, GetParam().expected.accepted);
}

const std::u16string kAsk(kAskForLinkText);
const std::u16string kBad(kBadLinkText);

INSTANTIATE_TEST_SUITE_P(
    Cases, PageCommand,
    ::testing::Values(
        CommandCase{"BlanksAndBreaksOnly", &ToThunder, u" \r\n  \r\n ", {u"", kAsk, false}},
        CommandCase{"TrimmedThunder",
                    &ToThunder,
                    u"  http://a/b  ",
                    {u"http://a/b", u"thunder://QUFodHRwOi8vYS9iWlo=/", true}},
        CommandCase{
            "TwoLinesJoined", &ToQqdl, u"http://a/\r\nb", {u"http://a/b", u"qqdl://aHR0cDovL2EvYg==/", true}},
        CommandCase{"LoneLineFeedStays", &ToQqdl, u"\nhttp://a", {u"\nhttp://a", kBad, false}},
        CommandCase{"Ed2kIsNoPlainAddress", &ToFlashGet, u"ed2k://x", {u"ed2k://x", kBad, false}},
        CommandCase{"LinkToLinkRejected",
                    &ToThunder,
                    u"thunder://QUFodHRwOi8vYS9iWlo=/",
                    {u"thunder://QUFodHRwOi8vYS9iWlo=/", kBad, false}},
        CommandCase{"GeneralOfLink",
                    &ToGeneral,
                    u" fs2you://YS9ifDEwMjQ=/\r\n",
                    {u"fs2you://YS9ifDEwMjQ=/", u"http://a/b", true}},
        CommandCase{"GeneralOfPlainRejected", &ToGeneral, u"http://a/b", {u"http://a/b", kBad, false}},
        CommandCase{"GeneralOfNothing", &ToGeneral, u"", {u"", kAsk, false}},
        CommandCase{"UrlEncodes", &UrlCommand, u" 你好 ", {u"你好", u"%C4%E3%BA%C3", true}},
        CommandCase{
            "UrlDecodesWhenPercent", &UrlCommand, u"100%", {u"100%", std::u16string(u"100") + u'\0', true}},
        CommandCase{"UrlOwnPrompt", &UrlCommand, u"   ", {u"", std::u16string(kAskForUrlText), false}},
        // Every non-empty line a whole link of the command's kind: one result a line.
        CommandCase{
            "LinesOfLinksDecodeLineByLine",
            &ToGeneral,
            u"thunder://QUFodHRwOi8vYS9iWlo=/\r\n\r\n qqdl://aHR0cDovL2EvYmNk/ \r\nfs2you://YS9ifDEwMjQ=/",
            {u"thunder://QUFodHRwOi8vYS9iWlo=/\r\nqqdl://aHR0cDovL2EvYmNk/\r\nfs2you://YS9ifDEwMjQ=/",
             u"http://a/b\r\nhttp://a/bcd\r\nhttp://a/b", true}},
        CommandCase{"ALineThatDoesNotDecodeSaysSoOnItsLine",
                    &ToGeneral,
                    u"thunder://QQ==/\r\nthunder://QUFodHRwOi8vYS9iWlo=/",
                    {u"thunder://QQ==/\r\nthunder://QUFodHRwOi8vYS9iWlo=/", kBad + u"\r\nhttp://a/b", false}},
        CommandCase{
            "LinesOfAddressesEncodeLineByLine",
            &ToQqdl,
            u"http://a/b\r\nhttp://a/bcd\r\n",
            {u"http://a/b\r\nhttp://a/bcd", u"qqdl://aHR0cDovL2EvYg==/\r\nqqdl://aHR0cDovL2EvYmNk/", true}},
        // One line that is no link of the kind: the old joining, exactly.
        CommandCase{"ALinkAndAStrayLineAreJoined",
                    &ToQqdl,
                    u"http://a/\r\nhttp://b/\r\nc",
                    {u"http://a/http://b/c", u"qqdl://aHR0cDovL2EvaHR0cDovL2IvYw==/", true}},
        CommandCase{"LinesOfAddressesAreNoLinksToDecode",
                    &ToGeneral,
                    u"http://a/b\r\nhttp://a/b",
                    {u"http://a/bhttp://a/b", kBad, false}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PasteText, TrimsBlanksOnly) {
    EXPECT_EQ(PasteText(u"  http://a/b \t "), u"http://a/b \t");
    EXPECT_EQ(PasteText(u"   "), u"");
}

TEST(Rayfile, BeginAcceptsOnlyHttpWithoutBar) {
    struct Case {
        std::u16string input;
        std::optional<std::u16string> output;
    };
    for (const Case& c :
         {Case{u"  ", std::u16string(kAskForLinkText)}, Case{u"http://a/b|1", kBad}, Case{u"ftp://a/b", kBad},
          Case{u"https://a/b", kBad}, Case{u" HTTP://a/b ", std::nullopt}}) {
        const RayfileStart s = RayfileBegin(c.input);
        EXPECT_EQ(s.output, c.output) << tessel::text::ToUtf8(c.input);
        EXPECT_EQ(s.address, c.output ? u"" : s.input);
    }
}

TEST(Rayfile, SizeFromFetchOrFromUser) {
    EXPECT_EQ(RayfileFinish(u"http://a/b", u" 1024 "), u"fs2you://YS9ifDEwMjQ=/");
    EXPECT_EQ(RayfileFinish(u"http://a/b", u""), kAskForSizeText);  // also what cancel gives
    EXPECT_EQ(DecodeSpecialLink(RayfileFinish(u"http://a/b", u"abc")), u"http://a/b");
    EXPECT_EQ(RayfileFinish(u"http://a/b", u"abc"), EncodeRayfileLink(u"http://a/b", u"abc"));

    const RayfileFetchOutcome unreachable = RayfileAfterFetch(u"http://a/b", 0, u"2048");
    EXPECT_FALSE(unreachable.askForSize);
    EXPECT_FALSE(unreachable.output);
    EXPECT_EQ(RayfileAfterFetch(u"http://a/b", 512, u"2048").output,
              EncodeRayfileLink(u"http://a/b", u"2048"));
    EXPECT_TRUE(RayfileAfterFetch(u"http://a/b", 512, u"0").askForSize);  // no content length announced
}

TEST(Rayfile, InputBoxLeftAndAboveTheMiddleRoundingHalvesToEven) {
    const TwipsPoint p = RayfileInputBoxPos({1000, 2000, 7000, 5000});
    EXPECT_EQ(p.x, 1500);
    EXPECT_EQ(p.y, 3500);
    EXPECT_EQ(RayfileInputBoxPos({0, 0, 6001, 2003}).x, 0);  // 0.5 -> 0
    EXPECT_EQ(RayfileInputBoxPos({0, 0, 6003, 2003}).x, 2);  // 1.5 -> 2
    EXPECT_EQ(RayfileInputBoxPos({0, 0, 6003, 2003}).y, 2);
}
