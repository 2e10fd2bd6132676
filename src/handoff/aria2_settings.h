// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where aria2's JSON-RPC is and how to reach it, as the settings hold it.
// Apart from the call itself, so the window's settings table can name the
// default without pulling in the JSON library.

#include <string>
#include <string_view>
#include <utility>

namespace tessel::handoff {

// Settings, group "services".
inline constexpr std::u16string_view kAria2RpcKey = u"Aria2Rpc";
inline constexpr std::u16string_view kAria2RpcDefault = u"http://127.0.0.1:6800/jsonrpc";
inline constexpr std::u16string_view kAria2SecretKey = u"Aria2Secret";
// A certificate file to trust for an https:// address (a self-signed aria2 on
// another machine); empty: the system's certificate authorities.
inline constexpr std::u16string_view kAria2CaFileKey = u"Aria2CaFile";

struct Aria2Settings {
    Aria2Settings() = default;
    Aria2Settings(std::u16string rpcAddress, std::u16string rpcSecret, std::u16string caFileName = {})
        : rpc(std::move(rpcAddress)), secret(std::move(rpcSecret)), caFile(std::move(caFileName)) {}

    std::u16string rpc{kAria2RpcDefault};  // an empty address means the default
    std::u16string secret;                 // empty: aria2 runs without --rpc-secret
    std::u16string caFile;                 // certificate file trusted for https://
};

}  // namespace tessel::handoff
