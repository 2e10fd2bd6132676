// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// MD5 digests of files and byte blocks (RFC 1321, through OpenSSL), as 32
// upper-case hexadecimal digits.
//
// Every failure raises MD5HashError with a number, a source and a
// description; the numbers and sources are the ones users and scripts of
// ours have always seen:
//   0x8004C352 "MD5Hash.Class_Initialize" "Failed to load the MD5 digest from OpenSSL, OpenSSL error n"
//   0x8004C332 "MD5Hash"  "Failed to create an MD5 digest context, OpenSSL error n"
//   0x8004C312 "MD5Hash"  "Failed to hash data block, OpenSSL error n"
//   0x8004C322 "MD5Hash"  "Failed to obtain hash value length, OpenSSL error n"
//   0x8004C324 "MD5Hash"  "Failed to obtain hash value, OpenSSL error n"
//   0x8004C342 "MD5Hash.HashFile" "File doesn't exist"
// and, for a file that exists but cannot be read to its end,
//   75 "MD5Hash.HashFile" "Path/File access error[, system error n]"  (folder, pipe, no permission)
//   57 "MD5Hash.HashFile" "Device I/O error, system error n"          (read failed)
//   62 "MD5Hash.HashFile" "Input past end of file"                    (file shrank while read)
// "n" is the decimal error code of the failed call (OpenSSL's queue for the
// digest steps, errno for the file).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "text/numbered_error.h"

namespace tessel::checksum {

class MD5HashError : public text::NumberedError<std::uint32_t, std::string> {
 public:
    MD5HashError(std::uint32_t number, std::string source, std::string description);
};

class Md5Context;

class MD5Hash {
 public:
    MD5Hash();  // raises 0x8004C352 when no MD5 implementation is available
    ~MD5Hash();
    MD5Hash(const MD5Hash&) = delete;
    MD5Hash& operator=(const MD5Hash&) = delete;

    std::u16string HashFile(const std::filesystem::path& fileName);
    std::u16string HashBytes(std::string_view block);

 private:
    std::unique_ptr<Md5Context> ctx_;
};

}  // namespace tessel::checksum
