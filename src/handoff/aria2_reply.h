// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What aria2 answered to a JSON-RPC call, read from the reply's bytes alone:
// the one reader of aria2's answers, however the call was made.

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace tessel::handoff {

enum class Aria2Status {
    Ok,             // result holds aria2's answer
    NoAnswer,       // nothing answered at the address (refused, timed out, bad address)
    Certificate,    // https:// whose certificate was refused, or Aria2CaFile unusable
    NotAria2,       // something answered, but not with a JSON-RPC reply
    SecretRefused,  // aria2 answered "Unauthorized"
    Error,          // aria2 answered with another error
};

struct Aria2Reply {
    Aria2Status status = Aria2Status::NoAnswer;
    nlohmann::json result;  // the "result" member when Ok
    std::string error;      // what went wrong, in Chinese for transport failures, aria2's own words otherwise
    int code = 0;           // aria2's error code
};

// The id every call of ours carries; a reply with another one answers
// somebody else's question.
inline constexpr std::string_view kAria2CallId = "tessel";

// aria2's replies are a few hundred bytes; anything this big is not aria2.
inline constexpr std::size_t kMaxAria2Reply = 1024 * 1024;
// aria2's own replies nest a handful of levels (a task's files, their
// addresses); a deeper one is not aria2's and could not be copied safely.
inline constexpr std::size_t kMaxAria2Nesting = 32;
// aria2's error messages are one line; a longer one is cut to this many
// bytes (at a character's end) and ends in "…".
inline constexpr std::size_t kMaxAria2ErrorBytes = 2000;

// Reads the body of aria2's HTTP reply (status `httpStatus`) to the call
// with id `id`.  Never fails: what is not a JSON-RPC reply to that call
// (not JSON, nested too deep, another id, both or neither of "result" and
// "error") is NotAria2; an error always comes with a message that is not
// empty.
Aria2Reply ReadAria2Reply(std::string_view body, long httpStatus, std::string_view id = kAria2CallId);

// An "error" object of aria2's (a reply's, or one call's inside a
// system.multicall) read the same way: SecretRefused for "Unauthorized",
// else Error with a message that is not empty.
Aria2Reply ReadAria2Fault(const nlohmann::json& error);

}  // namespace tessel::handoff
