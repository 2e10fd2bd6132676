// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

/* The registry hives of a Wine prefix (system.reg, user.reg), read the way
   Wine's server writes them:

     WINE REGISTRY Version 2
     #arch=win64
     [Software\\Tencent\\QQDownload] 1700000000
     #time=1da...
     @="default value"
     "Exe"="C:\\Program Files\\Tencent\\QQDownload\\QQDownload.exe"
     "Path"=str(2):"%ProgramFiles%\\\x5feb\x8f66"
     "Flags"=hex:0a,ff,\
       00
     "Count"=dword:000000ff

   Strings escape backslash and quote, use C escapes for control characters
   and \xHHHH for every UTF-16 unit above 127; key names also escape [ and ].
   A line that cannot be read is skipped, as Wine itself does.

   Limits: a key more than kMaxRegKeyDepth levels deep (the registry's own
   limit) or a line longer than kMaxRegLineBytes makes the file a broken
   hive, which reads as empty, as a missing one does.  Each key is stored
   once, so the parsed hive stays within a small multiple of the file. */

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tessel::handoff {

inline constexpr std::size_t kMaxRegKeyDepth = 512;
inline constexpr std::size_t kMaxRegLineBytes = 1024 * 1024;

// Value types as the registry numbers them.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;

struct RegValue {
    std::uint32_t type = REG_NONE;
    // The stored bytes.  Strings are UTF-16LE with their terminator, exactly
    // as the registry keeps them, so str: and hex(1): forms read alike.
    std::string data;
};

// Key paths and value names compare without regard to case.  This folds the
// letters of the scripts a key name is likely to use (ASCII, Latin-1, Greek,
// Cyrillic, full-width Latin); CJK has no case.
std::u16string FoldRegName(std::u16string_view name);

class RegHive {
 public:
    // The value, or nullptr when the key or the value does not exist.
    // valueName "" is the key's default value (written "@=" in the file).
    const RegValue* Find(std::u16string_view keyPath, std::u16string_view valueName) const;
    bool HasKey(std::u16string_view keyPath) const;

    // "#arch=win64": 32-bit programs see HKLM\Software through Wow6432Node.
    bool IsWin64() const { return win64_; }

    void AddKey(std::u16string_view keyPath);
    void SetValue(std::u16string_view keyPath, std::u16string_view valueName, RegValue value);
    void SetWin64(bool on) { win64_ = on; }

 private:
    using Values = std::unordered_map<std::u16string, RegValue>;
    // Folded path -> folded name -> value.  Most keys hold no values and
    // pay only for their path.
    std::map<std::u16string, std::unique_ptr<Values>> keys_;
    bool win64_ = false;
};

// Reads the text of a hive file.  Never fails: what cannot be read is left
// out, and a hive past the limits above comes back empty.
RegHive ParseWineRegistry(std::string_view fileText);

}  // namespace tessel::handoff
