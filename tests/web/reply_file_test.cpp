// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/reply_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "http_server.h"

namespace tessel::web {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::ScratchDir;

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(PrivateFolder, IsCreatedPrivateAndEndsInASlash) {
    ScratchDir base;
    const std::string folder = PrivateFolderIn(base.path() + "/", "tessel");
    EXPECT_EQ(folder, base / "tessel/");
    EXPECT_EQ(ModeOf(base / "tessel"), 0700u);
    EXPECT_EQ(PrivateFolderIn(base.path(), "tessel"), folder);  // found again as it is
}

TEST(PrivateFolder, RefusesWhatWasPlantedOrLeftOpen) {
    ScratchDir base;
    fs::create_directory(base / "elsewhere");
    ::chmod((base / "elsewhere").c_str(), 0700);
    fs::create_directory_symlink(base / "elsewhere", base / "linked");
    fs::create_directory(base / "open");
    ::chmod((base / "open").c_str(), 0755);
    testing::WriteAll(base / "plain", "");
    EXPECT_EQ(PrivateFolderIn(base.path(), "linked"), "");
    EXPECT_EQ(PrivateFolderIn(base.path(), "open"), "");
    EXPECT_EQ(PrivateFolderIn(base.path(), "plain"), "");
    EXPECT_EQ(PrivateFolderIn("relative/path", "tessel"), "");
    EXPECT_EQ(PrivateFolderIn(base / "no/such/parent", "tessel"), "");
    if (::geteuid() == 0) {
        fs::create_directory(base / "theirs");
        ::chmod((base / "theirs").c_str(), 0700);
        ASSERT_EQ(::chown((base / "theirs").c_str(), 65534, 65534), 0);
        EXPECT_EQ(PrivateFolderIn(base.path(), "theirs"), "");
    }
}

TEST(PrivateFolder, RuntimeFolderFirstThenTheSharedTemporaryFolder) {
    ScratchDir runtime;
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old ? old : "";
    const std::string fallback = "/tmp/tessel-" + std::to_string(::geteuid()) + "/";

    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    EXPECT_EQ(GetTempFolder(), runtime / "tessel/");
    EXPECT_EQ(ReplyPath(kIpReply), runtime / "tessel/IP.ini");

    fs::remove(runtime / "tessel");
    fs::create_directory_symlink("/tmp", runtime / "tessel");
    EXPECT_EQ(GetTempFolder(), fallback);
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(GetTempFolder(), fallback);

    if (old) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

TEST(ReplyFiles, LinksAndPipesAreNeverFollowedOrRead) {
    ScratchDir dir;
    const std::string victim = dir / "victim";
    testing::WriteAll(victim, "precious");
    fs::create_symlink(victim, dir / "link.ini");
    ASSERT_EQ(::mkfifo((dir / "pipe.ini").c_str(), 0600), 0);

    for (const std::string name : {"link.ini", "pipe.ini"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(OpenReplyForWrite(dir / name), -1);
        EXPECT_EQ(ReadReplyBytes(dir / name), std::nullopt);  // a pipe would hang a plain read
    }
    EXPECT_TRUE(DeleteReplyFile(dir / "link.ini"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "link.ini")));
    EXPECT_EQ(ReadAll(victim), "precious");
    EXPECT_TRUE(DeleteReplyFile(dir / "never-there.ini"));
}

TEST(ReplyFiles, ReadingStopsAtTheBound) {
    ScratchDir dir;
    testing::WriteAll(dir / "r.ini", std::string(100, 'a'));
    EXPECT_EQ(ReadReplyBytes(dir / "r.ini", 100), std::string(100, 'a'));
    EXPECT_EQ(ReadReplyBytes(dir / "r.ini", 99), std::nullopt);
    testing::WriteAll(dir / "gbk.ini", "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(ReadReplyText(dir / "gbk.ini"), std::u16string(u"中文"));
}

}  // namespace
}  // namespace tessel::web
