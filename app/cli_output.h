// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// tessel-cli's standard output.

#include <errno.h>
#include <unistd.h>

#include <cstddef>
#include <string>

namespace tessel::cli {

// Buffered standard output: one write per item on a terminal (so output
// keeps up with typing), large writes otherwise.
class Output {
 public:
    Output() : interactive_(::isatty(STDOUT_FILENO) == 1) {}
    ~Output() { Flush(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // The text of the line being written; EndLine ends it.
    std::string& Buffer() { return buffer_; }

    void EndLine() {
        buffer_.push_back('\n');
        if (interactive_ || buffer_.size() >= (1u << 18)) Flush();
    }

    void Flush() {
        const char* p = buffer_.data();
        std::size_t left = buffer_.size();
        while (left > 0) {
            const ssize_t n = ::write(STDOUT_FILENO, p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                failed_ = true;
                error_ = errno;
                break;
            }
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        buffer_.clear();
    }

    bool Failed() const { return failed_; }
    int Error() const { return error_; }

 private:
    bool interactive_;
    bool failed_ = false;
    int error_ = 0;
    std::string buffer_;
};

}  // namespace tessel::cli
