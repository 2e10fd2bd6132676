// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Cutting the services' replies at their markers.  A marker found at a
// 1-based position is followed by its value; naming the marker instead of
// counting its characters lets a reader check each cut against the format.

#include <string_view>

#include "text/vbstring.h"

namespace tessel::web {

// The 1-based position right after `marker`, found at `at`.
constexpr text::Pos AfterMarker(text::Pos at, std::u16string_view marker) {
    return at + static_cast<text::Pos>(marker.size());
}

// The units from `from` up to, not including, `to` (1-based; empty when `to`
// does not come after `from`).
inline std::u16string Between(std::u16string_view text, text::Pos from, text::Pos to) {
    return text::Mid(text, from, to - from);
}

}  // namespace tessel::web
