// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The title of every question and notice box the pages and the hand-off
// show.  It lives with the text helpers because every library below the
// window uses it and they all depend on this one.

#include <string_view>

namespace tessel::text {

inline constexpr std::u16string_view kPromptTitle = u"提示";

}  // namespace tessel::text
