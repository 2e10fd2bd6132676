// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/aria2_reply.h"

#include <limits>

#include "text/codepage.h"
#include "text/json_nesting.h"

namespace tessel::handoff {
namespace {

using nlohmann::json;

Aria2Reply NotAria2(long httpStatus) {
    Aria2Reply reply;
    reply.status = Aria2Status::NotAria2;
    reply.error = "HTTP " + std::to_string(httpStatus) + "，回答不是 JSON-RPC";
    return reply;
}

// At most kMaxAria2ErrorBytes of `message`, never half a character.
std::string CutMessage(std::string message) {
    if (message.size() <= kMaxAria2ErrorBytes) return message;
    std::size_t end = 0;
    while (end < kMaxAria2ErrorBytes) {
        const std::size_t n = text::Utf8SequenceLength(std::string_view(message).substr(end));
        if (n == 0 || end + n > kMaxAria2ErrorBytes) break;
        end += n;
    }
    message.resize(end);
    message += "…";
    return message;
}

int ErrorCode(const json& error) {
    const auto it = error.find("code");
    if (it == error.end() || !it->is_number_integer()) return 0;
    if (it->is_number_unsigned()) {
        const auto code = it->get<std::uint64_t>();
        return code > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                      : static_cast<int>(code);
    }
    const auto code = it->get<std::int64_t>();
    if (code > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (code < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(code);
}

}  // namespace

Aria2Reply ReadAria2Reply(std::string_view body, long httpStatus, std::string_view id) {
    if (body.size() > kMaxAria2Reply) {
        Aria2Reply reply;
        reply.status = Aria2Status::NotAria2;
        reply.error = "回答过长";
        return reply;
    }
    if (!text::JsonNestingWithin(body, kMaxAria2Nesting)) return NotAria2(httpStatus);
    const json answer = json::parse(body, nullptr, false);
    if (!answer.is_object()) return NotAria2(httpStatus);

    const auto result = answer.find("result");
    const auto error = answer.find("error");
    const bool hasResult = result != answer.end();
    const bool hasError = error != answer.end();
    if (hasResult == hasError) return NotAria2(httpStatus);

    // A server that cannot read a request answers with a null id; ours are
    // always readable, but that error is still aria2's.
    const auto replyId = answer.find("id");
    const bool ours = replyId != answer.end() && replyId->is_string() && replyId->get<std::string>() == id;
    const bool nullId = replyId != answer.end() && replyId->is_null();
    if (!ours && !(hasError && nullId)) {
        Aria2Reply reply = NotAria2(httpStatus);
        reply.error = "回答的编号与请求不符";
        return reply;
    }

    if (hasResult) {
        Aria2Reply reply;
        reply.status = Aria2Status::Ok;
        reply.result = *result;
        return reply;
    }
    if (!error->is_object()) return NotAria2(httpStatus);
    return ReadAria2Fault(*error);
}

Aria2Reply ReadAria2Fault(const nlohmann::json& error) {
    Aria2Reply reply;
    reply.code = ErrorCode(error);
    if (const auto message = error.find("message"); message != error.end() && message->is_string())
        reply.error = CutMessage(message->get<std::string>());
    if (reply.error == "Unauthorized") {
        reply.status = Aria2Status::SecretRefused;
        return reply;
    }
    reply.status = Aria2Status::Error;
    if (reply.error.find_first_not_of(" \t\r\n") == std::string::npos)
        reply.error = "没有说明原因（错误代码 " + std::to_string(reply.code) + "）";
    return reply;
}

}  // namespace tessel::handoff
