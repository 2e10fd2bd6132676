// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The key=value lines of an INI-style file (the settings file tessel-cli
// reads, a desktop entry), as both are walked: one line at a time, blanks
// around keys and values dropped, comment lines (# or ;) passed over.

#include <string_view>

namespace tessel::handoff {

// Spaces and tabs at both ends, and the carriage return of a CRLF line.
inline std::string_view TrimIniBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Calls entry(header, key, value) for each key=value line of `text`, where
// `header` is the last "[...]" line above it as it stands ("" above the
// first one).
template <typename Entry>
void ForEachIniEntry(std::string_view text, Entry entry) {
    std::string_view header;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = TrimIniBlanks(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            header = line;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq != std::string_view::npos)
            entry(header, TrimIniBlanks(line.substr(0, eq)), TrimIniBlanks(line.substr(eq + 1)));
    }
}

}  // namespace tessel::handoff
