// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The digest steps behind MD5Hash (internal): one digest at a time, each
// failure raised as the documented MD5HashError.

#include <cstddef>
#include <string>

#include "checksum/file_reader.h"
#include "checksum/md5_hash.h"

struct evp_md_st;
struct evp_md_ctx_st;

namespace tessel::checksum {

class Md5Context {
 public:
    Md5Context();
    ~Md5Context();
    Md5Context(const Md5Context&) = delete;
    Md5Context& operator=(const Md5Context&) = delete;

    void BeginHash();
    void HashBlock(const void* data, std::size_t size);
    std::u16string FinishHash();

 private:
    void Discard();

    evp_md_st* md_ = nullptr;
    evp_md_ctx_st* ctx_ = nullptr;
};

// Raises the HashFile error that fits a failed FileReader.
[[noreturn]] void ThrowFileError(FileReader::Failure failure, int error);

}  // namespace tessel::checksum
