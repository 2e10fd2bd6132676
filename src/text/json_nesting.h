// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How deep a JSON text nests, found before the text is parsed.
//
// The JSON library parses without recursion, but copying, comparing and
// printing a parsed value recurse once per level: a reply of a few hundred
// kilobytes of "[" would overflow the stack.  Every reader of outside JSON
// checks the depth first and treats a text beyond its limit as not the reply
// it expected.

#include <cstddef>
#include <string_view>

namespace tessel::text {

// True when no array or object in `json` lies deeper than `limit` levels
// (the outermost value is level 1).  Brackets inside strings do not count;
// the text need not be valid JSON (the parser decides that), and the scan is
// one pass over the bytes.
bool JsonNestingWithin(std::string_view json, std::size_t limit);

}  // namespace tessel::text
