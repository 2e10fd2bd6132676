// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Cls_DownLoad: copies one URL into one local file in blocks of at most 512
// bytes, reporting progress and state changes through its events, and can be
// told to stop after the current block.
//
// Everything runs on the caller's thread.  While it waits for data and after
// every block, DLFile calls `pump` so the caller's window stays responsive;
// a handler that runs there may call DLFileStop.  It must not destroy the
// object.
//
// No fetch runs longer than its time limit (TimeLimit, kRequestTimeLimit
// unless set), whatever the server does; a raised abortSignal ends it within
// kAbortPollInterval, from any thread.
//
// State sequences seen through entDLFileStatus:
//   reply read to the end (or a read failed)   1 2 3 4 9 6
//   stopped on request, or aborted             1 2 3 4 5 6
//   URL could not be opened (or aborted)       1 2 8 6
//   no HTTP session                            1 7

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "web/curl_session.h"

namespace tessel::web {

using Long = std::int32_t;

enum TmpState : Long {
    kStateBegin = 1,      // before the session is opened
    kStateSession = 2,    // session opened, request about to be sent
    kStateAnswered = 3,   // reply headers arrived
    kStateReading = 4,    // local file about to be opened, blocks follow
    kStateStopped = 5,    // stopped on request after a block
    kStateFinished = 6,   // session closed
    kStateNoSession = 7,  // the HTTP session could not be opened
    kStateUrlFailed = 8,  // the URL could not be opened (refused, unknown host, malformed, no reply in time)
    kStateEndOfData = 9,  // end of reply, a failed read, or no data in time during the body
};

// Clamps a 64-bit count into the Long event fields.
Long ClampToLong(std::int64_t v);

// Bytes per second as the progress event reports it: 1025 while the elapsed
// time rounds to zero seconds, otherwise total / rounded seconds, rounded
// half to even.
Long SpeedOf(std::int64_t total, std::chrono::steady_clock::duration elapsed);

class Cls_DownLoad {
 public:
    using DowningHandler =
        std::function<void(const std::u16string& sRemoteURL, Long lDownLoaded, Long lFilesize, Long lSpeed)>;
    using StatusHandler = std::function<void(Long TmpState)>;
    using Pump = std::function<void()>;

    // Raised after each block is written: running total, the reply's
    // Content-Length (0 when absent or unreadable), bytes per second.
    // Values above 2^31 - 1 are clamped.
    DowningHandler entDLFileDowning;
    // Raised at each state change (TmpState values above).
    StatusHandler entDLFileStatus;
    // Lets pending window events run; called between blocks and while waiting.
    Pump pump;
    // When it rises the running fetch ends (as stopped, or as a URL that
    // could not be opened when no reply has come yet), and later fetches end
    // at once.  Not owned; nullptr: none.
    const RequestAbort* abortSignal = nullptr;

    // When the server sends nothing for this long, a fetch that has no reply
    // yet fails as "URL could not be opened"; one that is reading the body
    // ends as at the end of data.  Used when DLFile gets lTimeOut <= 0.
    static constexpr Long kDefaultTimeOutMs = 5000;

    // Fetches sRemoteURL (text; sent as GBK with unsafe characters escaped)
    // into sLocalFilePath and returns the number of bytes written (clamped
    // to Long); 0 when the session or the URL could not be opened.  The
    // local file is created or replaced only once a reply has arrived.
    // lTimeOut is the allowed silence of the server in milliseconds.
    // While a fetch runs on this object, a second call returns 0 at once
    // without raising any event.
    Long DLFile(std::u16string_view sRemoteURL, const std::string& sLocalFilePath, Long lTimeOut);

    // Asks the running fetch to stop after its current block.  When no fetch
    // runs, the request waits for the next one, which stops after its first
    // block.
    void DLFileStop();

    // True while DLFile runs.
    bool IsRunning() const { return running_; }

    // How the last fetch ended; only Complete means the file holds the whole reply.
    FetchEnd LastEnd() const { return lastEnd_; }

    // The longest a fetch may take, silence or not.  Values <= 0 mean
    // kRequestTimeLimit.
    void SetTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }

    // A reply growing past `bytes` (0: no limit, the default) is cut off:
    // the fetch ends with state 9, the local file is removed and DLFile
    // returns 0.
    void SetReplyLimit(std::int64_t bytes) { replyLimit_ = bytes; }
    std::int64_t ReplyLimit() const { return replyLimit_; }

 private:
    void Raise(Long state);

    std::atomic<bool> stopRequested_{false};
    bool running_ = false;
    FetchEnd lastEnd_ = FetchEnd::NoReply;
    std::int64_t replyLimit_ = 0;
    std::chrono::milliseconds timeLimit_ = kRequestTimeLimit;
};

// DLFile into `path` with the reply bounded by kMaxReplyBytes (for this
// fetch only), then the file read back as GBK text.  Nothing when DLFile
// returned 0, the reply was not complete (cut short, stopped, out of time)
// or the file cannot be read.  A complete reply's file is left in place; an
// incomplete one is removed.
std::optional<std::u16string> FetchReplyTextVia(Cls_DownLoad& fetcher, std::u16string_view url,
                                                const std::string& path, Long lTimeOut);

}  // namespace tessel::web
