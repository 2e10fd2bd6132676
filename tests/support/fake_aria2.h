// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A JSON-RPC endpoint that answers as aria2 does, for the window tests: the
// probe (aria2.getVersion), and system.multicall, whose calls are each
// answered and recorded as if made alone, so a test sees the aria2.addUri
// calls that reached it.  A call without the secret is refused as aria2
// refuses it.

#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/loopback_http.h"

namespace tessel::testsupport {

class FakeAria2 {
 public:
    explicit FakeAria2(std::string secret, std::string gid = "2089b05ecca3d829")
        : token_(secret.empty() ? std::string() : "token:" + secret), gid_(std::move(gid)) {
        http_.server().Post("/jsonrpc", [this](const httplib::Request& req, httplib::Response& res) {
            using nlohmann::json;
            const json call = json::parse(req.body, nullptr, false);
            json answer = {{"jsonrpc", "2.0"}, {"id", call.is_object() ? call.value("id", json()) : json()}};
            const std::string method = call.is_object() ? call.value("method", "") : "";
            if (method == "system.multicall") {
                json results = json::array();
                for (const json& inner : call["params"][0]) {
                    const json one = {{"method", inner["methodName"]}, {"params", inner["params"]}};
                    const json fault = Refusal(one);
                    if (fault.is_null()) Record(one);
                    results.push_back(fault.is_null() ? json::array({gid_}) : fault);
                }
                answer["result"] = results;
            } else if (const json fault = Refusal(call); !fault.is_null()) {
                answer["error"] = fault;
            } else {
                answer["result"] = method == "aria2.getVersion" ? json{{"version", "1.36.0"}} : json(gid_);
                if (method != "aria2.getVersion") Record(call);
            }
            res.set_content(answer.dump(), "application/json");
        });
        http_.Start();
    }

    AddressText Rpc() const { return http_.Base() + ToAddressText("/jsonrpc"); }
    std::vector<nlohmann::json> Calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }

 private:
    nlohmann::json Refusal(const nlohmann::json& call) const {
        const nlohmann::json params =
            call.is_object() ? call.value("params", nlohmann::json::array()) : nlohmann::json::array();
        if (token_.empty() || (!params.empty() && params[0] == token_)) return nullptr;
        return {{"code", 1}, {"message", "Unauthorized"}};
    }
    void Record(const nlohmann::json& call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
    }

    std::string token_;
    std::string gid_;
    LoopbackHttp http_;
    std::mutex mutex_;
    std::vector<nlohmann::json> calls_;
};

}  // namespace tessel::testsupport
