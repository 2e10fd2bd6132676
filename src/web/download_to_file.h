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

struct DownloadOptions {
    std::chrono::milliseconds timeout = kRequestTimeLimit;  // for the whole transfer
    std::int64_t maxBytes = kMaxReplyBytes;
    // When it rises (from any thread) the download ends within
    // kAbortPollInterval; nullptr: nothing but the time limit ends it.
    const RequestAbort* abort = nullptr;
};

// Saves the reply of `url` (text; sent as GBK with unsafe characters
// escaped) into `path`.  Complete when the file holds the whole reply; any
// other end leaves no partial file behind.  A malformed address, a refused
// connection and a reply cut short (a reset connection, fewer bytes than
// announced) all end as NoReply; a reply past the size bound as CutOff.  Sends
// the agent "VB Http", asks caches not to answer, follows redirects and uses
// the proxy of the usual environment variables.
FetchEnd DownloadToFile(std::u16string_view url, const std::string& path,
                        const DownloadOptions& options = {});

struct ReplyText {
    FetchEnd end = FetchEnd::Complete;
    std::optional<std::u16string> text;  // set exactly when end is Complete
};

// DownloadToFile into `path`, read back as GBK text, then deleted.  An empty
// `path` (no private folder for replies) asks nothing, and a reply that
// cannot be read back counts as FileFailed.
ReplyText FetchReplyText(std::u16string_view url, const std::string& path,
                         const DownloadOptions& options = {});

}  // namespace tessel::web
