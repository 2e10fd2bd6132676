// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Sequential reading of a regular file for the checksums (internal).
//
// The file is opened first and then examined through its descriptor, so a
// path swapped for a pipe or a device between a check and the open cannot
// make us block or read something endless.  The size is taken once, at
// open; a file that shrinks under us is a read failure, never zero-filled.

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace tessel::checksum {

class FileReader {
 public:
    enum class Failure { None, Missing, NotRegular, CannotOpen, ReadFailed, Shrunk };

    explicit FileReader(const std::filesystem::path& path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool Ok() const { return failure_ == Failure::None; }
    Failure Why() const { return failure_; }
    int Errno() const { return error_; }  // errno of the failed call, 0 if none
    std::uint64_t Size() const { return size_; }

    // Reads exactly `n` bytes; false (and Why() set) on error or early end.
    bool ReadExactly(void* buffer, std::size_t n);

    // Whether a read finds content although the size said 0: the files of
    // /proc and /sys make their content when read and report no size.
    bool HasUnstatedContent();

 private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    Failure failure_ = Failure::None;
    int error_ = 0;
};

}  // namespace tessel::checksum
