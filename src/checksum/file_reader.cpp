// SPDX-License-Identifier: GPL-3.0-or-later
#include "checksum/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tessel::checksum {

FileReader::FileReader(const std::filesystem::path& path) {
    // O_NONBLOCK keeps the open of a pipe from waiting for a writer; it has
    // no effect on the regular files we go on to read.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) {
        error_ = errno;
        failure_ = (error_ == ENOENT || error_ == ENOTDIR || error_ == ELOOP) ? Failure::Missing
                                                                              : Failure::CannotOpen;
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        error_ = errno;
        failure_ = Failure::CannotOpen;
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        failure_ = Failure::NotRegular;
        return;
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

FileReader::~FileReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileReader::ReadExactly(void* buffer, std::size_t n) {
    if (!Ok()) return false;
    auto* p = static_cast<char*>(buffer);
    while (n > 0) {
        const ssize_t got = ::read(fd_, p, n);
        if (got < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            failure_ = Failure::ReadFailed;
            return false;
        }
        if (got == 0) {
            failure_ = Failure::Shrunk;
            return false;
        }
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

bool FileReader::HasUnstatedContent() {
    if (!Ok() || size_ != 0) return false;
    char probe = 0;
    ssize_t got = 0;
    do {
        got = ::read(fd_, &probe, 1);
    } while (got < 0 && errno == EINTR);
    return got > 0;
}

}  // namespace tessel::checksum
