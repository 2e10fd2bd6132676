// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// An address as libcurl reads it, for code that checks or changes its parts
// (the scheme, host and port of aria2's JSON-RPC address).

#include <curl/curl.h>

#include <memory>
#include <string>

namespace tessel::web {

class CurlUrl {
 public:
    // `address` (UTF-8) as libcurl reads it with `flags` (CURLU_GUESS_SCHEME:
    // "localhost:6800/jsonrpc" is taken as http); false when it cannot.
    explicit CurlUrl(const std::string& address, unsigned flags = 0);

    explicit operator bool() const { return url_ != nullptr; }

    // One part, "" when the address has none; `flags` as curl_url_get takes
    // them (CURLU_DEFAULT_PORT: the scheme's port when none is written).
    std::string Part(CURLUPart part, unsigned flags = 0) const;
    bool Set(CURLUPart part, const std::string& value);

 private:
    struct Free {
        void operator()(CURLU* url) const { curl_url_cleanup(url); }
    };
    std::unique_ptr<CURLU, Free> url_;
};

// Whether a host as libcurl gives it is this machine: localhost, [::1] or
// 127.0.0.0/8, in any case.
bool IsLoopbackHost(std::string host);

}  // namespace tessel::web
