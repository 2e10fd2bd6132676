// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/download.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "text/vbstring.h"
#include "web/curl_session.h"
#include "web/reply_file.h"
#include "web/services.h"
#include "web/unique_fd.h"

namespace tessel::web {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kBlockBytes = 512;
// What we hold from libcurl before asking it to wait; it keeps the rest.
constexpr size_t kMaxPendingBytes = 64 * 1024;
// How long one wait for the socket lasts before the window gets a turn.
constexpr int kPollMs = 20;

// What the callbacks learn while libcurl works.
struct Transfer {
    std::string pending;  // body bytes not yet cut into blocks
    bool paused = false;
    Clock::time_point lastData = Clock::now();

    // The header block being read; several arrive when redirects are followed.
    long blockStatus = 0;
    bool blockHasLocation = false;
    std::int64_t blockLength = -1;

    bool headersDone = false;  // the final reply's headers are complete
    std::int64_t contentLength = -1;
};

std::int64_t ParseLength(std::string_view v) {
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    std::int64_t n = 0;
    size_t i = 0;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
        if (n > (INT64_MAX - 9) / 10) return -1;
        n = n * 10 + (v[i] - '0');
    }
    if (i == 0) return -1;
    for (; i < v.size(); ++i) {
        if (v[i] != ' ' && v[i] != '\t') return -1;
    }
    return n;
}

bool HasPrefixNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != prefix[i]) return false;
    }
    return true;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t len = size * count;
    t->lastData = Clock::now();
    std::string_view line(data, len);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);

    if (HasPrefixNoCase(line, "http/")) {
        t->blockStatus = 0;
        t->blockHasLocation = false;
        t->blockLength = -1;
        const size_t sp = line.find(' ');
        if (sp != std::string_view::npos) {
            long code = 0;
            for (size_t i = sp + 1; i < line.size() && i < sp + 4 && line[i] >= '0' && line[i] <= '9'; ++i) {
                code = code * 10 + (line[i] - '0');
            }
            t->blockStatus = code;
        }
    } else if (line.empty()) {
        // A 1xx block is followed by the real one; a redirect is followed by
        // libcurl, whose next block then counts.
        const bool interim = t->blockStatus < 200;
        const bool followed = t->blockStatus >= 300 && t->blockStatus < 400 && t->blockHasLocation;
        if (!interim && !followed) {
            t->headersDone = true;
            t->contentLength = t->blockLength;
        }
    } else if (HasPrefixNoCase(line, "content-length:")) {
        t->blockLength = ParseLength(line.substr(15));
    } else if (HasPrefixNoCase(line, "location:")) {
        t->blockHasLocation = true;
    }
    return len;
}

size_t OnData(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t len = size * count;
    t->lastData = Clock::now();
    if (t->pending.size() >= kMaxPendingBytes) {
        t->paused = true;
        return CURL_WRITEFUNC_PAUSE;  // libcurl hands the same bytes again later
    }
    t->pending.append(data, len);
    return len;
}

bool WriteAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

class RunningFlag {
 public:
    explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningFlag() { flag_ = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

 private:
    bool& flag_;
};

}  // namespace

Long ClampToLong(std::int64_t v) {
    return static_cast<Long>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

Long SpeedOf(std::int64_t total, Clock::duration elapsed) {
    const std::int64_t seconds = text::RoundHalfEven(std::chrono::duration<double>(elapsed).count());
    if (seconds <= 0) return 1025;
    return ClampToLong(text::RoundHalfEven(static_cast<double>(total) / static_cast<double>(seconds)));
}

void Cls_DownLoad::Raise(Long state) {
    if (entDLFileStatus) entDLFileStatus(state);
}

void Cls_DownLoad::DLFileStop() { stopRequested_ = true; }

Long Cls_DownLoad::DLFile(std::u16string_view sRemoteURL, const std::string& sLocalFilePath, Long lTimeOut) {
    // The pump lets window events run inside us; a second command must not
    // start a fetch on top of this one.
    if (running_) return 0;
    RunningFlag running(running_);
    lastEnd_ = FetchEnd::NoReply;
    const std::u16string url(sRemoteURL);
    const auto silence = std::chrono::milliseconds(lTimeOut > 0 ? lTimeOut : kDefaultTimeOutMs);
    const auto limit = timeLimit_.count() > 0 ? timeLimit_ : kRequestTimeLimit;
    const auto deadline = Clock::now() + limit;
    const auto pumpEvents = [this] {
        if (pump) pump();
    };
    const auto aborted = [this] { return IsRaised(abortSignal); };

    Raise(kStateBegin);
    CurlSession session;
    if (!session.Ok()) {
        Raise(kStateNoSession);
        return 0;
    }

    Raise(kStateSession);
    Transfer t;
    curl_easy_setopt(session.Handle(), CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(session.Handle(), CURLOPT_HEADERDATA, &t);
    session.SetWriter(&OnData, &t);
    session.SetLimits({.total = limit});
    curl_easy_setopt(session.Handle(), CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    const auto urlFailed = [&] {
        const bool late = Clock::now() >= deadline || session.Result() == CURLE_OPERATION_TIMEDOUT;
        lastEnd_ = aborted() ? FetchEnd::Aborted : late ? FetchEnd::TimedOut : FetchEnd::NoReply;
        Raise(kStateUrlFailed);
        session.Stop();
        Raise(kStateFinished);
        return Long{0};
    };
    if (aborted() || !session.SetUrl(ToWireUrl(url)) || !session.Start()) return urlFailed();

    // Wait for the reply to begin.
    t.lastData = Clock::now();
    session.Step();
    const auto answered = [&] { return t.headersDone || !t.pending.empty() || session.Done(); };
    while (!answered() && Clock::now() - t.lastData < silence && Clock::now() < deadline && !aborted()) {
        pumpEvents();
        session.Wait(std::chrono::milliseconds(kPollMs));
        session.Step();
    }
    const bool replied = !aborted() && (t.headersDone || !t.pending.empty() ||
                                        (session.Done() && session.Result() == CURLE_OK));
    if (!replied) return urlFailed();

    Raise(kStateAnswered);
    std::int64_t fileSize = t.contentLength;
    if (!t.headersDone) {
        curl_off_t len = -1;
        if (curl_easy_getinfo(session.Handle(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &len) == CURLE_OK)
            fileSize = len;
    }
    if (fileSize < 0) fileSize = 0;

    const auto start = Clock::now();
    Raise(kStateReading);
    // Created only now, so an address that never answers leaves no file.
    const UniqueFd file(OpenReplyForWrite(sLocalFilePath));
    const int fd = file.Get();
    Long finalState = kStateEndOfData;
    FetchEnd end = FetchEnd::FileFailed;
    std::int64_t total = 0;
    if (fd >= 0) {
        end = FetchEnd::Broken;
        auto quietSince = Clock::now();
        for (;;) {
            bool leave = false;
            size_t used = 0;
            while (used < t.pending.size()) {
                const size_t n = std::min(kBlockBytes, t.pending.size() - used);
                if (replyLimit_ > 0 && total + static_cast<std::int64_t>(n) > replyLimit_) {
                    end = FetchEnd::CutOff;
                    leave = true;
                    break;
                }
                if (!WriteAll(fd, t.pending.data() + used, n)) {
                    end = FetchEnd::FileFailed;
                    leave = true;  // a full disk ends the fetch like a failed read
                    break;
                }
                used += n;
                total += static_cast<std::int64_t>(n);
                if (entDLFileDowning) {
                    entDLFileDowning(url, ClampToLong(total), ClampToLong(fileSize),
                                     SpeedOf(total, Clock::now() - start));
                }
                if (stopRequested_.exchange(false)) {
                    finalState = kStateStopped;
                    end = FetchEnd::Stopped;
                    leave = true;
                    break;
                }
                pumpEvents();
                if (aborted()) break;
            }
            t.pending.erase(0, used);
            if (leave) break;
            if (aborted()) {
                finalState = kStateStopped;
                end = FetchEnd::Aborted;
                break;
            }
            // Time we spent on blocks and window events is not the server's silence.
            if (used > 0) quietSince = Clock::now();
            if (session.Done()) {
                if (session.Result() == CURLE_OK)
                    end = FetchEnd::Complete;
                else if (session.Result() == CURLE_OPERATION_TIMEDOUT)
                    end = FetchEnd::TimedOut;
                break;
            }
            if (Clock::now() >= deadline) {
                end = FetchEnd::TimedOut;
                break;
            }
            if (t.paused) {
                t.paused = false;
                curl_easy_pause(session.Handle(), CURLPAUSE_CONT);
            }
            session.Wait(std::chrono::milliseconds(kPollMs));
            session.Step();
            if (!t.pending.empty() || session.Done()) continue;
            if (Clock::now() - std::max(quietSince, t.lastData) >= silence) break;
            pumpEvents();
        }
    }
    Raise(finalState);
    if (end == FetchEnd::CutOff) {
        DeleteReplyFile(sLocalFilePath);
        total = 0;
    }
    session.Stop();
    lastEnd_ = end;
    Raise(kStateFinished);
    return ClampToLong(total);
}

std::optional<std::u16string> FetchReplyTextVia(Cls_DownLoad& fetcher, std::u16string_view url,
                                                const std::string& path, Long lTimeOut) {
    // A service reply is small; a server that sends without end must not
    // fill the disk.
    const std::int64_t oldLimit = fetcher.ReplyLimit();
    fetcher.SetReplyLimit(kMaxReplyBytes);
    const Long got = fetcher.DLFile(url, path, lTimeOut);
    fetcher.SetReplyLimit(oldLimit);
    if (got == 0) return std::nullopt;
    if (fetcher.LastEnd() != FetchEnd::Complete) {
        // Part of a reply reads like a whole one with addresses missing.
        DeleteReplyFile(path);
        return std::nullopt;
    }
    return ReadReplyText(path);
}

}  // namespace tessel::web
