// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The two ways a box's text is tidied before a command reads it, for every
// page of the window.

#include <string>
#include <string_view>

namespace tessel::text {

// The cleaning every command button does first: each CR LF pair removed (a
// lone CR or LF stays), then leading and trailing blanks (U+0020 only; tabs
// and ideographic spaces stay).  Two lines become one string.
std::u16string CleanInput(std::u16string_view boxText);

// A pasted clipboard text: leading and trailing blanks removed, nothing else.
// Empty means there is nothing to paste and the box keeps its text.
std::u16string PasteText(std::u16string_view clipboard);

}  // namespace tessel::text
