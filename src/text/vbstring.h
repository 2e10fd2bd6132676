// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The search and cut helpers every parser of ours uses.
//
// Positions are 1-based, as in the reply formats and algorithms we follow:
// position 1 is the first UTF-16 unit, 0 means "not found".  The helpers are
// total: a negative length, a start of zero or below, or a start past the end
// gives a defined result (the part of the requested window that lies inside
// the text, possibly empty), never undefined behaviour.

#include <cstdint>
#include <string>
#include <string_view>

namespace tessel::text {

using Pos = std::int64_t;

// First occurrence of `needle` in `hay` at or after 1-based `start`, ignoring
// the case of ASCII letters.  0 when absent.  A start below 1 counts as 1.
// An empty needle is found at `start` when start <= len + 1, and nowhere
// beyond the end.
Pos InStr(std::u16string_view hay, std::u16string_view needle, Pos start = 1);

// Same, but case-sensitive (exact units).
Pos InStrExact(std::u16string_view hay, std::u16string_view needle, Pos start = 1);

// The `length` units starting at 1-based `start`, clipped to the text.
// length < 0 gives the empty text.
std::u16string Mid(std::u16string_view s, Pos start, Pos length);
// Everything from 1-based `start` to the end (empty past the end).
std::u16string Mid(std::u16string_view s, Pos start);

// The first / last n units (all of them when n >= length, empty when n <= 0).
std::u16string Left(std::u16string_view s, Pos n);
std::u16string Right(std::u16string_view s, Pos n);

// ASCII letters lowered; everything else unchanged.
std::u16string LCase(std::u16string_view s);

// True when the two texts are equal ignoring the case of ASCII letters.
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
// True when `s` begins with `prefix`, ignoring the case of ASCII letters.
bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix);

// Leading and trailing blanks (U+0020 only) removed; other white space stays.
std::u16string Trim(std::u16string_view s);

// Every CR LF pair removed; a lone CR or LF stays.
std::u16string RemoveCrLf(std::u16string_view s);

// Every occurrence of `from` replaced by `to` (case-sensitive, left to right).
std::u16string Replace(std::u16string_view s, std::u16string_view from, std::u16string_view to);

// Round to the nearest integer, halves to the even neighbour.
std::int64_t RoundHalfEven(double v);

// Decimal text of a number the way the settings and links write it.
std::u16string ToDecimal(std::int64_t v);

// Parses leading blanks, an optional sign, and decimal digits with an
// optional fraction, as plain decimal text is written.  Returns false when the
// text holds no number at all or has anything after it but blanks.
bool ParseNumber(std::u16string_view s, double& out);

}  // namespace tessel::text
