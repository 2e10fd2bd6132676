// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// mdlRegWork: reading one value of the machine's registry as text.
//
// The registry here is the one of a Wine prefix ($WINEPREFIX, default
// ~/.wine): HKEY_LOCAL_MACHINE is its system.reg, HKEY_CURRENT_USER its
// user.reg.  Reads never fail loudly: a missing or unreadable file, a missing
// key or value, a type we do not convert or a value too large for its buffer
// all read as the empty text.  Nothing is ever written.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "handoff/wine_registry.h"

namespace tessel::handoff {

enum class RegRoot { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

// Size of the buffers the value is read into: a string with its terminator,
// in GBK bytes, must fit kRegStringBuffer; binary data kRegBinaryBuffer.
inline constexpr std::size_t kRegStringBuffer = 1024;
inline constexpr std::size_t kRegBinaryBuffer = 1025;

// A stored value as text:
//   string, expandable string: the characters up to the first NUL, read
//     through GBK (what GBK cannot hold becomes "?"); empty when the value
//     with its terminator takes more than 1024 GBK bytes or holds no NUL;
//     environment references stay as they are.
//   binary: "0A FF " (two upper-case digits and a blank per byte); empty when
//     longer than the 1025-byte buffer.
//   double word: "0x" and upper-case hexadecimal without leading zeros ("0x0").
//   anything else: empty.
std::u16string RegValueToText(const RegValue& value);

class WineRegistry {
 public:
    explicit WineRegistry(std::filesystem::path prefix);

    // $WINEPREFIX when set and not empty, else ~/.wine.
    static std::filesystem::path DefaultPrefix();

    // keyPath is backslash-separated ("SOFTWARE\Tencent\QQDownload"); keys and
    // value names match without regard to case; valueName "" is the default
    // value.  In a 64-bit prefix, HKLM\Software is looked up first where a
    // 32-bit program is sent (Software\Wow6432Node), then as written.
    std::u16string ReadValue(RegRoot root, std::u16string_view keyPath, std::u16string_view valueName) const;

 private:
    std::filesystem::path prefix_;
};

// The read every probe uses: the default prefix, looked up afresh each time
// so a changed $WINEPREFIX counts.  Parsed hive files are kept while their
// size and modification time stay the same.
std::u16string RegReadValue(RegRoot root, std::u16string_view keyPath, std::u16string_view valueName);

// How the probes read the registry; RegReadValue, or a WineRegistry bound to
// another prefix.
using RegReader = std::function<std::u16string(RegRoot, std::u16string_view, std::u16string_view)>;

}  // namespace tessel::handoff
