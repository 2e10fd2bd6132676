// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every request of ours shares, over libcurl.  Private to this library.

#include <curl/curl.h>

#include <string>

namespace tessel::web::detail {

inline constexpr const char* kUserAgent = "VB Http";

// One easy handle with our common request settings: GET, the agent name,
// no cache on the way, redirects followed, http/https/ftp only, the proxy of
// the usual environment variables (libcurl's default).
class CurlRequest {
 public:
    CurlRequest();
    ~CurlRequest();
    CurlRequest(const CurlRequest&) = delete;
    CurlRequest& operator=(const CurlRequest&) = delete;

    // False when libcurl could not give us a handle.
    bool ok() const { return easy_ != nullptr; }
    CURL* get() const { return easy_; }

    // Sets the address; false when libcurl refuses it outright.
    bool SetUrl(const std::string& wireUrl);

 private:
    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;
};

}  // namespace tessel::web::detail
