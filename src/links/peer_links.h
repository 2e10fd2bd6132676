// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Links of the peer-to-peer networks that arrive plain or wrapped in one of
// the four download-manager forms: magnet links of BitTorrent, which aria2
// fetches, and ed2k links, which only an ed2k program can.

#include <string>
#include <string_view>

namespace tessel::links {

// "magnet:?" (any case) with an "xt=urn:btih:" parameter: the form aria2 can
// fetch.  Magnet links of other hashes are not recognised.
bool IsMagnetLink(std::u16string_view text);

// "ed2k://" (any case) followed by something.
bool IsEd2kLink(std::u16string_view text);

// The name a magnet link gives its download (its "dn=" parameter, "+" as a
// blank and escapes read as GBK or UTF-8); "" when it gives none.
std::u16string MagnetDisplayName(std::u16string_view magnet);

}  // namespace tessel::links
