// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The status line's words for the outside services: what is being asked,
// and, when it went wrong, which host did not answer, within which time,
// and which setting points the program elsewhere.

#include <QString>
#include <chrono>
#include <string>

#include "web/curl_session.h"

namespace tessel::shell {

struct SettingKey;

// One service as the user can find it: what it is called, the address it
// was asked at, and the setting that holds that address (null for an
// address the user typed).
struct ServiceRef {
    QString what;
    std::u16string address;
    const SettingKey* key = nullptr;
};

// The host of `address` ("www.example.com:8080"), or the address itself
// when it has none.
QString HostOf(std::u16string_view address);

// What the status line says of a fetch that ended as `end` (nothing for one
// that completed, was stopped or was aborted).  `limit` is the whole
// request's time limit; `silence` the time the server may keep still before
// it counts as not answering, zero for a request bounded only as a whole
// (the one-call download).
QString FailureText(const ServiceRef& service, web::FetchEnd end, std::chrono::milliseconds limit,
                    std::chrono::milliseconds silence = std::chrono::milliseconds{0});

// A click that came while the page's request still runs.
QString BusyRefusalText(const QString& what);

}  // namespace tessel::shell
