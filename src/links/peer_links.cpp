// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/peer_links.h"

#include "links/url.h"
#include "text/vbstring.h"

namespace tessel::links {
namespace {

constexpr std::u16string_view kMagnetStart = u"magnet:?";

// The parameters of a magnet link, one at a time: "name=value" without its "&".
template <typename Visit>
void ForEachParameter(std::u16string_view magnet, Visit visit) {
    std::u16string_view rest = magnet.substr(kMagnetStart.size());
    while (!rest.empty()) {
        const std::size_t amp = rest.find(u'&');
        visit(rest.substr(0, amp));
        if (amp == std::u16string_view::npos) break;
        rest.remove_prefix(amp + 1);
    }
}

}  // namespace

bool IsMagnetLink(std::u16string_view text) {
    if (!text::StartsWithNoCase(text, kMagnetStart)) return false;
    if (text.find_first_of(u" \t\r\n") != std::u16string_view::npos) return false;
    bool bitTorrent = false;
    ForEachParameter(text, [&](std::u16string_view p) {
        // "xt.1=" numbers several topics of one link.
        const std::size_t eq = p.find(u'=');
        if (eq == std::u16string_view::npos) return;
        const std::u16string_view key = p.substr(0, eq);
        if (!text::EqualsNoCase(key, u"xt") && !text::StartsWithNoCase(key, u"xt.")) return;
        const std::u16string_view value = p.substr(eq + 1);
        if (text::StartsWithNoCase(value, u"urn:btih:") && value.size() > 9) bitTorrent = true;
    });
    return bitTorrent;
}

bool IsEd2kLink(std::u16string_view text) {
    constexpr std::u16string_view kEd2k = u"ed2k://";
    return text::StartsWithNoCase(text, kEd2k) && text.size() > kEd2k.size() &&
           text.find_first_of(u"\r\n") == std::u16string_view::npos;
}

std::u16string MagnetDisplayName(std::u16string_view magnet) {
    std::u16string name;
    if (!text::StartsWithNoCase(magnet, kMagnetStart)) return name;
    ForEachParameter(magnet, [&](std::u16string_view p) {
        if (name.empty() && text::StartsWithNoCase(p, u"dn=")) {
            std::u16string value(p.substr(3));
            for (char16_t& c : value) {
                if (c == u'+') c = u' ';
            }
            name = text::Trim(UrlDecodeGbkOrUtf8(value));
        }
    });
    return name;
}

}  // namespace tessel::links
