// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A file descriptor closed on every way out of the scope that owns it.

#include <unistd.h>

namespace tessel::web {

class UniqueFd {
 public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    // Hands the descriptor over; this object no longer closes it.
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

 private:
    int fd_;
};

}  // namespace tessel::web
