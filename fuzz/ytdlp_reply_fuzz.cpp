// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as what a yt-dlp (or a program pretending to be one) printed:
// the report reader must neither crash nor recurse without bound, and what it
// keeps is fit for the box and for aria2's header lines.
#include <cstdint>
#include <string_view>

#include "check.h"
#include "web/ytdlp_reply.h"

using namespace tessel;

namespace {

bool OneLine(std::string_view s) {
    for (unsigned char c : s) {
        if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const web::YtDlpReply reply =
        web::ReadYtDlpReply(std::string_view(reinterpret_cast<const char*>(data), size));
    FUZZ_CHECK(reply.ok == !reply.media.empty());
    FUZZ_CHECK(reply.ok == reply.error.empty());
    for (const web::YtDlpMedia& m : reply.media) {
        FUZZ_CHECK(!m.address.empty());
        for (char16_t c : m.address) FUZZ_CHECK(c >= 0x20 || c == u'\t');
        FUZZ_CHECK(OneLine(m.headers.referer) && OneLine(m.headers.userAgent) && OneLine(m.headers.cookie));
        for (const std::string& line : m.headers.other)
            FUZZ_CHECK(OneLine(line) && line.find(": ") != line.npos);
    }
    return 0;
}
