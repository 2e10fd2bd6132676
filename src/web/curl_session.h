// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Our one way of talking HTTP, over libcurl: every request of the program
// (the page fetcher, the one-call download, the aria2 calls) is a
// CurlSession.  It sets up the handle the same way each time, keeps libcurl's
// global set-up in one place, bounds every request in time and lets another
// thread end it.

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace tessel::web {

inline constexpr const char* kUserAgent = "VB Http";

// No request of ours runs longer than this, whatever the server does (a
// reply dripping in a byte at a time included).
inline constexpr std::chrono::milliseconds kRequestTimeLimit{10000};

// How often a running request looks at its RequestAbort.
inline constexpr std::chrono::milliseconds kAbortPollInterval{20};

// Ends requests from any thread.  Once raised it stays raised: a request
// that watches it gives up within kAbortPollInterval, and a later one does
// not start.  Meant for a window that closes while a request runs.
class RequestAbort {
 public:
    void Raise() noexcept { raised_.store(true, std::memory_order_release); }
    void Clear() noexcept { raised_.store(false, std::memory_order_release); }
    bool Raised() const noexcept { return raised_.load(std::memory_order_acquire); }

 private:
    std::atomic<bool> raised_{false};
};

inline bool IsRaised(const RequestAbort* abort) { return abort && abort->Raised(); }

struct RequestLimits {
    // The whole request, from connecting to the last byte.  Values <= 0 mean
    // kRequestTimeLimit: there is no unbounded request.
    std::chrono::milliseconds total = kRequestTimeLimit;
    // Connecting alone; 0 means the total limit.
    std::chrono::milliseconds connect{0};
    // A reply that announces more than this is refused before any of it is
    // read; 0 means no bound.  Replies that do not announce their size are
    // bounded by the writer.
    std::int64_t maxBytes = 0;
};

// How a fetch into a file ended: Cls_DownLoad's block-wise fetch and the
// one-call download alike.
enum class FetchEnd {
    Complete,    // the server ended the reply properly, with every byte it announced
    NoReply,     // the URL could not be opened (the one-call download: nor read to its end)
    Broken,      // cut short: reset, fewer bytes than announced, silence
    TimedOut,    // the time limit ran out
    Stopped,     // DLFileStop
    Aborted,     // the caller's RequestAbort rose
    CutOff,      // past the reply limit
    FileFailed,  // the local file could not be written (or is a link)
    HttpError,   // the server answered with a status of 400 or above (the one-call download)
};

// libcurl's process-wide set-up, done once; false when it failed.
bool CurlGlobalInit();

class CurlSession {
 public:
    enum class Kind {
        // A GET as the web services get it: the agent kUserAgent, caches told
        // not to answer, redirects followed (10 at most), http, https and ftp
        // only, the proxy of the usual environment variables.
        WebGet,
        // A JSON-RPC POST to a local engine: http and https only, no
        // redirects, never through a proxy.
        JsonPost,
    };

    explicit CurlSession(Kind kind = Kind::WebGet);
    ~CurlSession();
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;

    // False when libcurl could not give us a handle.
    bool Ok() const { return easy_ != nullptr; }
    CURL* Handle() const { return easy_; }

    // Sets the address; false when libcurl refuses it outright.
    bool SetUrl(const std::string& wireUrl);
    void SetLimits(const RequestLimits& limits);
    // The body of a JsonPost (kept here until the request ends).
    void SetBody(std::string body);
    // Where the reply body goes (CURLOPT_WRITEFUNCTION and its data).
    void SetWriter(curl_write_callback write, void* user);

    // Runs the request to its end on this thread.  CURLE_ABORTED_BY_CALLBACK
    // when `abort` rose first.
    CURLcode Perform(const RequestAbort* abort = nullptr);

    // Step-wise use, for a caller that does other work between the steps:
    // Start, then Step and Wait until Done.
    bool Start();
    void Step();
    void Wait(std::chrono::milliseconds most);
    bool Done() const { return done_; }
    CURLcode Result() const { return result_; }
    // Ends the transfer where it is; Done stays as it was.
    void Stop();

 private:
    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    curl_slist* headers_ = nullptr;
    std::string body_;
    bool added_ = false;
    bool done_ = false;
    CURLcode result_ = CURLE_OK;
};

}  // namespace tessel::web
