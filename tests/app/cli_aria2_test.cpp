// SPDX-License-Identifier: GPL-3.0-or-later
// tessel-cli aria2 against what should not be at aria2's address or at the
// settings file's path: it ends with a message and an exit status, never a
// signal or a hang, and prints nothing a terminal would take as a command.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "run_cli.h"
#include "support/loopback_http.h"

using namespace testcli;

namespace {

std::string Nested(std::size_t levels) { return std::string(levels, '[') + std::string(levels, ']'); }

bool Printable(const std::string& s) {
    for (unsigned char c : s) {
        if ((c < 0x20 && c != '\n') || c == 0x7F) return false;
    }
    return s.find("\xE2\x80\xAE") == std::string::npos;  // U+202E
}

// A server at aria2's address answering every call with `body`.
class HostileAria2 {
 public:
    explicit HostileAria2(std::string body) {
        http_.server().Post("/jsonrpc", [body](const httplib::Request&, httplib::Response& res) {
            res.set_content(body, "application/json-rpc");
        });
        http_.Start();
    }
    std::string Rpc() const { return http_.BaseText() + "/jsonrpc"; }

 private:
    tessel::testsupport::LoopbackHttp http_;
};

}  // namespace

TEST(CliAria2, HostileRepliesEndInAMessageNeverASignal) {
    // Terminal commands, a line break and a right-to-left override, as JSON writes them.
    const std::string escapes = R"(\u001b]0;pwned\u0007\u001b[2J\r\nline two\u202e)";
    const struct Row {
        const char* name;
        std::string body;
        int status;
        std::string says;  // a piece of standard error
        std::size_t maxOut;
    } rows[] = {
        {"result nested 80000 levels", R"({"id":"tessel","result":)" + Nested(80000) + "}", 1, "不是 aria2",
         1},
        {"another call's id", R"({"id":"x","result":"2089b05ecca3d829"})", 1, "编号", 1},
        {"an error without words", R"({"id":"tessel","error":{"code":3}})", 1, "错误代码 3", 1},
        {"escapes in the error", R"({"id":"tessel","error":{"code":1,"message":")" + escapes + "\"}}", 1,
         "\\x1b]0;pwned\\x07", 1},
        {"1 MB error", R"({"id":"tessel","error":{"code":1,"message":")" + std::string(1000000, 'e') + "\"}}",
         1, "eee…", 1},
        {"escapes in the task id", R"({"id":"tessel","result":")" + escapes + "\"}", 0, "", 64 + 1},
        {"1 MB task id", R"({"id":"tessel","result":")" + std::string(1000000, '7') + "\"}", 0, "", 64 + 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HostileAria2 aria2(row.body);
        const Result r = RunCli({"aria2", "--rpc", aria2.Rpc(), "--secret", "s", "http://a.test/f"});
        EXPECT_EQ(r.status, row.status) << r.err.substr(0, 300);
        EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err.substr(0, 300);
        EXPECT_LE(r.out.size(), row.maxOut);
        EXPECT_LE(r.err.size(), 5000u);
        EXPECT_TRUE(Printable(r.out) && Printable(r.err)) << r.out.substr(0, 100) << r.err.substr(0, 300);
        EXPECT_LE(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    }
}

// A settings file or certificate file that is no regular file hung the
// command (a FIFO), ate the links (/dev/stdin) or was skipped in silence,
// sending to the default address without the secret.
TEST(CliAria2, HostileFilesAreRefusedUnreadAndNothingIsSent) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tessel-cli-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "TESSEL");
    const std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Were it read anyway, the task would reach this server and its id be printed.
    HostileAria2 aria2(R"({"id":"tessel","result":"2089b05ecca3d829"})");
    const std::string huge = (dir / "huge.ini").string();
    std::ofstream(huge) << "[services]\nAria2Rpc=" << aria2.Rpc() << "\n";
    std::filesystem::resize_file(huge, 5 * 1024 * 1024);
    const std::string https = "https://127.0.0.1:1/jsonrpc";

    const struct Row {
        const char* name;
        std::vector<std::string> args;
        std::string input;
        std::vector<std::string> env;
        int status;
        std::string says;
    } rows[] = {
        {"--config a FIFO", {"--config", fifo, "http://a.test/f"}, "", {}, 2, "不是普通文件"},
        {"--config a folder", {"--config", dir.string(), "http://a.test/f"}, "", {}, 2, "不是普通文件"},
        {"--config a device", {"--config", "/dev/zero", "http://a.test/f"}, "", {}, 2, "不是普通文件"},
        {"--config too large", {"--config", huge, "http://a.test/f"}, "", {}, 2, "超过 4 MiB"},
        {"--config missing",
         {"--config", (dir / "none.ini").string(), "http://a.test/f"},
         "",
         {},
         2,
         "无法打开"},
        {"--config /dev/stdin", {"--config", "/dev/stdin"}, "http://a.test/f\n", {}, 2, "不是普通文件"},
        {"the settings file a FIFO",
         {"http://a.test/f"},
         "",
         {"XDG_CONFIG_HOME=" + dir.string()},
         1,
         "不是普通文件"},
        {"--ca-file a FIFO",
         {"--rpc", https, "--secret", "s", "--ca-file", fifo, "http://a.test/f"},
         "",
         {},
         1,
         "不是普通文件"},
        {"--ca-file too large",
         {"--rpc", https, "--secret", "s", "--ca-file", huge, "http://a.test/f"},
         "",
         {},
         1,
         "超过 4 MiB"},
    };
    std::filesystem::create_symlink(fifo, dir / "TESSEL" / "TESSEL.ini");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> args{"aria2"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const Result r = RunCli(args, row.input, row.env);
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("2089b05ecca3d829"), std::string::npos);
    }
    std::filesystem::remove_all(dir);
}
