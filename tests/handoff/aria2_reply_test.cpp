// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/aria2_reply.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace tessel::handoff {
namespace {

std::string Nested(std::size_t levels, std::string_view inner = "1") {
    return std::string(levels, '[') + std::string(inner) + std::string(levels, ']');
}

struct HostileReply {
    const char* name;
    std::string body;
    Aria2Status status;
    std::string says;  // a piece of the error text
};

// What a hostile or confused server at aria2's address may send.  None of it
// may crash the reader or pass for an answer to our call, and every failure
// has words to show.
TEST(Aria2Reply, HostileRepliesAreNotTakenForAria2s) {
    const std::string deepResult = R"({"jsonrpc":"2.0","id":"tessel","result":)" + Nested(80000) + "}";
    const std::string deepError =
        R"({"id":"tessel","error":{"code":1,"message":"x","data":)" + Nested(5000) + "}}";
    const std::string longMessage =
        R"({"id":"tessel","error":{"code":1,"message":")" + std::string(1024 * 1024 - 100, 'x') + "\"}}";
    const std::vector<HostileReply> rows = {
        {"nested 80000 levels", deepResult, Aria2Status::NotAria2, "HTTP 200，回答不是 JSON-RPC"},
        {"error data nested 5000 levels", deepError, Aria2Status::NotAria2, "不是 JSON-RPC"},
        {"over the size limit", std::string(kMaxAria2Reply + 1, ' '), Aria2Status::NotAria2, "回答过长"},
        {"another call's id", R"({"id":"other","result":"2089b05e"})", Aria2Status::NotAria2, "编号"},
        {"a number for an id", R"({"id":7,"result":"2089b05e"})", Aria2Status::NotAria2, "编号"},
        {"no id", R"({"result":"2089b05e"})", Aria2Status::NotAria2, "编号"},
        {"null id with a result", R"({"id":null,"result":"2089b05e"})", Aria2Status::NotAria2, "编号"},
        {"result and error", R"({"id":"tessel","result":"1","error":{"code":1,"message":"m"}})",
         Aria2Status::NotAria2, "不是 JSON-RPC"},
        {"neither", R"({"id":"tessel","jsonrpc":"2.0"})", Aria2Status::NotAria2, "不是 JSON-RPC"},
        {"error not an object", R"({"id":"tessel","error":"boom"})", Aria2Status::NotAria2, "不是 JSON-RPC"},
        {"an array", R"([{"id":"tessel","result":"1"}])", Aria2Status::NotAria2, "不是 JSON-RPC"},
        {"invalid UTF-8", "{\"id\":\"tessel\",\"error\":{\"message\":\"\xff\"}}", Aria2Status::NotAria2,
         "不是 JSON-RPC"},
        {"error without a message", R"({"id":"tessel","error":{"code":7}})", Aria2Status::Error,
         "错误代码 7"},
        {"empty message", R"({"id":"tessel","error":{"code":1,"message":""}})", Aria2Status::Error,
         "错误代码 1"},
        {"blank message", R"({"id":"tessel","error":{"code":1,"message":" \n "}})", Aria2Status::Error,
         "错误代码 1"},
        {"message not text", R"({"id":"tessel","error":{"code":2,"message":["x"]}})", Aria2Status::Error,
         "错误代码 2"},
        {"code beyond int", R"({"id":"tessel","error":{"code":99999999999999}})", Aria2Status::Error,
         "错误代码 2147483647"},
        {"error with a null id", R"({"id":null,"error":{"code":-32700,"message":"Parse error."}})",
         Aria2Status::Error, "Parse error."},
        {"1 MB message", longMessage, Aria2Status::Error, "xxx…"},
    };
    for (const HostileReply& row : rows) {
        SCOPED_TRACE(row.name);
        const Aria2Reply reply = ReadAria2Reply(row.body, 200);
        EXPECT_EQ(reply.status, row.status);
        EXPECT_NE(reply.error.find(row.says), std::string::npos) << reply.error.substr(0, 200);
        EXPECT_LE(reply.error.size(), kMaxAria2ErrorBytes + 3);
        EXPECT_TRUE(text::IsValidUtf8(reply.error));
    }
}

TEST(Aria2Reply, AnswersToOurCallAreRead) {
    const Aria2Reply ok =
        ReadAria2Reply(R"({"jsonrpc":"2.0","id":"tessel","result":"2089b05ecca3d829"})", 200);
    EXPECT_EQ(ok.status, Aria2Status::Ok);
    EXPECT_EQ(ok.result, "2089b05ecca3d829");
    // A task's status nests a few levels: files, then their addresses.
    const Aria2Reply status = ReadAria2Reply(
        R"({"id":"tessel","result":{"files":[{"uris":[{"uri":"http://a.test/[1]","status":"used"}]}]}})",
        200);
    EXPECT_EQ(status.status, Aria2Status::Ok);
    EXPECT_EQ(status.result["files"][0]["uris"][0]["uri"], "http://a.test/[1]");
    EXPECT_EQ(ReadAria2Reply(R"({"id":"tessel","error":{"code":1,"message":"Unauthorized"}})", 400).status,
              Aria2Status::SecretRefused);
    // The cut keeps whole characters.
    std::string message;
    for (int i = 0; i < 1000; ++i) message += "错";
    const Aria2Reply cut = ReadAria2Reply(R"({"id":"tessel","error":{"message":")" + message + "\"}}", 400);
    EXPECT_TRUE(text::IsValidUtf8(cut.error));
    EXPECT_TRUE(cut.error.ends_with("错…"));
}

}  // namespace
}  // namespace tessel::handoff
