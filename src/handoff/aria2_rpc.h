// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A JSON-RPC call to aria2, the download engine that takes over the tasks the
// download managers' automation objects were handed.  One blocking POST with
// a short bounded time-out; the secret goes first as "token:<secret>".

#include <chrono>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "handoff/aria2_reply.h"
#include "handoff/aria2_settings.h"
#include "text/codepage.h"

namespace tessel::web {
class RequestAbort;
}

namespace tessel::handoff {

inline constexpr std::chrono::milliseconds kAria2Timeout{4000};

// Calls `method` with the token (when a secret is set) followed by `params`,
// which must be a JSON array.  A raised `abort` ends the call at once (as
// NoAnswer).
Aria2Reply Aria2Call(const Aria2Settings& settings, std::string_view method, const nlohmann::json& params,
                     std::chrono::milliseconds timeout = kAria2Timeout,
                     const web::RequestAbort* abort = nullptr);

// One method call inside a system.multicall; `params` without the token.
struct Aria2MethodCall {
    std::string method;
    nlohmann::json params = nlohmann::json::array();
};

// The params of system.multicall for `calls`: one array of
// {"methodName", "params"} objects, each params led by the token when a
// secret is set (system.multicall itself takes none).
nlohmann::json Aria2MulticallParams(std::u16string_view secret, std::span<const Aria2MethodCall> calls);

// The answer to each of `count` calls from the answer to the multicall: a
// failed multicall fails every call the same way; a call aria2 answered with
// a fault gets aria2's code and message; an answer that is not what aria2
// sends reads as NotAria2.
std::vector<Aria2Reply> ReadMulticallReply(const Aria2Reply& whole, std::size_t count);

// Several calls in one request: one answer per call, in order.
std::vector<Aria2Reply> Aria2Multicall(const Aria2Settings& settings, std::span<const Aria2MethodCall> calls,
                                       std::chrono::milliseconds timeout = kAria2Timeout,
                                       const web::RequestAbort* abort = nullptr);

// A certificate file of the user's is a regular file of at most this size
// (the system's whole bundle is a quarter of it).
inline constexpr std::size_t kMaxAria2CaFileBytes = 4 * 1024 * 1024;
// Why the file `path` is no certificate file to hand to the TLS library, in
// Chinese naming Aria2CaFile; "" when it is one.
std::string CheckAria2CaFile(const std::string& path);

// The address the settings point to: the default when none is set.
std::u16string Aria2RpcAddress(const Aria2Settings& settings);

// The aria2c command that serves the configured address and secret.
std::u16string Aria2StartCommand(const Aria2Settings& settings);

// The link as aria2 gets it: the bytes of every non-ASCII character in the
// code page the address was read with, and every blank and control
// character, percent-escaped (upper-case hex); the rest as it stands,
// existing escapes included.  So a link's address reaches the server as the
// bytes the link carried, GBK or UTF-8, where aria2 would always escape UTF-8.
// A character GBK cannot hold goes as its UTF-8 bytes.
std::string EscapeLinkForAria2(std::u16string_view link, text::CodePage page = text::CodePage::Gbk);

}  // namespace tessel::handoff
