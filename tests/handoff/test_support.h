// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Throwaway Wine prefixes for the hand-off tests.

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "handoff/reg_work.h"
#include "support/loopback_http.h"
#include "text/codepage.h"

namespace tessel::handoff::testing {

inline std::filesystem::path MakeTempDir(const char* stem) {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(stem) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

class TempPrefix {
 public:
    // `keys` is the part of system.reg after Wine's header.
    explicit TempPrefix(std::string_view keys, std::string_view arch = "win32")
        : dir_(MakeTempDir("tessel-wine")) {
        Write(keys, arch);
    }
    ~TempPrefix() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    TempPrefix(const TempPrefix&) = delete;
    TempPrefix& operator=(const TempPrefix&) = delete;

    void Write(std::string_view keys, std::string_view arch = "win32") const {
        std::ofstream out(dir_ / "system.reg", std::ios::binary | std::ios::trunc);
        out << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=" << arch << "\n\n"
            << keys;
    }

    const std::filesystem::path& dir() const { return dir_; }
    WineRegistry Registry() const { return WineRegistry(dir_); }
    RegReader Reader() const {
        return [dir = dir_](RegRoot root, std::u16string_view key, std::u16string_view value) {
            return WineRegistry(dir).ReadValue(root, key, value);
        };
    }

 private:
    std::filesystem::path dir_;
};

// The hand-off tests' HTTP servers are the shared loopback ones.
using testsupport::LoopbackHttp;

}  // namespace tessel::handoff::testing
