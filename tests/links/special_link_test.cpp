// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/special_link.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <vector>

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
    // ... even where the bytes before that "Z" are UTF-8 (E4 B8 81 is 丁).
    EXPECT_EQ(DecodeSpecialLink(EncodeThunderLink(u"http://a/涓乑")), u"http://a/涓乑");
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

namespace {

// Strings of one to six characters drawn from the whole GB2312 set of
// Chinese characters (levels 1 and 2), with ASCII mixed in (without "Z" and
// "|", which would end the address early as a tag).
class Gb2312Strings {
 public:
    explicit Gb2312Strings(unsigned seed) : rng_(seed) {
        for (unsigned lead = 0xB0; lead <= 0xF7; ++lead) {
            for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
                const char16_t c = tessel::text::GbkChar(static_cast<unsigned char>(lead),
                                                         static_cast<unsigned char>(trail));
                if (c != 0) hanzi_.push_back(c);
            }
        }
    }
    std::size_t repertoire() const { return hanzi_.size(); }

    std::u16string Next() {
        std::u16string s;
        const std::size_t length = 1 + rng_() % 6;
        while (s.size() < length) {
            if (rng_() % 4 == 0) {
                const char16_t c = static_cast<char16_t>(0x20 + rng_() % 95);
                if (c != u'Z' && c != u'|') s.push_back(c);
            } else {
                s.push_back(hanzi_[rng_() % hanzi_.size()]);
            }
        }
        return s;
    }

 private:
    std::mt19937_64 rng_;
    std::vector<char16_t> hanzi_;
};

// How many strings each corpus holds: a sample that runs in seconds, or
// TESSEL_CORPUS_STRINGS of them (1000000 for the measurement).
std::size_t CorpusSize() {
    const char* n = std::getenv("TESSEL_CORPUS_STRINGS");
    return n != nullptr && std::atol(n) > 0 ? static_cast<std::size_t>(std::atol(n)) : 20000;
}

// The four links of an address as a UTF-8 converter makes them.
std::vector<std::u16string> Utf8LinksOf(const std::u16string& address) {
    const std::string bytes = ToUtf8(address);
    const std::string rest = bytes.substr(bytes.find("://") + 3);
    return {Utf8Link("thunder://", "AA" + bytes + "ZZ", "/"),
            Utf8Link("flashget://", "[FLASHGET]" + bytes + "[FLASHGET]", "&vek/"),
            Utf8Link("qqdl://", bytes, "/"), Utf8Link("fs2you://", rest + "|1024", "/")};
}

// The only GBK text that may read as UTF-8: bytes that are, character for
// character, UTF-8 Chinese of GB2312 (three rare characters in GBK against
// two common ones in UTF-8) or Hangul syllables (three against two).
bool IsUtf8OfGb2312(const std::string& bytes) {
    if (!tessel::text::IsValidUtf8(bytes)) return false;
    for (char16_t c : FromUtf8(bytes)) {
        if (c < 0x80 || (c >= 0xAC00 && c <= 0xD7A3)) continue;
        const unsigned code = tessel::text::GbkCode(c);
        if ((code >> 8) < 0xB0 || (code >> 8) > 0xF7 || (code & 0xFF) < 0xA1) return false;
    }
    return true;
}

}  // namespace

// Every form, both encodings: links the managers and we make (GBK) come
// back as made, and links of today's web converters (UTF-8) as well.
TEST(DecodeSpecialLink, GeneratedGb2312CorpusReadsBackFromGbkAndUtf8Links) {
    const std::size_t n = CorpusSize();
    Gb2312Strings strings(20240501);
    ASSERT_EQ(strings.repertoire(), 6763u);
    std::size_t gbkErrors = 0;
    std::size_t utf8Errors = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::u16string address = u"http://a/" + strings.Next();
        const bool gbkOk = DecodeSpecialLink(EncodeThunderLink(address)) == address &&
                           DecodeSpecialLink(EncodeFlashGetLink(address)) == address &&
                           DecodeSpecialLink(EncodeQqdlLink(address)) == address &&
                           DecodeSpecialLink(EncodeRayfileLink(address, u"1024")) == address;
        if (!gbkOk) {
            ++gbkErrors;
            EXPECT_TRUE(IsUtf8OfGb2312(tessel::text::ToAnsi(address))) << ToUtf8(address);
        }
        bool utf8Ok = true;
        for (const std::u16string& link : Utf8LinksOf(address))
            utf8Ok = utf8Ok && DecodeSpecialLink(link) == address;
        // The command line's UTF-8 ways give the window's results.
        const std::string utf8Address = ToUtf8(address);
        for (LinkForm form : {LinkForm::Thunder, LinkForm::FlashGet, LinkForm::Qqdl}) {
            std::string link;
            ASSERT_TRUE(AppendEncodedLinkUtf8(link, form, utf8Address));
            const std::u16string expected = form == LinkForm::Thunder    ? EncodeThunderLink(address)
                                            : form == LinkForm::FlashGet ? EncodeFlashGetLink(address)
                                                                         : EncodeQqdlLink(address);
            ASSERT_EQ(link, ToUtf8(expected));
        }
        for (const std::u16string& link : {Utf8LinksOf(address)[0], Utf8LinksOf(address)[3],
                                           EncodeThunderLink(address), EncodeRayfileLink(address, u"7")}) {
            std::string decoded;
            const std::optional<std::u16string> expected = DecodeSpecialLink(link);
            ASSERT_EQ(AppendDecodedLinkUtf8(decoded, ToUtf8(link)), expected.has_value());
            ASSERT_EQ(decoded, expected ? ToUtf8(*expected) : std::string());
        }
        if (!utf8Ok) {
            ++utf8Errors;
            ADD_FAILURE() << "UTF-8 link misread: " << ToUtf8(address);
        }
    }
    std::printf(
        "GB2312 corpus of %zu strings, four forms each: GBK misread %zu (%.2g), UTF-8 misread %zu (%.2g)\n",
        n, gbkErrors, static_cast<double>(gbkErrors) / n, utf8Errors, static_cast<double>(utf8Errors) / n);
    EXPECT_EQ(utf8Errors, 0u);
    EXPECT_LE(gbkErrors * 100000, n);  // the overlap above: about one string in two million
}

// Korean names from today's converters: random Hangul syllables, UTF-8 in
// all four forms, must not be taken for the GBK garble of their bytes; each
// decoded address carries the code page it was read with.
TEST(DecodeSpecialLink, GeneratedHangulCorpusReadsBackFromUtf8Links) {
    const std::size_t n = CorpusSize() / 4;
    std::mt19937_64 rng(20261207);
    std::size_t misread = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::u16string name;
        for (std::size_t k = 1 + rng() % 6; k > 0; --k)
            name.push_back(static_cast<char16_t>(0xAC00 + rng() % 11172));
        if (rng() % 2 == 0) name += u".mp4";
        const std::u16string address = u"http://a/" + name;
        bool ok = true;
        for (const std::u16string& link : Utf8LinksOf(address)) {
            const std::optional<DecodedAddress> read = DecodeSpecialLinkRead(link);
            ok = ok && read && read->address == address && read->codePage == tessel::text::CodePage::Utf8;
        }
        if (!ok) ++misread;
    }
    std::printf("Hangul corpus of %zu names, four forms each: UTF-8 misread %zu (%.2g)\n", n, misread,
                static_cast<double>(misread) / n);
    EXPECT_LE(misread * 1000, n);
    // Links made here stay GBK, read as such.
    const std::optional<DecodedAddress> gbk = DecodeSpecialLinkRead(EncodeThunderLink(u"http://a/你好"));
    ASSERT_TRUE(gbk);
    EXPECT_EQ(gbk->codePage, tessel::text::CodePage::Gbk);
}

// The decoders and the clipboard watcher ask the same question with six and
// seven characters; the texts between the two answers are where they differ.
TEST(ClassifyLink, SixCharactersDecodeSevenRoute) {
    struct Case {
        const char16_t* text;
        LinkForm bySix;
        LinkForm bySeven;
    };
    for (const Case& c :
         {Case{u"THUNDER://QUFo", LinkForm::Thunder, LinkForm::Thunder},
          Case{u"thunde", LinkForm::Thunder, LinkForm::None},
          Case{u"flashget://x", LinkForm::FlashGet, LinkForm::FlashGet},
          Case{u"flashgx", LinkForm::FlashGet, LinkForm::None},
          Case{u"QqDl://x", LinkForm::Qqdl, LinkForm::Qqdl}, Case{u"qqdl:/x", LinkForm::Qqdl, LinkForm::None},
          Case{u"fs2you:x", LinkForm::Rayfile, LinkForm::Rayfile},
          Case{u"fs2youx", LinkForm::Rayfile, LinkForm::None},
          Case{u" thunder://x", LinkForm::None, LinkForm::None},
          Case{u"http://a/b", LinkForm::None, LinkForm::None}, Case{u"", LinkForm::None, LinkForm::None}}) {
        EXPECT_EQ(ClassifyLink(c.text), c.bySix) << ToUtf8(c.text);
        EXPECT_EQ(ClassifyLink(c.text, 7), c.bySeven) << ToUtf8(c.text);
        // What is classified decodes by that form or is rejected, never by another.
        if (c.bySix == LinkForm::None) {
            EXPECT_EQ(DecodeSpecialLink(c.text), std::nullopt);
        }
    }
    // Every form recognises the links it builds.
    EXPECT_EQ(ClassifyLink(EncodeFlashGetLink(u"http://a"), 7), LinkForm::FlashGet);
    EXPECT_EQ(ClassifyLink(EncodeRayfileLink(u"http://a", u"1"), 7), LinkForm::Rayfile);
}

// The command line's UTF-8 way agrees with the window on links whose
// payload is no clean text: undecodable bytes, the euro byte, cut pairs
// (a lead byte that takes the tag's "Z" as its trail leaves no tag).
TEST(AppendDecodedLinkUtf8, AgreesWithTheWindowOnBrokenPayloads) {
    for (const std::string& payload : {std::string("\xFF\xFF\xFF\x80\x80\xC4"), std::string("a\x81\x30\xFE"),
                                       std::string("\xC4\xE3\xFF\x80x")}) {
        for (const std::u16string& link :
             {Utf8Link("qqdl://", payload, "/"), Utf8Link("thunder://", "AA" + payload + "ZZ", "/"),
              Utf8Link("fs2you://", payload + "|1", "/")}) {
            std::string decoded;
            const std::optional<std::u16string> expected = DecodeSpecialLink(link);
            EXPECT_EQ(AppendDecodedLinkUtf8(decoded, ToUtf8(link)), expected.has_value());
            EXPECT_EQ(decoded, expected ? ToUtf8(*expected) : std::string());
        }
    }
}

namespace {

// Links of every shape the command line may be handed: schemes in any case
// and cut short, payloads of ASCII, GBK, UTF-8 and stray bytes with tags in
// and out of place, Base64 with or without padding, with foreign
// characters, and trailers or none.
std::string GeneratedLink(std::mt19937& rng) {
    static const char* const schemes[] = {"thunder://", "THUNDER://", "ThUnDeR:",  "flashget://", "FLASHG",
                                          "qqdl://",    "QQDL:/",     "fs2you://", "fs2you:/",    "fs2yo",
                                          "http://",    "thunde",     ""};
    static const char* const starts[] = {"AA", "[FLASHGET]", "", "A", "ZZ"};
    static const char* const pieces[] = {
        "http://a/", "\xC4\xE3\xBA\xC3", "\xE4\xBD\xA0", "Z",          "ZZ",
        "|",         "\x81\x5A",         "\x81\x7C",     "[FLASHGET]", "\x80",
        "\xFF",      "\xE1\xB0\xB0",     "1024",         "\xC3\xA9",   "\x00"};
    static const char* const ends[] = {"ZZ", "[FLASHGET]", "|1024", "", "Z"};
    std::string payload = starts[rng() % std::size(starts)];
    for (std::size_t n = rng() % 8; n > 0; --n) {
        const char* piece = pieces[rng() % std::size(pieces)];
        payload.append(piece, *piece == '\0' ? 1 : std::strlen(piece));
    }
    payload += ends[rng() % std::size(ends)];
    std::string b64 = Base64EncodeBytes(payload);
    if (rng() % 3 == 0) b64 = b64.substr(0, b64.find('='));
    if (rng() % 5 == 0 && !b64.empty()) b64[rng() % b64.size()] = "-_ \t.中"[rng() % 5];
    static const char* const trailers[] = {"/", "&vek/", "", "==/", "/x"};
    std::string link =
        std::string(schemes[rng() % std::size(schemes)]) + b64 + trailers[rng() % std::size(trailers)];
    if (rng() % 10 == 0) link += "中";
    return link;
}

}  // namespace

// The command line's UTF-8 ways give the window's results on generated
// links and addresses, well-formed or not.
TEST(AppendDecodedLinkUtf8, GeneratedLinksAndAddressesAsTheWindowHasThem) {
    std::mt19937 rng(9360);
    for (int i = 0; i < 50000; ++i) {
        const std::string link = GeneratedLink(rng);
        std::string decoded = "<";
        const std::optional<std::u16string> expected = DecodeSpecialLink(FromUtf8(link));
        ASSERT_EQ(AppendDecodedLinkUtf8(decoded, link), expected.has_value()) << link;
        ASSERT_EQ(decoded, std::string("<").append(expected ? ToUtf8(*expected) : std::string())) << link;
    }
    // Addresses with characters GBK lacks (they become "?") and every form.
    const std::u16string pool = u"ab/?.Z|中文下载 é€\u0627\U0001F600\u00A0";
    for (int i = 0; i < 20000; ++i) {
        std::u16string address = u"http://h/";
        for (std::size_t n = rng() % 12; n > 0; --n) address.push_back(pool[rng() % pool.size()]);
        const std::string utf8 = ToUtf8(address);
        for (LinkForm form : {LinkForm::Thunder, LinkForm::FlashGet, LinkForm::Qqdl}) {
            std::string link = "<";
            ASSERT_TRUE(AppendEncodedLinkUtf8(link, form, utf8));
            const std::u16string expected = form == LinkForm::Thunder    ? EncodeThunderLink(address)
                                            : form == LinkForm::FlashGet ? EncodeFlashGetLink(address)
                                                                         : EncodeQqdlLink(address);
            ASSERT_EQ(link, std::string("<").append(ToUtf8(expected))) << utf8;
        }
    }
    std::string untouched = "<";
    EXPECT_FALSE(AppendEncodedLinkUtf8(untouched, LinkForm::Thunder, "http://a/\xC4\xE3"));
    EXPECT_EQ(untouched, "<");
}
