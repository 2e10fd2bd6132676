// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/peer_links.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

using namespace tessel::links;
using tessel::text::ToUtf8;

TEST(PeerLinks, MagnetAndEd2kAreRecognisedByTheirOwnForm) {
    const struct {
        std::u16string_view text;
        bool magnet;
        bool ed2k;
    } rows[] = {
        {u"magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567", true, false},
        {u"MAGNET:?dn=a&xt=URN:BTIH:0123456789ABCDEF0123456789ABCDEF01234567&tr=udp://t", true, false},
        {u"magnet:?xt.1=urn:btih:abc&xt.2=urn:sha1:def", true, false},
        {u"magnet:?xt=urn:ed2k:abc", false, false},  // a hash aria2 cannot fetch by
        {u"magnet:?xtx=urn:btih:abc", false, false},
        {u"magnet:?xt=urn:btih:", false, false},
        {u"magnet:?xt=urn:btih:abc def", false, false},
        {u"ed2k://|file|a.avi|1|0123456789ABCDEF0123456789ABCDEF|/", false, true},
        {u"ED2K://|server|1.2.3.4|4661|/", false, true},
        {u"ed2k://", false, false},
        {u"http://a/magnet:?xt=urn:btih:abc", false, false},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(IsMagnetLink(r.text), r.magnet) << ToUtf8(r.text);
        EXPECT_EQ(IsEd2kLink(r.text), r.ed2k) << ToUtf8(r.text);
    }
}

TEST(PeerLinks, AMagnetsNameIsItsDnReadLikeAnAddress) {
    EXPECT_EQ(MagnetDisplayName(u"magnet:?xt=urn:btih:abc&dn=%E7%94%B5%E5%BD%B1+%E7%AC%AC1%E9%9B%86.mkv"),
              u"电影 第1集.mkv");
    EXPECT_EQ(MagnetDisplayName(u"magnet:?dn=%C4%E3%BA%C3&xt=urn:btih:abc"), u"你好");
    EXPECT_EQ(MagnetDisplayName(u"magnet:?xt=urn:btih:abc"), u"");
    EXPECT_EQ(MagnetDisplayName(u"magnet:?xt=urn:btih:abc&dn=+&dn=b"), u"b");
}
