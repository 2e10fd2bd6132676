// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/download_to_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "http_server.h"

namespace tessel::web {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;

class DownloadToFileTest : public ::testing::Test {
 protected:
    testing::LocalServer server;
    testing::ScratchDir dir;
    std::string file = dir / "flv.ini";
};

TEST_F(DownloadToFileTest, SavesTheWholeReply) {
    testing::WriteAll(file, std::string(5000, 'x'));
    EXPECT_EQ(DownloadToFile(server.Url("/echo"), file), FetchEnd::Complete);
    EXPECT_EQ(ReadAll(file), "VB Http|no-cache|no-cache|/echo");
    EXPECT_EQ(DownloadToFile(server.Url("/chunked/3000"), file), FetchEnd::Complete);
    EXPECT_EQ(ReadAll(file), testing::Pattern(3000));
    EXPECT_EQ(DownloadToFile(server.Url("/data/0"), file), FetchEnd::Complete);
    EXPECT_TRUE(fs::exists(file) && fs::file_size(file) == 0);
}

TEST_F(DownloadToFileTest, FailuresLeaveNoReplyBehind) {
    // Past the bound, announced or not: one is refused from its headers, the
    // other while it streams.
    const std::string overBound = "/data/" + std::to_string(kMaxReplyBytes + 1);
    const struct {
        std::u16string url;
        FetchEnd result;
    } rows[] = {
        {testing::ClosedPortUrl(), FetchEnd::NoReply}, {u"not an address", FetchEnd::NoReply},
        {server.Url("/gone"), FetchEnd::HttpError},    {server.Url("/mute"), FetchEnd::TimedOut},
        {server.Url(overBound), FetchEnd::CutOff},     {server.Url("/endless"), FetchEnd::CutOff},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.url.begin(), row.url.end()));
        const std::chrono::milliseconds limit(row.result == FetchEnd::TimedOut ? 250 : 10000);
        EXPECT_EQ(DownloadToFile(row.url, file, {limit, kMaxReplyBytes}), row.result);
        EXPECT_FALSE(fs::exists(file));
    }
}

TEST_F(DownloadToFileTest, FetchReplyTextDecodesGbkAndRemovesTheFile) {
    const ReplyText echo = FetchReplyText(server.Url("/echo/%D6%D0"), file);
    EXPECT_EQ(echo.end, FetchEnd::Complete);
    EXPECT_EQ(echo.text, u"VB Http|no-cache|no-cache|/echo/%D6%D0");
    EXPECT_FALSE(fs::exists(file));
    const ReplyText gone = FetchReplyText(server.Url("/gone"), file);
    EXPECT_EQ(gone.end, FetchEnd::HttpError);
    EXPECT_EQ(gone.text, std::nullopt);
    // No private folder for replies is a failed reply.
    const ReplyText nowhere = FetchReplyText(server.Url("/echo/x"), "");
    EXPECT_EQ(nowhere.end, FetchEnd::FileFailed);
    EXPECT_EQ(nowhere.text, std::nullopt);
}

}  // namespace
}  // namespace tessel::web
