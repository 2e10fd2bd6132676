// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A throwaway Wine prefix whose system.reg holds the given keys.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "handoff/reg_work.h"

namespace tessel::handoff::testing {

inline std::filesystem::path MakeTempDir(const char* stem) {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(stem) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

class TempPrefix {
public:
    // `keys` is the part of system.reg after Wine's header.
    explicit TempPrefix(std::string_view keys, std::string_view arch = "win32") : dir_(MakeTempDir("tessel-wine")) {
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
        out << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=" << arch << "\n\n" << keys;
    }

    const std::filesystem::path& dir() const { return dir_; }
    WineRegistry Registry() const { return WineRegistry(dir_); }
    RegReader Reader() const { return ReaderFor(Registry()); }

private:
    std::filesystem::path dir_;
};

}  // namespace tessel::handoff::testing
