// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window's settings file read without Qt, for tessel-cli: the values of
// one group, unescaped the way the window's INI writer escapes them (quotes
// around texts with ";", "," or "=" or blanks at the ends; backslash escapes;
// a leading "@" doubled).  Only reading: the window stays the one writer.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "handoff/aria2_settings.h"

namespace tessel::handoff {

// The value of `key` in `[group]` of the INI text, unescaped (UTF-8); nothing
// when the group or key is absent.  The last of repeated keys counts.
std::optional<std::string> IniValue(std::string_view ini, std::string_view group, std::string_view key);

// $XDG_CONFIG_HOME/TESSEL/TESSEL.ini, with ~/.config when the variable is
// unset or not an absolute path; empty when there is no home either.
std::string SettingsFilePath();

// A settings file larger than this is not ours (they stay below 4 KiB).
inline constexpr std::size_t kMaxSettingsFileBytes = 4 * 1024 * 1024;

struct Aria2SettingsFile {
    Aria2Settings settings;
    // Why the file could not be read, in Chinese naming it; "" when it was
    // read, or is missing and need not be there.
    std::string complaint;
};

// Aria2Rpc, Aria2Secret and Aria2CaFile of the "services" group of the file
// at `path`; a missing key gives the default.  Only a regular file of at
// most kMaxSettingsFileBytes is read (a FIFO would wait for a writer,
// /dev/stdin would eat the links); anything else, and a missing file when
// `mustExist`, gives the defaults and a complaint.
Aria2SettingsFile ReadAria2SettingsFile(const std::string& path, bool mustExist);
// The same, quietly: the defaults whenever the file cannot be read.
Aria2Settings ReadAria2Settings(const std::string& path);

}  // namespace tessel::handoff
