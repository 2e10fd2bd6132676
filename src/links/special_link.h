// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The four private link forms of the download managers, both ways.
//
//   thunder   "thunder://"  + B64("AA" + address + "ZZ") + "/"
//   flashget  "flashget://" + B64("[FLASHGET]" + address + "[FLASHGET]") + "&vek/"
//   qqdl      "qqdl://"     + B64(address) + "/"
//   fs2you    "fs2you://"   + B64(address-without-scheme + "|" + size) + "/"
//
// B64 is Base64Encode, i.e. the payload carries the GBK bytes of the address.
// The encoders take the address exactly as given (no trimming, no case
// change); callers check it with IsPlainAddress first.

#include <optional>
#include <string>
#include <string_view>

namespace tessel::links {

// True when the first six characters, lower-cased, are "http:/", "ftp://",
// "https:", "mms://" or "rtsp:/".
bool IsPlainAddress(std::u16string_view address);

std::u16string EncodeThunderLink(std::u16string_view address);
std::u16string EncodeFlashGetLink(std::u16string_view address);
std::u16string EncodeQqdlLink(std::u16string_view address);

// `rest` is everything after the first "://" of the address (without one,
// the address loses its first two characters); `size` is used as given.
std::u16string EncodeRayfileLink(std::u16string_view address, std::u16string_view size);

// The plain address inside a thunder, flashget, qqdl or fs2you link, picked
// by the first six characters ignoring case.  std::nullopt when the prefix is
// unknown, a thunder/flashget payload is shorter than its start tag or lacks
// its end tag (case-sensitive, the first occurrence cuts), or an fs2you link
// is shorter than "fs2you://" or its payload holds no "|".
//
// Payloads are GBK.  Links made by newer tools carry UTF-8 instead; address
// bytes that are valid UTF-8 made only of three- and four-byte sequences (at
// least one of three: CJK text) are read as UTF-8.  GBK text of Chinese
// characters almost never passes that test, so GBK links decode as before.
std::optional<std::u16string> DecodeSpecialLink(std::u16string_view link);

}  // namespace tessel::links
