// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading bytes that may be GBK or UTF-8.
//
// The download managers write the addresses inside their links in GBK, and
// newer web converters write UTF-8.  Validity alone cannot tell them apart:
// plenty of GBK text is also well-formed UTF-8 (岚版本 is E1 B0 B0 E6 B1 BE,
// which UTF-8 reads as U+1C30 U+6C7E).  So both readings are made and the
// one whose characters are ordinary text wins: every character has an
// oddness, from 0 for ASCII through the Chinese of GB2312 and the common
// punctuation, kana, Hangul and Latin letters, up to rare scripts and
// private or undecodable characters.  UTF-8 is chosen only when it is
// well-formed and its total oddness is strictly lower; a tie reads as GBK,
// which is what the managers write.
//
// A short run of rare GB2312 characters can be, byte for byte, the UTF-8 of
// fewer common ones (three GBK characters against two UTF-8 ones), or of two
// Hangul syllables; then the UTF-8 reading wins, as it is by far the
// likelier source.

#include <string>
#include <string_view>

namespace tessel::text {

// The oddness of one character (a code point), as described above.
int Oddness(char32_t c);

// Total oddness of the GBK reading of `bytes` (each undecodable byte counts
// as impossible), and of the UTF-8 reading (-1 when not well-formed UTF-8).
long GbkOddness(std::string_view bytes);
long Utf8Oddness(std::string_view bytes);

// True when the UTF-8 reading of `bytes` is the more plausible one.
bool ReadsAsUtf8(std::string_view bytes);

// The more plausible reading of `bytes`: UTF-8 or GBK.
std::u16string FromGbkOrUtf8(std::string_view bytes);

}  // namespace tessel::text
