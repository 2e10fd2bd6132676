// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Size, CRC-32 and MD5 of a file dropped on the conversion page.
//
// Files up to 500 MiB get both check values; above that only the size is
// shown, which costs no reading at all.  The file is read once for both
// digests, in 1 MiB blocks with the pump called before each block.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "checksum/crc32.h"
#include "checksum/md5_hash.h"
#include "checksum/pump.h"

namespace tessel::checksum {

inline constexpr std::uint64_t kChecksumSizeLimit = 524288000;  // 500 MiB, inclusive

inline constexpr std::u16string_view kNoFileText = u"文件并不存在";
inline constexpr std::u16string_view kReadErrorText = u"文件读取失败，无法计算CRC32和MD5";
inline constexpr std::u16string_view kNoPermissionText = u"没有权限读取此文件，无法计算CRC32和MD5";
inline constexpr std::u16string_view kUnsizedText =
    u"文件大小无法确定（内容由系统即时生成），无法计算CRC32和MD5";

// Size of a regular file in bytes (symbolic links followed, dot-files are
// ordinary files); 0 for a folder, a missing path or anything else.
std::uint64_t QueryFileSize(const std::filesystem::path& path);

struct FingerprintResult {
    enum class Status {
        Ok,            // size, crc32 and md5 set
        SizeOnly,      // larger than the limit: size set
        NoFile,        // missing, a folder, a pipe or a device
        NoPermission,  // we may not read it, or not look into its folder: size set if known
        Unsized,       // reports a size of 0 but has content (files of /proc, /sys)
        ReadError,     // exists but could not be read to its end: size set, `problem` says why
    };
    Status status = Status::NoFile;
    std::uint64_t size = 0;
    bool sizeKnown = true;  // false only when a folder on the way may not be searched
    std::u16string crc32;
    std::u16string md5;
    std::string problem;  // English detail for logs and the command line
};

FingerprintResult Fingerprint(const std::filesystem::path& path, const EventPump& pump = {});

// The box text: "文件大小:<size>", "CRC32:<crc>", "MD5:<md5>" joined by
// `lineBreak`; only the size line above the limit; "文件并不存在" for no
// file; the size line and kReadErrorText when reading failed, and
// kNoPermissionText likewise (alone when the size is unknown); kUnsizedText
// alone.
std::u16string FingerprintText(const FingerprintResult& result, std::u16string_view lineBreak = u"\r\n");
std::u16string FingerprintText(const std::filesystem::path& path, const EventPump& pump = {});

}  // namespace tessel::checksum
