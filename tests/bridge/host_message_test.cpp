// SPDX-License-Identifier: GPL-3.0-or-later
// The browser host's reader: what the extension sends is taken, anything
// oversized, malformed or of the wrong shape is refused with a reason, and
// frames line up however the reads cut the stream.
#include "bridge/host_message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tessel::bridge {
namespace {

struct RequestCase {
    const char* name;
    std::string json;
    std::vector<std::string> links;  // empty: refused
    std::string error;               // a piece of the reason when refused
};

std::string Links(std::size_t count, std::size_t length) {
    std::string json = R"({"links":[)";
    for (std::size_t i = 0; i < count; ++i) {
        if (i) json += ',';
        json += '"' + std::string(length, 'a') + '"';
    }
    return json + "]}";
}

std::string Nested(std::size_t depth) {
    return R"({"links":["x"],"extra":)" + std::string(depth, '[') + std::string(depth, ']') + "}";
}

class HostRequestTest : public testing::TestWithParam<RequestCase> {};

TEST_P(HostRequestTest, TakesWhatTheExtensionSendsAndRefusesTheRest) {
    const RequestCase& c = GetParam();
    const HostReading r = ReadHostRequest(c.json);
    if (c.links.empty()) {
        EXPECT_FALSE(r.request.has_value());
        EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
    } else {
        ASSERT_TRUE(r.request.has_value()) << r.error;
        EXPECT_EQ(r.request->links, c.links);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostRequestTest,
    testing::Values(
        RequestCase{"good",
                    R"({"links":["thunder://QUFodHRwOi8vYS9aWg==/","magnet:?xt=1"],"page":"http://p/"})",
                    {"thunder://QUFodHRwOi8vYS9aWg==/", "magnet:?xt=1"},
                    ""},
        RequestCase{"chinese_and_unknown_fields",
                    R"({"v":{"a":[1,null,true]},"links":["http://a/下载.zip"]})",
                    {"http://a/下载.zip"},
                    ""},
        RequestCase{"most_links", Links(256, 10), std::vector<std::string>(256, std::string(10, 'a')), ""},
        RequestCase{"longest_link", Links(1, 64 * 1024), {std::string(64 * 1024, 'a')}, ""},
        RequestCase{"too_many_links", Links(257, 1), {}, "256"},
        RequestCase{"link_too_long", Links(1, 64 * 1024 + 1), {}, "64 KiB"},
        RequestCase{"message_too_long", Links(1, 1024 * 1024), {}, "1 MiB"},
        RequestCase{"not_json", "{links:", {}, "JSON"},
        RequestCase{"trailing_garbage", R"({"links":["x"]} x)", {}, "JSON"},
        RequestCase{"bad_utf8_in_string", "{\"links\":[\"http://a/\xc4\xe3\"]}", {}, "UTF-8"},
        RequestCase{"lone_surrogate", R"({"links":["\ud800"]})", {}, "JSON"},
        RequestCase{"not_an_object", R"(["x"])", {}, "对象"},
        RequestCase{"no_links", R"({"page":"http://p/"})", {}, "没有链接"},
        RequestCase{"links_twice", R"({"links":["a"],"links":["b"]})", {}, "两次"},
        RequestCase{"links_not_list", R"({"links":"http://a/"})", {}, "列表"},
        RequestCase{"link_not_text", R"({"links":["a",{"b":1}]})", {}, "列表"},
        RequestCase{"empty_link", R"({"links":[""]})", {}, "空"},
        RequestCase{"nul_in_link", R"({"links":["a\u0000b"]})", {}, "空字符"},
        RequestCase{"page_not_text", R"({"links":["a"],"page":[1]})", {}, "page"},
        RequestCase{"deep_but_allowed", Nested(kMaxHostJsonDepth - 1), {"x"}, ""},
        RequestCase{"too_deep", Nested(100000), {}, "嵌套"}),
    [](const testing::TestParamInfo<RequestCase>& info) { return std::string(info.param.name); });

std::string Frame(std::uint32_t length, std::string_view body) {
    std::string out(4, '\0');
    std::memcpy(out.data(), &length, 4);
    return out.append(body);
}

TEST(HostFrames, LineUpHoweverTheStreamIsCut) {
    const std::string big(kMaxHostMessageBytes + 1, 'x');
    const std::string stream = Frame(2, "{}") + Frame(static_cast<std::uint32_t>(big.size()), big) +
                               Frame(0, "") + FrameHostMessage(R"({"links":["a"]})");
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{4096}, stream.size()}) {
        HostFrames frames;
        std::vector<HostFrames::Frame> out;
        for (std::size_t at = 0; at < stream.size(); at += piece)
            frames.Feed(std::string_view(stream).substr(at, piece), out);
        ASSERT_EQ(out.size(), 4u) << "pieces of " << piece;
        EXPECT_EQ(out[0].body, "{}");
        EXPECT_TRUE(out[1].oversized);
        EXPECT_TRUE(out[1].body.empty()) << "an oversized body is never kept";
        EXPECT_EQ(out[2].body, "");
        EXPECT_EQ(out[3].body, R"({"links":["a"]})");
        EXPECT_TRUE(frames.AtBoundary());
    }
}

TEST(HostFrames, OversizedIsReportedAsSoonAsItsLengthArrives) {
    HostFrames frames;
    std::vector<HostFrames::Frame> out;
    frames.Feed(Frame(0xFFFFFFFFu, "xyz"), out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(out[0].oversized);
    EXPECT_FALSE(frames.AtBoundary());
}

}  // namespace
}  // namespace tessel::bridge
