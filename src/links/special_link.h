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

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "text/codepage.h"

namespace tessel::links {

enum class LinkForm { None, Thunder, FlashGet, Qqdl, Rayfile };

// Which of the four forms `text` is, by its first `significant` characters
// compared with the scheme ignoring case: with six (the decoders and the
// commands) "thunde", "flashg", "qqdl:/", "fs2you"; the clipboard watcher
// looks at seven: "thunder", "flashge", "qqdl://", "fs2you:".
LinkForm ClassifyLink(std::u16string_view text, std::size_t significant = 6);

// "thunder://", "flashget://", "qqdl://", "fs2you://"; empty for None.
std::u16string_view LinkScheme(LinkForm form);

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
// Payloads are GBK.  Links made by newer tools carry UTF-8 instead; the
// address is read both ways and the reading of more ordinary text wins, GBK
// on a tie (text/gbk_or_utf8.h).
std::optional<std::u16string> DecodeSpecialLink(std::u16string_view link);

// The same address and the code page its bytes were read with, so that a
// hand-off sends the server exactly the bytes the link carried.
struct DecodedAddress {
    std::u16string address;
    text::CodePage codePage = text::CodePage::Gbk;
};
std::optional<DecodedAddress> DecodeSpecialLinkRead(std::u16string_view link);

// The same two ways over UTF-8 text, for the command line, where a million
// links must not cost a million trips through UTF-16: the link or address
// is appended to `out` as UTF-8.  Results are those of the functions above.
// Encoding takes a thunder, flashget or qqdl `form` and an address that
// passed IsPlainAddress; false, appending nothing, for any other form or an
// address that is not well-formed UTF-8.  Decoding gives false where
// DecodeSpecialLink gives nullopt, and appends nothing.
bool AppendEncodedLinkUtf8(std::string& out, LinkForm form, std::string_view address);
bool AppendDecodedLinkUtf8(std::string& out, std::string_view link);

}  // namespace tessel::links
