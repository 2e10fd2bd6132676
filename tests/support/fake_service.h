// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A stand-in for an outside web service behind a ReplyFetch: it notes every
// address it is asked and answers each with `reply` (none: the fetch failed).

#include <optional>
#include <string>
#include <vector>

#include "web/services.h"

namespace tessel::testsupport {

struct FakeService {
    std::vector<std::u16string> asked;
    std::optional<std::u16string> reply;

    web::ReplyFetch Fetch() {
        return [this](const std::u16string& url) {
            asked.push_back(url);
            return reply;
        };
    }
};

}  // namespace tessel::testsupport
