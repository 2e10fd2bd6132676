// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/curl_session.h"

#include <mutex>

namespace tessel::web::detail {
namespace {

bool GlobalInit() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ok;
}

}  // namespace

CurlRequest::CurlRequest() {
    if (!GlobalInit()) return;
    easy_ = curl_easy_init();
    if (!easy_) return;
    headers_ = curl_slist_append(headers_, "Cache-Control: no-cache");
    if (headers_) {
        curl_slist* more = curl_slist_append(headers_, "Pragma: no-cache");
        if (more) headers_ = more;
    }
    bool set = headers_ != nullptr;
    set = set && curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_) == CURLE_OK;
    set = set && curl_easy_setopt(easy_, CURLOPT_USERAGENT, kUserAgent) == CURLE_OK;
    set = set && curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L) == CURLE_OK;
    set = set && curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    set = set && curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, 10L) == CURLE_OK;
    set = set && curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https,ftp") == CURLE_OK;
    set = set && curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp") == CURLE_OK;
    // No signals: the resolver runs in its own thread and must not touch ours.
    set = set && curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    if (!set) {
        curl_easy_cleanup(easy_);
        easy_ = nullptr;
    }
}

CurlRequest::~CurlRequest() {
    if (easy_) curl_easy_cleanup(easy_);
    curl_slist_free_all(headers_);
}

bool CurlRequest::SetUrl(const std::string& wireUrl) {
    return easy_ && curl_easy_setopt(easy_, CURLOPT_URL, wireUrl.c_str()) == CURLE_OK;
}

}  // namespace tessel::web::detail
