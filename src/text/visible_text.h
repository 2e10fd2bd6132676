// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Outside text made safe to show: characters that are not there to be seen
// (control characters, and the bidirectional controls that reorder what
// follows them, so "\u202Egpj.exe" reads as "exe.jpg") either go or become
// visible.

#include <cstddef>
#include <string>
#include <string_view>

namespace tessel::text {

// U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069.
bool IsBidiControl(char32_t c);

// `name` without its bidirectional controls: for file names, which no
// program shows with them as the sender meant.
std::u16string StripBidiControls(std::u16string_view name);

// `text` with every control character (C0, DEL, C1) and bidirectional
// control written as "<U+202E>", for questions that show outside text.
std::u16string ShowInvisibles(std::u16string_view text);

// UTF-8 text for a terminal: control characters, bidirectional controls and
// bytes that are not UTF-8 written as "\x1b", "\u202e" and "\xff", a
// backslash as "\\"; cut at a character's end so that the result stays
// within `maxBytes`, with "…" after a cut.
std::string EscapeForTerminal(std::string_view utf8, std::size_t maxBytes);

}  // namespace tessel::text
