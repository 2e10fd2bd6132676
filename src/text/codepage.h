// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Conversions between the program's UTF-16 text and byte strings.
//
// The "ANSI" code page of the links and replies we deal with is code page
// 936 (GBK).  Conversion never fails: a character the code page cannot
// represent becomes "?", and a byte sequence that is not valid GBK decodes to
// U+FFFD for each offending byte.  Pure ASCII takes a fast path that never
// touches iconv, so short links cost next to nothing.

#include <string>
#include <string_view>

namespace tessel::text {

// UTF-16 text -> GBK bytes ("?" for what GBK cannot hold, lone surrogates too).
std::string ToAnsi(std::u16string_view text);

// GBK bytes -> UTF-16 text (U+FFFD for each byte that starts no valid character).
std::u16string FromAnsi(std::string_view bytes);

// UTF-8 <-> UTF-16 for the command line and the window system boundary.
// Invalid UTF-8 decodes to U+FFFD per offending byte; lone surrogates encode as U+FFFD.
std::u16string FromUtf8(std::string_view bytes);
std::string ToUtf8(std::u16string_view text);

// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates, <= U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// True when `bytes` is pure 7-bit ASCII.
bool IsAscii(std::string_view bytes);

}  // namespace tessel::text
