// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The desktop's program for ed2k links, which aria2 cannot fetch.
//
// `xdg-mime query default x-scheme-handler/ed2k` names a desktop entry (the
// shell runs it); this reads that entry's name and command line and builds
// the argument list that hands the program one link.  Nothing here runs a
// process, and the command line is never given to a shell.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::handoff {

struct DesktopEntry {
    std::u16string name;  // Name[zh_CN], Name[zh] or Name, as the user sees it
    std::string exec;     // the Exec line, unexpanded
};

// The [Desktop Entry] group of a desktop file; nullopt without a Name or an
// Exec, or for an entry that is hidden or no application.
std::optional<DesktopEntry> ReadDesktopEntry(std::string_view fileText);

// Where a desktop entry of `id` ("amule-ed2k.desktop") may lie, first to
// last: $XDG_DATA_HOME/applications (~/.local/share by default), then each
// folder of $XDG_DATA_DIRS (/usr/local/share:/usr/share by default).
std::vector<std::string> DesktopEntryPaths(std::string_view id, const char* dataHome, const char* dataDirs,
                                           const char* home);

// The program and its arguments for `link` from an Exec line: quoted
// arguments and their escapes as the desktop entry format writes them, %u %U
// %f %F become the link (added at the end when the line has none of them),
// %% a percent sign, other field codes go.  nullopt for a line that is
// empty or badly quoted.
std::optional<std::vector<std::string>> ExecArguments(std::string_view exec, std::string_view link);

// True when the program is this program itself: an ed2k link handed back
// to Tessel would come straight back here.
bool IsTesselProgram(std::string_view program);

// "是否交给 <name> 下载？" followed by the links, one a line after an empty line.
std::u16string Ed2kQuestion(std::u16string_view programName, const std::vector<std::u16string>& links);

// The status line when no program for ed2k links is registered.
inline constexpr std::u16string_view kNoEd2kProgramText =
    u"没有安装处理 ed2k 链接的程序：aria2 不能下载 ed2k 链接，Debian 的 amule-utils 软件包提供一个（ed2k）";

}  // namespace tessel::handoff
