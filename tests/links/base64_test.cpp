// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/base64.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>

#include "support/table_rows.h"

using namespace tessel::links;

TEST(Base64, EncodesAndDecodesGbkText) {
    const tessel::TextRow vectors[] = {
        {u"", u""}, {u"a", u"YQ=="}, {u"ab", u"YWI="}, {u"abc", u"YWJj"}, {u"你好", u"xOO6ww=="},
    };
    tessel::ExpectRows(Base64Encode, vectors);
    for (const tessel::TextRow& v : vectors)
        EXPECT_EQ(Base64Decode(v.out), v.in) << tessel::text::ToUtf8(v.in);
}

// The lenient decoding that links pasted from the wild rely on.
TEST(Base64Decode, LenientRules) {
    EXPECT_EQ(Base64Decode(u"YQ"), u"a");  // padding optional
    EXPECT_EQ(Base64Decode(u"YWI"), u"ab");
    EXPECT_EQ(Base64Decode(u"="), u"");
    EXPECT_EQ(Base64Decode(u"QUJDR"), u"ABC");      // a lone trailing character yields nothing
    EXPECT_EQ(Base64Decode(u"QUJD=QUJD"), u"ABC");  // nothing after the first "=" counts
    EXPECT_EQ(Base64Decode(u"aHR0cDovL2EvYg==/"), u"http://a/b");
}

TEST(Base64Decode, ForeignCharactersCountAs63AndAreNotSkipped) {
    EXPECT_EQ(Base64DecodeBytes("QUJD\r\n"), "ABC\xFF");
    EXPECT_EQ(Base64Decode(u"QUJD\r\n"), u"ABC\uFFFD");  // 0xFF is no GBK character
    // URL-safe characters are not the alphabet's "+" and "/".
    EXPECT_EQ(Base64DecodeBytes("-_"), "\xFF");
    EXPECT_EQ(Base64DecodeBytes("+/"), "\xFB");
    // The output length counts characters, the groups walk bytes: "中" is two
    // bytes but one character, so four characters give three bytes.
    EXPECT_EQ(Base64Decode(u"中QUJD").size(), 3u);
}

TEST(Base64Bytes, RoundTripWithAndWithoutPaddingForEveryTailLength) {
    std::mt19937 rng(7);
    for (std::size_t n = 0; n < 70; ++n) {
        std::string bytes(n, '\0');
        for (char& c : bytes) c = static_cast<char>(rng());
        const std::string b64 = Base64EncodeBytes(bytes);
        ASSERT_EQ(b64.size(), (n + 2) / 3 * 4);
        EXPECT_EQ(Base64DecodeBytes(b64), bytes) << n;
        const std::string bare = b64.substr(0, b64.find('='));
        EXPECT_EQ(Base64DecodeBytes(bare), bytes) << n;
        // Without padding, the "/" trailer of a link is a lone character.
        if (n % 3 == 0) {
            EXPECT_EQ(Base64DecodeBytes(b64 + "/"), bytes) << n;
        }
    }
}

// The encoder against OpenSSL's, over every length up to a few groups of
// its wide steps and random bytes.
TEST(Base64Bytes, EncodesAsOpenSslDoes) {
    std::mt19937 rng(64);
    for (std::size_t n = 0; n < 200; ++n) {
        for (int round = 0; round < 20; ++round) {
            std::string bytes(n, '\0');
            for (char& c : bytes) c = static_cast<char>(rng());
            std::string expected(4 * ((n + 2) / 3) + 1, '\0');
            expected.resize(static_cast<std::size_t>(
                EVP_EncodeBlock(reinterpret_cast<unsigned char*>(expected.data()),
                                reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(n))));
            std::string appended = "x";
            AppendBase64(appended, bytes);
            ASSERT_EQ(appended, "x" + expected) << n;
        }
    }
}
