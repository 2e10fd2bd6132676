// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/curl_url.h"

#include <algorithm>

#include "web/curl_session.h"

namespace tessel::web {

CurlUrl::CurlUrl(const std::string& address, unsigned flags) {
    CurlGlobalInit();
    url_.reset(curl_url());
    if (url_ && curl_url_set(url_.get(), CURLUPART_URL, address.c_str(), flags) != CURLUE_OK) url_.reset();
}

std::string CurlUrl::Part(CURLUPart part, unsigned flags) const {
    char* value = nullptr;
    if (!url_ || curl_url_get(url_.get(), part, &value, flags) != CURLUE_OK || !value) return {};
    std::string out(value);
    curl_free(value);
    return out;
}

bool CurlUrl::Set(CURLUPart part, const std::string& value) {
    return url_ && curl_url_set(url_.get(), part, value.c_str(), 0) == CURLUE_OK;
}

bool IsLoopbackHost(std::string host) {
    std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) { return std::tolower(c); });
    return host == "localhost" || host == "[::1]" || host == "::1" || host.starts_with("127.");
}

}  // namespace tessel::web
