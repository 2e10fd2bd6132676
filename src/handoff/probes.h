// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Which download managers look installed, read from well-known values under
// HKEY_LOCAL_MACHINE.  A probe counts as found when its value reads as
// non-empty text; for FlashGet the first generation found wins, so an empty
// value lets the next probe decide.

#include <array>
#include <string_view>

#include "handoff/reg_work.h"

namespace tessel::handoff {

enum class Manager { Thunder, FlashGet, QqDownload };

enum class FlashGetGeneration { V3_7, V2_4, V1_4, V1_96, V1_73, None };

struct RegProbe {
    std::u16string_view keyPath;
    std::u16string_view valueName;
};

inline constexpr RegProbe kThunderProbe{
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\thunder_is1", u"DisplayName"};
inline constexpr RegProbe kQqDownloadProbe{u"SOFTWARE\\Tencent\\QQDownload", u"Exe"};

struct FlashGetProbe {
    RegProbe probe;
    FlashGetGeneration generation;
};

// In the order they are tried.
inline constexpr std::array<FlashGetProbe, 5> kFlashGetProbes{{
    {{u"SOFTWARE\\FlashGet Network\\FlashGet 3", u"Version1"}, FlashGetGeneration::V3_7},
    {{u"SOFTWARE\\FlashGet Network\\FlashGet", u"Version1"}, FlashGetGeneration::V2_4},
    {{u"SOFTWARE\\FlashGet Network\\FlashGet Mini", u"Version1"}, FlashGetGeneration::V1_4},
    {{u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\快车(FlashGet)", u"DisplayVersion"},
     FlashGetGeneration::V1_96},
    {{u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\网际快车 FlashGet", u"DisplayName"},
     FlashGetGeneration::V1_73},
}};

bool IsThunderInstalled(const RegReader& read);
bool IsQqDownloadInstalled(const RegReader& read);
FlashGetGeneration DetectFlashGet(const RegReader& read);

// The Yes/No question asked when a manager looks absent (title text::kPromptTitle,
// information icon).  Yes goes on as if it were installed.
std::u16string_view AbsentQuestion(Manager manager);

}  // namespace tessel::handoff
