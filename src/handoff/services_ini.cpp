// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/services_ini.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "handoff/ini_lines.h"
#include "text/codepage.h"

namespace tessel::handoff {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendCodePoint(std::string& out, char32_t c) {
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
    out += text::ToUtf8(c > 0xFFFF ? std::u16string{static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)),
                                                    static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF))}
                                   : std::u16string(1, static_cast<char16_t>(c)));
}

std::string Unescape(std::string_view raw) {
    std::string out;
    bool quoted = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (c != '\\' || i + 1 >= raw.size()) {
            // Blanks outside quotes are kept only between words.
            out += c;
            continue;
        }
        const char e = raw[++i];
        switch (e) {
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'v':
                out += '\v';
                break;
            case '0':
                out += '\0';
                break;
            case 'x': {
                char32_t v = 0;
                std::size_t digits = 0;
                while (digits < 4 && i + 1 < raw.size() && HexValue(raw[i + 1]) >= 0) {
                    v = v * 16 + static_cast<char32_t>(HexValue(raw[++i]));
                    ++digits;
                }
                AppendCodePoint(out, v);
                break;
            }
            default:
                out += e;  // \" \\ \' \? and anything unknown stand for themselves
        }
    }
    if (out.starts_with("@@")) out.erase(0, 1);
    return out;
}

}  // namespace

std::optional<std::string> IniValue(std::string_view ini, std::string_view group, std::string_view key) {
    std::optional<std::string> found;
    ForEachIniEntry(ini, [&](std::string_view header, std::string_view name, std::string_view value) {
        // The group's name ends at the first "]".
        const std::size_t close = header.find(']');
        if (close != std::string_view::npos && header.substr(1, close - 1) == group && name == key)
            found = Unescape(value);
    });
    return found;
}

std::string SettingsFilePath() {
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') {
            const passwd* pw = ::getpwuid(::geteuid());
            home = pw ? pw->pw_dir : nullptr;
        }
        if (!home || home[0] != '/') return {};
        config = std::string(home) + "/.config";
    }
    return config + "/TESSEL/TESSEL.ini";
}

Aria2SettingsFile ReadAria2SettingsFile(const std::string& path, bool mustExist) {
    Aria2SettingsFile out;
    const auto fail = [&](const std::string& why) {
        out.complaint = "设置文件 " + path + " " + why;
        return out;
    };
    // Opened without waiting: a FIFO at that name would otherwise hold the
    // command until something writes to it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT && !mustExist) return out;
        return fail(std::string("无法打开：") + std::strerror(errno));
    }
    struct stat st {};
    std::string ini;
    bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    bool tooLarge = regular && static_cast<std::uintmax_t>(st.st_size) > kMaxSettingsFileBytes;
    int readError = 0;
    if (regular && !tooLarge) {
        ini.resize(kMaxSettingsFileBytes + 1);
        std::size_t got = 0;
        while (got < ini.size()) {
            const ssize_t n = ::read(fd, ini.data() + got, ini.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) readError = errno;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        ini.resize(got);
        tooLarge = got > kMaxSettingsFileBytes;  // it grew since
    }
    ::close(fd);
    if (!regular) return fail("不是普通文件");
    if (tooLarge)
        return fail("超过 " + std::to_string(kMaxSettingsFileBytes / 1024 / 1024) + " MiB，不是设置文件");
    if (readError != 0) return fail(std::string("无法读取：") + std::strerror(readError));
    const auto read = [&ini](std::u16string_view key) {
        return IniValue(ini, "services", text::ToUtf8(key));
    };
    if (auto v = read(kAria2RpcKey)) out.settings.rpc = text::FromUtf8(*v);
    if (auto v = read(kAria2SecretKey)) out.settings.secret = text::FromUtf8(*v);
    if (auto v = read(kAria2CaFileKey)) out.settings.caFile = text::FromUtf8(*v);
    return out;
}

Aria2Settings ReadAria2Settings(const std::string& path) {
    return ReadAria2SettingsFile(path, false).settings;
}

}  // namespace tessel::handoff
