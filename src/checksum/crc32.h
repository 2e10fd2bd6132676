// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// CRC-32 of ISO 3309 / ITU-T V.42 (reflected polynomial 0xEDB88320, initial
// value and final XOR 0xFFFFFFFF), the one zlib and PNG use: "123456789"
// gives CBF43926.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "checksum/pump.h"

namespace tessel::checksum {

// zlib-style running CRC: start with 0, feed the previous result back in.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size);

// The CRC as 8 upper-case hexadecimal digits.
std::u16string Crc32Text(std::uint32_t crc);

// CRC-32 of a regular file, read in blocks of blockKiB KiB with `pump`
// called before each block.  The empty text when `path` names no regular
// file or the file cannot be read to its end.
std::u16string FileCRC32(const std::filesystem::path& path, int blockKiB, const EventPump& pump = {});

}  // namespace tessel::checksum
