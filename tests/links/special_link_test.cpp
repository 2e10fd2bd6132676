// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/special_link.h"

#include <gtest/gtest.h>

#include <random>

#include "links/base64.h"
#include "text/codepage.h"

using namespace tessel::links;
using tessel::text::FromUtf8;
using tessel::text::ToUtf8;

namespace {

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

// A link whose payload carries the UTF-8 bytes of the address, as newer
// tools make them.
std::u16string Utf8Link(std::string_view scheme, std::string_view payload, std::string_view trailer) {
    return Ascii(scheme) + Ascii(Base64EncodeBytes(payload)) + Ascii(trailer);
}

}  // namespace

struct WireCase {
    const char* name;
    std::u16string link;
};

class WireForm : public ::testing::TestWithParam<WireCase> {};

TEST_P(WireForm, BuiltExactlyAndDecodedBack) {
    const std::u16string address = u"http://a/b";
    const std::string name = GetParam().name;
    std::u16string built = name == "thunder"    ? EncodeThunderLink(address)
                           : name == "flashget" ? EncodeFlashGetLink(address)
                           : name == "qqdl"     ? EncodeQqdlLink(address)
                                                : EncodeRayfileLink(address, u"1024");
    EXPECT_EQ(built, GetParam().link);
    EXPECT_EQ(DecodeSpecialLink(GetParam().link), address);
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, WireForm,
    ::testing::Values(WireCase{"thunder", u"thunder://QUFodHRwOi8vYS9iWlo=/"},
                      WireCase{"flashget", u"flashget://W0ZMQVNIR0VUXWh0dHA6Ly9hL2JbRkxBU0hHRVRd&vek/"},
                      WireCase{"qqdl", u"qqdl://aHR0cDovL2EvYg==/"},
                      WireCase{"fs2you", u"fs2you://YS9ifDEwMjQ=/"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IsPlainAddress, SixCharacterPrefixIgnoringCase) {
    for (const char16_t* ok :
         {u"http://a", u"HTTP://A/B", u"ftp://x", u"https://x", u"mms://x", u"rtsp://x/y", u"http:/a"}) {
        EXPECT_TRUE(IsPlainAddress(ok)) << ToUtf8(ok);
    }
    for (const char16_t* bad : {u"", u"http", u"ed2k://x", u"thunder://QUFo", u" http://a", u"ftp:/x"}) {
        EXPECT_FALSE(IsPlainAddress(bad)) << ToUtf8(bad);
    }
}

TEST(EncodeLinks, AddressIsTakenAsTypedInGbk) {
    EXPECT_EQ(DecodeSpecialLink(EncodeThunderLink(u"HTTP://A/B")), u"HTTP://A/B");
    EXPECT_EQ(EncodeQqdlLink(u"http://a/你好"),
              u"qqdl://" + Ascii(Base64EncodeBytes("http://a/\xC4\xE3\xBA\xC3")) + u"/");
    // Without "://" the Rayfile form drops only the first two characters.
    EXPECT_EQ(EncodeRayfileLink(u"http:/a", u"1"), u"fs2you://" + Base64Encode(u"tp:/a|1") + u"/");
}

TEST(DecodeSpecialLink, Rejections) {
    const std::u16string noEndTag = u"thunder://" + Base64Encode(u"AAhttp://a/bzz") + u"/";
    const std::u16string flashgetNoEnd = u"flashget://" + Base64Encode(u"[FLASHGET]http://a") + u"&vek/";
    const std::u16string flashgetShort = u"flashget://" + Base64Encode(u"[FLASH") + u"&vek/";
    const std::u16string rayfileNoBar = u"fs2you://" + Base64Encode(u"a/b") + u"/";
    for (const std::u16string& link :
         {std::u16string(u"ed2k://x"), std::u16string(u"http://a/b"), std::u16string(u"thunder://"),
          std::u16string(u"thunder://QQ==/"), noEndTag, flashgetNoEnd, flashgetShort, rayfileNoBar,
          std::u16string(u"fs2you"), std::u16string(u"fs2you:/")}) {
        EXPECT_EQ(DecodeSpecialLink(link), std::nullopt) << ToUtf8(link);
    }
}

TEST(DecodeSpecialLink, QuirksOfTheWireForms) {
    // The first end tag cuts; the start tag is skipped, not compared.
    EXPECT_EQ(DecodeSpecialLink(u"thunder://" + Base64Encode(u"AAxZZyZZ")), u"x");
    EXPECT_EQ(DecodeSpecialLink(u"thunder://" + Base64Encode(u"??xZZ")), u"x");
    EXPECT_EQ(DecodeSpecialLink(u"THUNDER://QUFodHRwOi8vYS9iWlo=/"), u"http://a/b");
    // No padding: "/" is a lone character and "&vek/" lands behind the end tag.
    EXPECT_EQ(EncodeQqdlLink(u"http://a/bcd"), u"qqdl://aHR0cDovL2EvYmNk/");
    EXPECT_EQ(DecodeSpecialLink(u"qqdl://aHR0cDovL2EvYmNk/"), u"http://a/bcd");
    const std::u16string flashget = EncodeFlashGetLink(u"http://a/bcde");
    ASSERT_EQ(flashget.find(u'='), std::u16string::npos);
    EXPECT_EQ(DecodeSpecialLink(flashget), u"http://a/bcde");
    // The Rayfile form always comes back as http://, the size is dropped.
    EXPECT_EQ(DecodeSpecialLink(EncodeRayfileLink(u"ftp://host/f", u"99")), u"http://host/f");
}

TEST(DecodeSpecialLink, Utf8PayloadsOfNewerToolsAndGbkPayloadsBothRead) {
    const std::string address = "http://dl.example.cn/电影/流浪地球2.蓝光版.mp4";
    const std::u16string expected = FromUtf8(address);
    EXPECT_EQ(DecodeSpecialLink(Utf8Link("thunder://", "AA" + address + "ZZ", "/")), expected);
    EXPECT_EQ(DecodeSpecialLink(Utf8Link("qqdl://", address, "/")), expected);
    EXPECT_EQ(DecodeSpecialLink(Utf8Link("fs2you://", address.substr(7) + "|1048576", "/")), expected);
    // Junk behind the end tag (no padding + "&vek/") must not spoil the UTF-8 test.
    std::string payload = "[FLASHGET]" + address + "[FLASHGET]";
    while (payload.size() % 3 != 0) payload += "x";
    EXPECT_EQ(DecodeSpecialLink(Utf8Link("flashget://", payload, "&vek/")), expected);

    // Links made here carry GBK and still decode through GBK.
    EXPECT_EQ(DecodeSpecialLink(u"qqdl://xOO6ww==/"), u"你好");
    // GBK 源 (D4 B4) and 影 (D3 B0) are also valid two-byte UTF-8.
    EXPECT_EQ(DecodeSpecialLink(EncodeQqdlLink(u"http://a/源影")), u"http://a/源影");
    // GBK trail bytes can be "Z" (乑 is 81 5A) or "|" (亅 is 81 7C): tags are
    // found among characters, not among bytes.
    EXPECT_EQ(DecodeSpecialLink(EncodeThunderLink(u"http://a/乑")), u"http://a/乑");
    EXPECT_EQ(DecodeSpecialLink(EncodeRayfileLink(u"http://a/亅", u"1")), u"http://a/亅");
    EXPECT_EQ(DecodeSpecialLink(EncodeThunderLink(expected)), expected);
}

// Every scheme gives back any GBK address, Chinese included.
TEST(DecodeSpecialLink, RoundTripOfGeneratedChineseAddresses) {
    const std::u16string pool =
        u"abcxyzQRS0129-_.~/?&=%#@!:;,+ 中文下载电影音乐资源高清版第一集（）《》、。你好世界";
    const std::u16string schemes[] = {u"http://", u"https://", u"ftp://", u"mms://", u"rtsp://"};
    std::mt19937 rng(2024);
    for (int i = 0; i < 400; ++i) {
        std::u16string address = schemes[rng() % 5] + u"host.cn/";
        const std::size_t length = rng() % 40;
        for (std::size_t k = 0; k < length; ++k) address.push_back(pool[rng() % pool.size()]);
        const std::string at = ToUtf8(address);
        EXPECT_EQ(DecodeSpecialLink(EncodeThunderLink(address)), address) << at;
        EXPECT_EQ(DecodeSpecialLink(EncodeFlashGetLink(address)), address) << at;
        EXPECT_EQ(DecodeSpecialLink(EncodeQqdlLink(address)), address) << at;
        const std::u16string http = u"http://" + address.substr(address.find(u"://") + 3);
        EXPECT_EQ(DecodeSpecialLink(EncodeRayfileLink(http, u"24576")), http) << at;
    }
}
