// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Conversions between the program's UTF-16 text and byte strings.
//
// The "ANSI" code page of the links and replies we deal with is code page
// 936 (GBK), as the system's iconv defines it.  Conversion never fails: a
// character the code page cannot represent becomes "?", and a byte that
// starts no valid GBK character decodes to U+FFFD on its own, the next byte
// being read afresh.  Pure ASCII takes a fast path.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessel::text {

// The code page a text was read from bytes with: a link's payload may be GBK
// or UTF-8, and the address must go back to the server as the same bytes.
enum class CodePage { Gbk, Utf8 };

// UTF-16 text -> GBK bytes ("?" for what GBK cannot hold, lone surrogates too).
std::string ToAnsi(std::u16string_view text);
void AppendAnsi(std::string& out, std::u16string_view text);

// The code page 936 code of one character: the byte itself below 0x80 (and
// 0x80 for the euro sign), lead << 8 | trail for a two-byte character, 0 when
// the code page has no form for it.
std::uint16_t GbkCode(char16_t c);
// The character of a two-byte GBK sequence; 0 when the pair is no character.
char16_t GbkChar(unsigned char lead, unsigned char trail);

// GBK bytes -> UTF-16 text (U+FFFD for each byte that starts no valid character).
std::u16string FromAnsi(std::string_view bytes);
void AppendFromAnsi(std::u16string& out, std::string_view bytes);

// GBK bytes -> UTF-8 and UTF-8 -> GBK bytes without UTF-16 in between, for
// the command line's batches: the same characters as FromAnsi then ToUtf8,
// and as FromUtf8 then ToAnsi.  AppendUtf8AsAnsi appends nothing and gives
// false when `bytes` is not well-formed UTF-8.
void AppendAnsiAsUtf8(std::string& out, std::string_view bytes);
bool AppendUtf8AsAnsi(std::string& out, std::string_view bytes);
// AppendUtf8AsAnsi into a buffer of bytes.size() + kUtf8ToAnsiSlack bytes
// (the conversion writes whole words); the length written, or npos.
inline constexpr std::size_t kUtf8ToAnsiSlack = 8;
std::size_t Utf8ToAnsi(std::string_view bytes, char* out);

// The table behind GbkChar, indexed lead << 8 | trail, for loops that walk
// many characters.
const char16_t* GbkCharTable();

// UTF-8 <-> UTF-16 for the command line and the window system boundary.
// Invalid UTF-8 decodes to U+FFFD per offending byte; lone surrogates encode as U+FFFD.
std::u16string FromUtf8(std::string_view bytes);
void AppendFromUtf8(std::u16string& out, std::string_view bytes);
std::string ToUtf8(std::u16string_view text);
void AppendUtf8(std::string& out, std::u16string_view text);

// The bytes of `text` in `page`.
std::string ToCodePage(std::u16string_view text, CodePage page);

// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates, <= U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
// Offset of the first byte that starts no well-formed sequence; npos if none.
std::size_t FirstInvalidUtf8(std::string_view bytes);
// Length of the well-formed UTF-8 sequence at the start of `s` (1 to 4), 0 if none.
std::size_t Utf8SequenceLength(std::string_view s);

// True when `bytes` is pure 7-bit ASCII.
bool IsAscii(std::string_view bytes);
// Offset of the first byte of `bytes` from `from` on that is not ASCII; npos if none.
std::size_t FindNonAscii(std::string_view bytes, std::size_t from = 0);

}  // namespace tessel::text
