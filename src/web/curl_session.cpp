// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/curl_session.h"

#include <algorithm>
#include <mutex>

namespace tessel::web {

bool CurlGlobalInit() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ok;
}

CurlSession::CurlSession(Kind kind) {
    if (!CurlGlobalInit()) return;
    easy_ = curl_easy_init();
    if (!easy_) return;
    const bool web = kind == Kind::WebGet;
    const char* const lines[] = {web ? "Cache-Control: no-cache" : "Content-Type: application/json",
                                 web ? "Pragma: no-cache" : nullptr};
    bool set = true;
    for (const char* line : lines) {
        if (!line) continue;
        curl_slist* more = curl_slist_append(headers_, line);
        set = set && more != nullptr;
        if (more) headers_ = more;
    }
    const char* protocols = web ? "http,https,ftp" : "http,https";
    set = set && curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_) == CURLE_OK;
    set = set && curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, protocols) == CURLE_OK;
    // No signals: the resolver runs in its own thread and must not touch ours.
    set = set && curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    if (web) {
        set = set && curl_easy_setopt(easy_, CURLOPT_USERAGENT, kUserAgent) == CURLE_OK;
        set = set && curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L) == CURLE_OK;
        set = set && curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
        set = set && curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, 10L) == CURLE_OK;
        set = set && curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, protocols) == CURLE_OK;
    } else {
        // The engine is reached directly, whatever the proxy variables say.
        set = set && curl_easy_setopt(easy_, CURLOPT_PROXY, "") == CURLE_OK;
    }
    if (!set) {
        curl_easy_cleanup(easy_);
        easy_ = nullptr;
        return;
    }
    SetLimits({});
}

CurlSession::~CurlSession() {
    Stop();
    if (multi_) curl_multi_cleanup(multi_);
    if (easy_) curl_easy_cleanup(easy_);
    curl_slist_free_all(headers_);
}

bool CurlSession::SetUrl(const std::string& wireUrl) {
    return easy_ && curl_easy_setopt(easy_, CURLOPT_URL, wireUrl.c_str()) == CURLE_OK;
}

void CurlSession::SetLimits(const RequestLimits& limits) {
    if (!easy_) return;
    const auto total = limits.total.count() > 0 ? limits.total : kRequestTimeLimit;
    const auto connect = limits.connect.count() > 0 ? std::min(limits.connect, total) : total;
    curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS, static_cast<long>(total.count()));
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect.count()));
    curl_easy_setopt(easy_, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
}

void CurlSession::SetBody(std::string body) {
    if (!easy_) return;
    body_ = std::move(body);
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, body_.c_str());
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
}

void CurlSession::SetWriter(curl_write_callback write, void* user) {
    if (!easy_) return;
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, write);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, user);
}

bool CurlSession::Start() {
    if (!easy_ || added_) return false;
    if (!multi_) multi_ = curl_multi_init();
    if (!multi_) return false;
    done_ = false;
    result_ = CURLE_OK;
    added_ = curl_multi_add_handle(multi_, easy_) == CURLM_OK;
    return added_;
}

void CurlSession::Step() {
    if (!added_ || done_) return;
    int running = 0;
    curl_multi_perform(multi_, &running);
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
        if (msg->msg == CURLMSG_DONE) {
            done_ = true;
            result_ = msg->data.result;
        }
    }
}

void CurlSession::Wait(std::chrono::milliseconds most) {
    if (added_ && !done_) curl_multi_poll(multi_, nullptr, 0, static_cast<int>(most.count()), nullptr);
}

void CurlSession::Stop() {
    if (!added_) return;
    curl_multi_remove_handle(multi_, easy_);
    added_ = false;
}

CURLcode CurlSession::Perform(const RequestAbort* abort) {
    if (!easy_) return CURLE_FAILED_INIT;
    if (IsRaised(abort)) return CURLE_ABORTED_BY_CALLBACK;
    if (!Start()) return CURLE_FAILED_INIT;
    Step();
    while (!done_) {
        if (IsRaised(abort)) {
            Stop();
            return CURLE_ABORTED_BY_CALLBACK;
        }
        Wait(kAbortPollInterval);
        Step();
    }
    Stop();
    return result_;
}

}  // namespace tessel::web
