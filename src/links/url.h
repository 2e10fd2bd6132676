// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Percent-encoding of addresses over their GBK bytes, as the Chinese sites
// and download managers we talk to expect (not UTF-8 escapes).

#include <string>
#include <string_view>

namespace tessel::links {

// Every character but the 52 ASCII letters is escaped with upper-case hex:
// a GBK double-byte character as two escapes, anything else as one escape
// of its single byte (a character GBK lacks counts as "?", "%3F").  A blank
// becomes "%20", never "+".
std::u16string UrlEncode(std::u16string_view text);

// Text without "%" comes back unchanged.  Otherwise every "%" consumes the
// two characters after it, read as hex by their leading hex digits (0 when
// there are none, so a "%" at the end gives U+0000).  A value above 127
// starts a double-byte character whose code is read from those two
// characters and the two after the next one ("%C4%E3"); the character
// between them is skipped untested.  "+" means nothing special.
std::u16string UrlDecode(std::u16string_view text);

// Percent escapes as the servers of today write them, GBK or UTF-8, for
// names shown or saved rather than typed into the conversion page: the bytes
// of all escapes of `text` are read the way that gives the more ordinary
// text (text/gbk_or_utf8.h), each run of escapes as one piece of bytes.  A
// "%" without two hex digits after it stays as it is, and so does "+".
std::u16string UrlDecodeGbkOrUtf8(std::u16string_view text);

}  // namespace tessel::links
