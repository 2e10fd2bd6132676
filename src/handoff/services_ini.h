// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window's settings file read without Qt, for tessel-cli: the values of
// one group, unescaped the way the window's INI writer escapes them (quotes
// around texts with ";", "," or "=" or blanks at the ends; backslash escapes;
// a leading "@" doubled).  Only reading: the window stays the one writer.

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

// Aria2Rpc, Aria2Secret and Aria2CaFile of the "services" group of the file
// at `path`; a missing file or key gives the defaults.
Aria2Settings ReadAria2Settings(const std::string& path);

}  // namespace tessel::handoff
