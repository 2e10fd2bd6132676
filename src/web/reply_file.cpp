// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/reply_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "text/codepage.h"
#include "web/unique_fd.h"

namespace tessel::web {
namespace {

bool IsSafeFolder(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

}  // namespace

std::string PrivateFolderIn(std::string_view base, std::string_view leaf) {
    if (base.empty() || base.front() != '/' || leaf.empty()) return {};
    std::string path(base);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path != "/") path += '/';
    path += leaf;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return {};
    // Whatever was there before us (a link, someone else's folder, a folder
    // others can enter) is not ours to write replies into.
    if (!IsSafeFolder(path)) return {};
    return path + '/';
}

std::string GetTempFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        std::string folder = PrivateFolderIn(runtime, "tessel");
        if (!folder.empty()) return folder;
    }
    return PrivateFolderIn("/tmp", "tessel-" + std::to_string(::geteuid()));
}

std::string ReplyPath(std::string_view name) {
    std::string folder = GetTempFolder();
    if (folder.empty()) return {};
    return folder.append(name);
}

int OpenReplyForWrite(const std::string& path) {
    if (path.empty()) return -1;
    // O_NONBLOCK keeps a planted pipe from hanging the open; it is refused
    // below with everything else that is not a regular file.
    UniqueFd fd(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600));
    if (fd.Get() < 0) return -1;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return -1;
    return fd.Release();
}

std::optional<std::string> ReadReplyBytes(const std::string& path, std::int64_t maxBytes) {
    if (path.empty()) return std::nullopt;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    if (st.st_size > maxBytes) return std::nullopt;

    std::string bytes;
    bytes.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        // The file may grow while we read; the bound holds all the same.
        if (static_cast<std::int64_t>(bytes.size()) + n > maxBytes) return std::nullopt;
        bytes.append(buf, static_cast<size_t>(n));
    }
    return bytes;
}

std::optional<std::u16string> ReadReplyText(const std::string& path, std::int64_t maxBytes) {
    std::optional<std::string> bytes = ReadReplyBytes(path, maxBytes);
    if (!bytes) return std::nullopt;
    return text::FromAnsi(*bytes);
}

bool DeleteReplyFile(const std::string& path) {
    if (path.empty()) return false;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace tessel::web
