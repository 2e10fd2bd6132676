// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The message a later start of the program sends to the running one: the
// texts of its command line, nothing else.  Whatever arrives is read as a
// list of texts (never as commands) and bounded in size, so a hostile or
// broken peer can cost at most kMaxForwardBytes of memory.
//
//   "TSL1"  item count (4 bytes, big-endian)
//   per item: length in bytes (4 bytes, big-endian), then that many bytes
//             of UTF-8 without NUL
//
// An empty list asks only to bring the window to the front.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::bridge {

inline constexpr std::string_view kForwardMagic = "TSL1";
inline constexpr std::size_t kMaxForwardItems = 256;
// No download address comes near this; a longer text is not a link.
inline constexpr std::size_t kMaxForwardItemBytes = 64 * 1024;
inline constexpr std::size_t kMaxForwardBytes = 1024 * 1024;

// The message for `items`, or nothing when it would break one of the bounds
// above or an item is not UTF-8 text.
std::optional<std::string> EncodeForwardMessage(const std::vector<std::string>& items);

// Reads one message as it arrives in pieces of any size.
class ForwardReader {
 public:
    enum class State { NeedMore, Done, Refused };

    // Takes the next bytes.  Once Done or Refused, further bytes refuse the
    // message (a peer sends one message per connection).
    State Feed(std::string_view bytes);
    State Status() const { return state_; }
    // The texts once Done; none before (half a message is never handed out)
    // and none once Refused.
    const std::vector<std::string>& Items() const;
    // Why the message was refused, for the log of a test.
    std::string_view Reason() const { return reason_; }

 private:
    State Refuse(std::string_view why);
    bool TakeHeader(std::string_view& bytes, std::size_t want);
    std::uint32_t HeaderValue() const;

    enum class Part { Magic, Count, Length, Body };
    Part part_ = Part::Magic;
    State state_ = State::NeedMore;
    std::string header_;  // up to 4 bytes of the field being read
    std::string body_;    // the item being read
    std::size_t count_ = 0;
    std::size_t length_ = 0;
    std::size_t total_ = 0;
    std::vector<std::string> items_;
    std::string_view reason_;
};

}  // namespace tessel::bridge
