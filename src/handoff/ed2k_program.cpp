// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/ed2k_program.h"

#include "handoff/ini_lines.h"
#include "text/codepage.h"

namespace tessel::handoff {
namespace {

// Splits an Exec line into words; nullopt for an unclosed quote.
std::optional<std::vector<std::string>> ExecWords(std::string_view exec) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == ' ' || c == '\t') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else if (c == '"') {
            inWord = true;
            bool closed = false;
            for (++i; i < exec.size(); ++i) {
                if (exec[i] == '"') {
                    closed = true;
                    break;
                }
                // Inside quotes a backslash keeps the next of " ` $ \ as it is.
                if (exec[i] == '\\' && i + 1 < exec.size() &&
                    std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos)
                    ++i;
                word += exec[i];
            }
            if (!closed) return std::nullopt;
        } else {
            inWord = true;
            word += c;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

}  // namespace

std::optional<DesktopEntry> ReadDesktopEntry(std::string_view fileText) {
    std::u16string name, nameZh, nameZhCn;
    std::string exec, type;
    bool hidden = false;
    ForEachIniEntry(fileText, [&](std::string_view group, std::string_view key, std::string_view value) {
        if (group != "[Desktop Entry]" || !text::IsValidUtf8(value)) return;
        if (key == "Name") name = text::FromUtf8(value);
        if (key == "Name[zh]") nameZh = text::FromUtf8(value);
        if (key == "Name[zh_CN]") nameZhCn = text::FromUtf8(value);
        if (key == "Exec") exec = std::string(value);
        if (key == "Type") type = std::string(value);
        if (key == "Hidden" && value == "true") hidden = true;
    });
    if (hidden || (!type.empty() && type != "Application") || exec.empty()) return std::nullopt;
    DesktopEntry entry{!nameZhCn.empty() ? nameZhCn : !nameZh.empty() ? nameZh : name, exec};
    if (entry.name.empty()) return std::nullopt;
    return entry;
}

std::vector<std::string> DesktopEntryPaths(std::string_view id, const char* dataHome, const char* dataDirs,
                                           const char* home) {
    std::vector<std::string> paths;
    // An id is a file name: one with a path in it names no entry of ours to read.
    if (id.empty() || id.find('/') != std::string_view::npos) return paths;
    const std::string file = "/applications/" + std::string(id);
    if (dataHome && *dataHome == '/') {
        paths.push_back(dataHome + file);
    } else if (home && *home == '/') {
        paths.push_back(std::string(home) + "/.local/share" + file);
    }
    std::string_view dirs = dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share";
    while (!dirs.empty()) {
        const std::size_t colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        if (!dir.empty() && dir.front() == '/') paths.push_back(std::string(dir) + file);
        if (colon == std::string_view::npos) break;
        dirs.remove_prefix(colon + 1);
    }
    return paths;
}

std::optional<std::vector<std::string>> ExecArguments(std::string_view exec, std::string_view link) {
    std::optional<std::vector<std::string>> words = ExecWords(exec);
    if (!words || words->empty()) return std::nullopt;
    std::vector<std::string> args;
    bool placed = false;
    for (const std::string& word : *words) {
        // A word that is only a list code stands for the link alone.
        if (word == "%U" || word == "%F" || word == "%u" || word == "%f") {
            if (!placed) args.emplace_back(link);
            placed = true;
            continue;
        }
        std::string out;
        bool dropped = false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '%' || i + 1 >= word.size()) {
                out += word[i];
                continue;
            }
            const char code = word[++i];
            if (code == '%') {
                out += '%';
            } else if (code == 'u' || code == 'f') {
                out.append(link);
                placed = true;
            } else if (code == 'i' || code == 'c' || code == 'k' || code == 'U' || code == 'F') {
                dropped = true;
            }
        }
        if (!out.empty() || !dropped) args.push_back(std::move(out));
    }
    if (args.empty() || args.front().empty()) return std::nullopt;
    if (!placed) args.emplace_back(link);
    return args;
}

bool IsTesselProgram(std::string_view program) {
    const std::size_t slash = program.rfind('/');
    const std::string_view base = slash == std::string_view::npos ? program : program.substr(slash + 1);
    return base == "tessel" || base == "tessel-browser-host";
}

std::u16string Ed2kQuestion(std::u16string_view programName, const std::vector<std::u16string>& links) {
    std::u16string q = u"是否交给 " + std::u16string(programName) + u" 下载？\n";
    for (const std::u16string& link : links) q += u"\n" + link;
    return q;
}

}  // namespace tessel::handoff
