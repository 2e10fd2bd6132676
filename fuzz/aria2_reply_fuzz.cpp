// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the body of what answered at aria2's address: the reader must
// neither crash nor recurse without bound, and keeps its promises about
// what it gives back.
#include <cstdint>
#include <string_view>

#include "check.h"
#include "handoff/aria2_reply.h"
#include "text/codepage.h"

using namespace tessel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const handoff::Aria2Reply reply = handoff::ReadAria2Reply(body, 200);
    switch (reply.status) {
        case handoff::Aria2Status::Ok:
            FUZZ_CHECK(reply.error.empty());
            // What a caller does with a result: copy, compare and print it.
            FUZZ_CHECK(nlohmann::json(reply.result) == reply.result);
            FUZZ_CHECK(!reply.result.dump().empty());
            break;
        case handoff::Aria2Status::NotAria2:
        case handoff::Aria2Status::SecretRefused:
        case handoff::Aria2Status::Error:
            FUZZ_CHECK(!reply.error.empty());
            FUZZ_CHECK(reply.error.size() <= handoff::kMaxAria2ErrorBytes + 3);
            FUZZ_CHECK(text::IsValidUtf8(reply.error));
            break;
        case handoff::Aria2Status::NoAnswer:
        case handoff::Aria2Status::Certificate:
            FUZZ_CHECK(false);  // the body alone never says that
    }
    return 0;
}
