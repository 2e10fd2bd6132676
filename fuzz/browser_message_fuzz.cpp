// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes on the browser host's standard input, in pieces of any size: the
// frames must come out the same however the bytes are cut, and a request the
// reader accepts must keep every bound the host promises the window.  The
// first input byte picks the piece size; the rest is the stream.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/host_message.h"
#include "check.h"
#include "text/codepage.h"

using tessel::bridge::HostFrames;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 13;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::vector<HostFrames::Frame> whole;
    HostFrames whole_reader;
    whole_reader.Feed(bytes, whole);
    std::vector<HostFrames::Frame> cut;
    HostFrames cut_reader;
    for (std::size_t at = 0; at < bytes.size(); at += piece) cut_reader.Feed(bytes.substr(at, piece), cut);
    FUZZ_CHECK(whole.size() == cut.size());
    FUZZ_CHECK(whole_reader.AtBoundary() == cut_reader.AtBoundary());

    // The stream itself read as one message's JSON too, so the reader sees
    // inputs the frames would rarely give it.
    std::vector<std::string> bodies{std::string(bytes)};
    for (std::size_t i = 0; i < whole.size(); ++i) {
        FUZZ_CHECK(whole[i].body == cut[i].body && whole[i].oversized == cut[i].oversized);
        FUZZ_CHECK(whole[i].body.size() <= tessel::bridge::kMaxHostMessageBytes);
        if (!whole[i].oversized) bodies.push_back(whole[i].body);
    }
    for (const std::string& body : bodies) {
        const tessel::bridge::HostReading r = tessel::bridge::ReadHostRequest(body);
        FUZZ_CHECK(r.request.has_value() == r.error.empty());
        if (!r.request) continue;
        FUZZ_CHECK(!r.request->links.empty() && r.request->links.size() <= tessel::bridge::kMaxHostLinks);
        for (const std::string& link : r.request->links) {
            FUZZ_CHECK(!link.empty() && link.size() <= tessel::bridge::kMaxHostLinkBytes);
            FUZZ_CHECK(link.find('\0') == std::string::npos && tessel::text::IsValidUtf8(link));
        }
        FUZZ_CHECK(tessel::text::IsValidUtf8(r.request->page));
    }
    return 0;
}
