// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/routing.h"

#include <gtest/gtest.h>

using namespace tessel::links;

namespace {

using Opt = std::optional<std::u16string>;

struct RouteCase {
    const char* name;
    RoutingInput in;
    Opt txtInput;
    Opt txtPickcode;
    Opt txtOnlineflv;
    std::optional<int> tab;
    bool storeLink = false;
    bool storeUDown = false;
};

RoutingInput On(std::u16string message) {
    RoutingInput in;
    in.watcherOn = true;
    in.txtMessage = std::move(message);
    return in;
}

RoutingInput With(RoutingInput in, void (*change)(RoutingInput&)) {
    change(in);
    return in;
}

const std::u16string kThunder = u"thunder://QUFodHRwOi8vYS9iWlo=/";

}  // namespace

class Routing : public ::testing::TestWithParam<RouteCase> {};

TEST_P(Routing, SendsTextToTheRightBoxesAndTabs) {
    const RouteCase& c = GetParam();
    const RoutingResult r = RouteClipboardText(c.in);
    EXPECT_EQ(r.txtInput, c.txtInput);
    EXPECT_EQ(r.txtPickcode, c.txtPickcode);
    EXPECT_EQ(r.txtOnlineflv, c.txtOnlineflv);
    EXPECT_EQ(r.activateTab, c.tab);
    EXPECT_EQ(r.storeLinkActiveTab, c.storeLink);
    EXPECT_EQ(r.storeUDownActiveTab, c.storeUDown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Routing,
    ::testing::Values(
        RouteCase{
            "WatcherOff", With(On(kThunder), [](RoutingInput& i) { i.watcherOn = false; }), {}, {}, {}, {}},
        RouteCase{"LinkFirstTimeSwitchesTab", On(kThunder), kThunder, {}, {}, kLinkTab, true},
        RouteCase{"LinkLaterKeepsTab",
                  With(On(kThunder), [](RoutingInput& i) { i.linkActiveTabIsOne = true; }),
                  kThunder,
                  {},
                  {},
                  {}},
        RouteCase{"OwnResultNotWrittenBack",
                  With(On(kThunder), [](RoutingInput& i) { i.txtOutput = kThunder; }),
                  {},
                  {},
                  {},
                  kLinkTab,
                  true},
        RouteCase{"OtherLinkPrefixesAnyCase",
                  On(u" QQDL://aHR0cDovL2EvYg==/"),
                  u"QQDL://aHR0cDovL2EvYg==/",
                  {},
                  {},
                  kLinkTab,
                  true},
        RouteCase{"FlashgetAndFs2you", On(u"fs2you:YS9i"), u"fs2you:YS9i", {}, {}, kLinkTab, true},
        RouteCase{"PlainHttpToBothPagesTrimmed", On(u" http://a/b "), u"http://a/b", {}, u"http://a/b", {}},
        RouteCase{"VideoResultNotOfferedAgain",
                  With(On(u"http://v/1.flv"), [](RoutingInput& i) { i.txtFlvlink = u"http://v/1.flv"; }),
                  u"http://v/1.flv",
                  {},
                  {},
                  {}},
        RouteCase{"FtpAnyCase", On(u"FTP://a"), u"FTP://a", {}, u"FTP://a", {}},
        RouteCase{
            "DiskShareOnlyToDiskPage",
            With(On(u"http://115.com/s/abc"), [](RoutingInput& i) { i.txtOutput = u"http://115.com/s/abc"; }),
            {},
            u"http://115.com/s/abc",
            {},
            kDiskTab,
            false,
            true},
        RouteCase{
            "DiskDomainAnywhereIgnoringCase",
            With(On(u"see HTTP://WWW.115.COM/x"), [](RoutingInput& i) { i.uDownActiveTabIsOne = true; }),
            {},
            u"see HTTP://WWW.115.COM/x",
            {},
            {}},
        RouteCase{"HttpsNotRouted", On(u"https://115.com/s/abc"), {}, {}, {}, {}},
        RouteCase{"HttpsCarryingHttpDiskAddress",
                  On(u"https://x/?u=http://115.com/s"),
                  {},
                  u"https://x/?u=http://115.com/s",
                  {},
                  kDiskTab,
                  false,
                  true},
        RouteCase{"OtherSchemesIgnored", On(u"mms://a/b"), {}, {}, {}, {}},
        RouteCase{"MagnetToTheConversionPageAlone",
                  On(u" magnet:?xt=urn:btih:abc "),
                  u"magnet:?xt=urn:btih:abc",
                  {},
                  {},
                  {}},
        RouteCase{
            "Ed2kToTheConversionPageAlone", On(u"ed2k://|file|a|1|h|/"), u"ed2k://|file|a|1|h|/", {}, {}, {}},
        RouteCase{
            "ConfiguredDomain",
            With(On(u"http://115.com/s"), [](RoutingInput& i) { i.diskServiceDomain = u"disk.example"; }),
            u"http://115.com/s",
            {},
            u"http://115.com/s",
            {}},
        RouteCase{"EmptyDomainMatchesNothing",
                  With(On(u"http://a/b"), [](RoutingInput& i) { i.diskServiceDomain.clear(); }),
                  u"http://a/b",
                  {},
                  u"http://a/b",
                  {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SettingReadsAsOne, NumericOneOnly) {
    for (const char16_t* one : {u"1", u" 1", u"1.0"}) EXPECT_TRUE(SettingReadsAsOne(one));
    for (const char16_t* other : {u"", u"0", u"11", u"abc", u"1x"}) EXPECT_FALSE(SettingReadsAsOne(other));
}
