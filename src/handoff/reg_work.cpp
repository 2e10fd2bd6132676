// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/reg_work.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>

#include "text/codepage.h"
#include "text/vbstring.h"

namespace tessel::handoff {
namespace {

// A prefix's system.reg runs to some megabytes; anything far beyond that is
// not a hive we want in memory.
constexpr std::uintmax_t kMaxHiveFile = 256u * 1024 * 1024;

struct CachedHive {
    struct timespec mtime {};
    off_t size = 0;
    ino_t inode = 0;
    std::shared_ptr<const RegHive> hive;
};

std::shared_ptr<const RegHive> LoadHive(const std::filesystem::path& file) {
    static std::mutex mutex;
    static std::map<std::filesystem::path, CachedHive> cache;

    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uintmax_t>(st.st_size) > kMaxHiveFile) {
        return nullptr;
    }
    const std::lock_guard lock(mutex);
    // One prefix is normal; a handful of hives is all we ever keep.
    if (cache.size() >= 8 && !cache.contains(file)) cache.clear();
    CachedHive& entry = cache[file];
    if (entry.hive && entry.size == st.st_size && entry.inode == st.st_ino &&
        entry.mtime.tv_sec == st.st_mtim.tv_sec && entry.mtime.tv_nsec == st.st_mtim.tv_nsec) {
        return entry.hive;
    }
    // Read straight into one buffer of the file's size: the text is held
    // once while it is parsed, and let go afterwards.
    std::string content(static_cast<std::size_t>(st.st_size), '\0');
    std::ifstream in(file, std::ios::binary);
    if (!in || !in.read(content.data(), static_cast<std::streamsize>(content.size()))) {
        cache.erase(file);
        return nullptr;
    }
    content.resize(static_cast<std::size_t>(in.gcount()));
    entry.hive = std::make_shared<const RegHive>(ParseWineRegistry(content));
    entry.mtime = st.st_mtim;
    entry.size = st.st_size;
    entry.inode = st.st_ino;
    return entry.hive;
}

char16_t HexDigit(unsigned v) { return static_cast<char16_t>(v < 10 ? u'0' + v : u'A' + (v - 10)); }

std::u16string StringToText(const std::string& data) {
    // The stored units go through GBK as an ANSI read would hand them over;
    // a trailing odd byte is no unit and is left out.
    std::u16string units;
    units.reserve(data.size() / 2);
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                       (static_cast<unsigned char>(data[i + 1]) << 8));
    }
    const std::string bytes = text::ToAnsi(units);
    if (bytes.size() > kRegStringBuffer) return {};
    const std::size_t nul = bytes.find('\0');
    if (nul == std::string::npos) return {};
    return text::FromAnsi(std::string_view(bytes).substr(0, nul));
}

std::u16string BinaryToText(const std::string& data) {
    if (data.size() > kRegBinaryBuffer) return {};
    std::u16string out;
    out.reserve(data.size() * 3);
    for (unsigned char b : data) {
        out += HexDigit(b >> 4);
        out += HexDigit(b & 0x0F);
        out += u' ';
    }
    return out;
}

std::u16string DwordToText(const std::string& data) {
    // A shorter value fills the low bytes of the zeroed field; a longer one
    // does not fit it.
    if (data.size() > 4) return {};
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < data.size(); ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
    std::u16string digits;
    do {
        digits.insert(digits.begin(), HexDigit(v & 0x0F));
        v >>= 4;
    } while (v != 0);
    return u"0x" + digits;
}

const RegValue* FindInHive(const RegHive& hive, RegRoot root, std::u16string_view keyPath,
                           std::u16string_view valueName) {
    static constexpr std::u16string_view kSoftware = u"Software\\";
    static constexpr std::u16string_view kWow = u"Software\\Wow6432Node";
    if (root == RegRoot::HKEY_LOCAL_MACHINE && hive.IsWin64() && text::StartsWithNoCase(keyPath, kSoftware) &&
        !text::StartsWithNoCase(keyPath, kWow)) {
        const std::u16string redirected =
            std::u16string(kWow) + u"\\" + std::u16string(keyPath.substr(kSoftware.size()));
        if (hive.HasKey(redirected)) return hive.Find(redirected, valueName);
    }
    return hive.Find(keyPath, valueName);
}

}  // namespace

std::u16string RegValueToText(const RegValue& value) {
    switch (value.type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            return StringToText(value.data);
        case REG_BINARY:
            return BinaryToText(value.data);
        case REG_DWORD:
            return DwordToText(value.data);
        default:
            return {};
    }
}

WineRegistry::WineRegistry(std::filesystem::path prefix) : prefix_(std::move(prefix)) {}

std::filesystem::path WineRegistry::DefaultPrefix() {
    if (const char* env = std::getenv("WINEPREFIX"); env && *env) return env;
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/") / ".wine";
}

std::u16string WineRegistry::ReadValue(RegRoot root, std::u16string_view keyPath,
                                       std::u16string_view valueName) const {
    const char* file = root == RegRoot::HKEY_LOCAL_MACHINE ? "system.reg" : "user.reg";
    const auto hive = LoadHive(prefix_ / file);
    if (!hive) return {};
    const RegValue* value = FindInHive(*hive, root, keyPath, valueName);
    return value ? RegValueToText(*value) : std::u16string();
}

std::u16string RegReadValue(RegRoot root, std::u16string_view keyPath, std::u16string_view valueName) {
    return WineRegistry(WineRegistry::DefaultPrefix()).ReadValue(root, keyPath, valueName);
}

}  // namespace tessel::handoff
