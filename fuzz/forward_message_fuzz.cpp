// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes on the window's local socket, in pieces of any size: the reader
// must not crash, must give the same verdict however the bytes are cut, may
// only accept what the sender could have written (texts within the bounds),
// and an accepted message must read back from its own encoding.  The first
// input byte picks the piece sizes.
#include <cstdint>
#include <string>
#include <string_view>

#include "bridge/forward_message.h"
#include "check.h"
#include "text/codepage.h"

using tessel::bridge::EncodeForwardMessage;
using tessel::bridge::ForwardReader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 17;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    ForwardReader whole;
    whole.Feed(bytes);
    ForwardReader cut;
    for (std::size_t at = 0; at < bytes.size(); at += piece) cut.Feed(bytes.substr(at, piece));
    FUZZ_CHECK(whole.Status() == cut.Status());
    FUZZ_CHECK(whole.Items() == cut.Items());

    if (whole.Status() == ForwardReader::State::Done) {
        FUZZ_CHECK(whole.Items().size() <= tessel::bridge::kMaxForwardItems);
        std::size_t total = 0;
        for (const std::string& item : whole.Items()) {
            FUZZ_CHECK(item.size() <= tessel::bridge::kMaxForwardItemBytes);
            FUZZ_CHECK(item.find('\0') == std::string::npos);
            FUZZ_CHECK(tessel::text::IsValidUtf8(item));
            total += item.size();
        }
        FUZZ_CHECK(total <= tessel::bridge::kMaxForwardBytes);
        const auto again = EncodeForwardMessage(whole.Items());
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(*again == bytes);
    } else {
        FUZZ_CHECK(whole.Items().empty());
    }
    return 0;
}
