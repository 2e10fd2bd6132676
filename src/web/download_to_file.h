// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one-call download: the whole reply of a URL into a file, blocking the
// caller until it is saved or has failed.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "web/curl_session.h"
#include "web/reply_file.h"

namespace tessel::web {

enum DownloadResult : int {
    kDownloadOk = 0,
    kDownloadUrlFailed = 1,  // malformed URL, refused connection, unknown host, broken transfer
    kDownloadTimedOut = 2,
    kDownloadHttpError = 3,   // the server answered with a status of 400 or above
    kDownloadTooLarge = 4,    // more than the allowed reply size
    kDownloadFileFailed = 5,  // the local file could not be written (or is a link)
    kDownloadAborted = 6,     // the caller's RequestAbort rose
};

struct DownloadOptions {
    std::chrono::milliseconds timeout = kRequestTimeLimit;  // for the whole transfer
    std::int64_t maxBytes = kMaxReplyBytes;
    // When it rises (from any thread) the download ends within
    // kAbortPollInterval; nullptr: nothing but the time limit ends it.
    const RequestAbort* abort = nullptr;
};

// Saves the reply of `url` (text; sent as GBK with unsafe characters
// escaped) into `path`.  0 on success, when the file holds the whole reply;
// a DownloadResult otherwise, when no partial file is left behind.  A reply
// cut short (a reset connection, fewer bytes than announced) is a failure.  Sends
// the agent "VB Http", asks caches not to answer, follows redirects and uses
// the proxy of the usual environment variables.
int DownloadToFile(std::u16string_view url, const std::string& path, const DownloadOptions& options = {});

struct ReplyText {
    int result = kDownloadOk;            // a DownloadResult
    std::optional<std::u16string> text;  // set exactly when result is kDownloadOk
};

// DownloadToFile into `path`, read back as GBK text, then deleted.  An empty
// `path` (no private folder for replies) asks nothing, and a reply that
// cannot be read back counts as kDownloadFileFailed.
ReplyText FetchReplyText(std::u16string_view url, const std::string& path,
                         const DownloadOptions& options = {});

}  // namespace tessel::web
