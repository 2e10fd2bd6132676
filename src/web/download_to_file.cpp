// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/download_to_file.h"

#include <unistd.h>

#include <cerrno>

#include "web/curl_session.h"
#include "web/services.h"

namespace tessel::web {
namespace {

struct Sink {
    const std::string* path = nullptr;
    std::int64_t maxBytes = 0;
    std::int64_t written = 0;
    int fd = -1;
    bool tooLarge = false;
    bool fileFailed = false;

    // The file is made when the first bytes arrive, so a failed address
    // leaves whatever was there untouched.
    bool Open() {
        if (fd >= 0) return true;
        fd = OpenReplyForWrite(*path);
        if (fd < 0) fileFailed = true;
        return fd >= 0;
    }
};

size_t OnData(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t len = size * count;
    if (sink->written + static_cast<std::int64_t>(len) > sink->maxBytes) {
        sink->tooLarge = true;
        return 0;  // makes libcurl give up with a write error
    }
    if (!sink->Open()) return 0;
    const char* p = data;
    size_t n = len;
    while (n > 0) {
        const ssize_t w = ::write(sink->fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            sink->fileFailed = true;
            return 0;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    sink->written += static_cast<std::int64_t>(len);
    return len;
}

}  // namespace

FetchEnd DownloadToFile(std::u16string_view url, const std::string& path, const DownloadOptions& options) {
    if (IsRaised(options.abort)) return FetchEnd::Aborted;
    CurlSession req;
    if (!req.Ok()) return FetchEnd::NoReply;
    if (!req.SetUrl(ToWireUrl(url))) return FetchEnd::NoReply;

    Sink sink;
    sink.path = &path;
    sink.maxBytes = options.maxBytes;
    req.SetWriter(&OnData, &sink);
    // An announced oversize reply is refused before any of it is read.
    req.SetLimits({.total = options.timeout, .maxBytes = options.maxBytes});

    const CURLcode code = req.Perform(options.abort);
    long status = 0;
    curl_easy_getinfo(req.Handle(), CURLINFO_RESPONSE_CODE, &status);

    FetchEnd result = FetchEnd::Complete;
    if (code == CURLE_OK) {
        if (status >= 400)
            result = FetchEnd::HttpError;
        else if (!sink.Open())
            result = FetchEnd::FileFailed;  // an empty reply still makes its file
    } else if (sink.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result = FetchEnd::CutOff;
    } else if (code == CURLE_ABORTED_BY_CALLBACK) {
        result = FetchEnd::Aborted;
    } else if (sink.fileFailed) {
        result = FetchEnd::FileFailed;
    } else if (code == CURLE_OPERATION_TIMEDOUT) {
        result = FetchEnd::TimedOut;
    } else {
        result = FetchEnd::NoReply;
    }

    if (sink.fd >= 0) {
        if (::close(sink.fd) != 0 && result == FetchEnd::Complete) result = FetchEnd::FileFailed;
        // What we wrote of a failed reply is no reply; the caller must not read it.
        if (result != FetchEnd::Complete) DeleteReplyFile(path);
    }
    return result;
}

ReplyText FetchReplyText(std::u16string_view url, const std::string& path, const DownloadOptions& options) {
    ReplyText reply;
    reply.end = path.empty() ? FetchEnd::FileFailed : DownloadToFile(url, path, options);
    if (reply.end != FetchEnd::Complete) return reply;
    reply.text = ReadReplyText(path, options.maxBytes);
    DeleteReplyFile(path);
    if (!reply.text) reply.end = FetchEnd::FileFailed;
    return reply;
}

}  // namespace tessel::web
