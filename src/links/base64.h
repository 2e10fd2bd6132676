// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Base64 as the download managers' links carry it.
//
// The text operations work on the GBK bytes of the text: a link made from a
// Chinese address must hold the GBK bytes of that address.  Decoding is
// deliberately lenient and never fails, because links pasted by users carry
// trailers and junk that the managers themselves accept:
//   - padding is optional, and everything from the first "=" on is ignored;
//   - a trailing single character produces nothing;
//   - any character outside the alphabet (blank, CR, LF, "-", "_", and any
//     non-ASCII byte) counts as 63 and is not skipped, so "QUJD\r\n" decodes
//     to "ABC" followed by the byte 0xFF.

#include <cstddef>
#include <string>
#include <string_view>

namespace tessel::links {

// Standard padded Base64 (RFC 4648) of the GBK bytes of `text`.
std::u16string Base64Encode(std::u16string_view text);

// The GBK text of the bytes that `text` encodes, by the lenient rules above.
std::u16string Base64Decode(std::u16string_view text);

// The bytes that `text` encodes (Base64Decode before the GBK conversion).
std::string Base64DecodeToBytes(std::u16string_view text);

// Byte-level forms of the two, for callers that already hold bytes.
std::string Base64EncodeBytes(std::string_view bytes);
void AppendBase64(std::string& out, std::string_view bytes);

// Decodes `b64` by the rules above.  `significant` is the number of
// characters before the first "=" of the original text; it differs from the
// byte position of that "=" only when non-ASCII text precedes it.  The
// one-argument form takes it from the first "=" byte.
std::string Base64DecodeBytes(std::string_view b64, std::size_t significant);
std::string Base64DecodeBytes(std::string_view b64);
void AppendBase64Decoded(std::string& out, std::string_view b64, std::size_t significant);

}  // namespace tessel::links
