// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the browser extension sends the browser host, and what it answers.
//
// The browsers' native-messaging frames: a length of 4 bytes in the
// machine's own byte order, then that many bytes of UTF-8 JSON.  A request is
//
//   {"links": ["thunder://…", …], "page": "https://…"}
//
// and the answer {"ok": true, "count": N} or {"ok": false, "error": "…"}.
// Whatever arrives is bounded before it is believed: the frame, the number
// of links, each link and the nesting of the JSON, so a broken or hostile
// page behind the extension costs at most one frame of memory.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::bridge {

inline constexpr std::size_t kMaxHostMessageBytes = 1024 * 1024;
inline constexpr std::size_t kMaxHostLinks = 256;
// As for forwarded texts: no download address comes near this.
inline constexpr std::size_t kMaxHostLinkBytes = 64 * 1024;
// The request is two levels deep; room for a few more in fields we skip.
inline constexpr std::size_t kMaxHostJsonDepth = 16;

struct HostRequest {
    std::vector<std::string> links;  // UTF-8, none empty, none with NUL
    std::string page;                // the page the links were on; may be empty
};

// A request, or the reason (a short Chinese text for the answer) why not.
struct HostReading {
    std::optional<HostRequest> request;
    std::string error;
};

// Reads one frame's JSON.  Fields other than "links" and "page" are skipped.
HostReading ReadHostRequest(std::string_view json);

// The answers, as JSON text.
std::string HostAnswerOk(std::size_t count);
std::string HostAnswerError(std::string_view error);
// `json` with its length in front, ready to write.
std::string FrameHostMessage(std::string_view json);

// Cuts the incoming bytes into frames, however the reads split them.  A frame
// longer than kMaxHostMessageBytes is reported as soon as its length is read
// (so the browser is answered at once) and its bytes are passed over without
// being kept, so the frames after it still line up.
class HostFrames {
 public:
    struct Frame {
        std::string body;
        bool oversized = false;
    };

    // Appends every frame completed by `bytes` to `out`.
    void Feed(std::string_view bytes, std::vector<Frame>& out);
    // True when no frame is half read.
    bool AtBoundary() const { return part_ == Part::Length && header_.empty(); }

 private:
    enum class Part { Length, Body, Skip };
    Part part_ = Part::Length;
    std::string header_;
    std::string body_;
    std::uint64_t remaining_ = 0;
};

}  // namespace tessel::bridge
