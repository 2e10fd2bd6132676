// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/download_to_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "http_server.h"

namespace tessel::web {
namespace {

using testing::LocalServer;
using testing::Pattern;
using testing::ReadAll;
using testing::ScratchDir;

class DownloadToFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.routes().Get("/page", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(req.get_header_value("User-Agent") + "|" + req.get_header_value("Pragma"), "text/html");
        });
        server.routes().Get("/empty", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("", "text/html");
        });
        server.routes().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("no such page", "text/html");
        });
        server.routes().Get("/mute", [this](const httplib::Request&, httplib::Response& res) {
            server.StallUntilReleased();
            res.set_content("late", "text/html");
        });
        // Past the bound, announced and not: one is refused from its headers,
        // the other while it streams.
        server.routes().Get("/huge", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(kMaxReplyBytes + 1, 'a'), "text/plain");
        });
        server.routes().Get("/endless", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink& sink) {
                static const std::string chunk(64 * 1024, 'b');
                if (offset > static_cast<size_t>(kMaxReplyBytes) * 2) return false;
                return sink.write(chunk.data(), chunk.size());
            });
        });
        server.routes().Get("/gbk", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("\xC4\xFA\xB5\xC4(1.2.3.4)", "text/plain");  // "您的(1.2.3.4)" in GBK
        });
        server.Start();
    }

    LocalServer server;
    ScratchDir dir;
    std::string file = dir / "flv.ini";
};

TEST_F(DownloadToFileTest, SavesTheWholeReplyWithOurRequestHeaders) {
    testing::WriteAll(file, std::string(5000, 'x'));
    EXPECT_EQ(DownloadToFile(server.Url("/page"), file), kDownloadOk);
    EXPECT_EQ(ReadAll(file), "VB Http|no-cache");
}

TEST_F(DownloadToFileTest, EmptyReplyIsASuccessWithAnEmptyFile) {
    EXPECT_EQ(DownloadToFile(server.Url("/empty"), file), kDownloadOk);
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::file_size(file), 0u);
}

TEST_F(DownloadToFileTest, FailuresLeaveNoReplyBehind) {
    const DownloadOptions quick{std::chrono::milliseconds(300), kMaxReplyBytes};
    const std::string closed = "http://127.0.0.1:" + std::to_string(testing::ClosedPort()) + "/";
    const struct {
        std::u16string url;
        int result;
    } rows[] = {
        {std::u16string(closed.begin(), closed.end()), kDownloadUrlFailed},
        {u"not an address", kDownloadUrlFailed},
        {server.Url("/missing"), kDownloadHttpError},
        {server.Url("/mute"), kDownloadTimedOut},
        {server.Url("/huge"), kDownloadTooLarge},
        {server.Url("/endless"), kDownloadTooLarge},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.url.begin(), row.url.end()));
        const DownloadOptions& options = row.url == server.Url("/mute") ? quick : DownloadOptions{};
        EXPECT_EQ(DownloadToFile(row.url, file, options), row.result);
        EXPECT_FALSE(std::filesystem::exists(file));
    }
}

TEST_F(DownloadToFileTest, PlantedLinkIsRefusedAndItsTargetUntouched) {
    const std::string victim = dir / "victim";
    testing::WriteAll(victim, "precious");
    std::filesystem::create_symlink(victim, file);
    EXPECT_EQ(DownloadToFile(server.Url("/page"), file), kDownloadFileFailed);
    EXPECT_EQ(ReadAll(victim), "precious");
}

TEST_F(DownloadToFileTest, FetchReplyTextDecodesGbkAndRemovesTheFile) {
    EXPECT_EQ(FetchReplyText(server.Url("/gbk"), file), std::u16string(u"您的(1.2.3.4)"));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(FetchReplyText(server.Url("/missing"), file), std::nullopt);
}

}  // namespace
}  // namespace tessel::web
