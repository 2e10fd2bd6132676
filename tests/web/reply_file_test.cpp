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

TEST(PrivateFolder, IsMadePrivateAndRefusesWhatWasPlantedOrLeftOpen) {
    testing::ScratchDir base;
    EXPECT_EQ(PrivateFolderIn(base.path() + "/", "mine"), base / "mine/");
    EXPECT_EQ(fs::status(base / "mine").permissions(), fs::perms::owner_all);
    EXPECT_EQ(PrivateFolderIn(base.path(), "mine"), base / "mine/");  // found again as it is

    fs::create_directory_symlink(base / "mine", base / "linked");
    fs::create_directory(base / "open");
    fs::permissions(base / "open", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    testing::WriteAll(base / "plain", "");
    for (const char* leaf : {"linked", "open", "plain"})
        EXPECT_EQ(PrivateFolderIn(base.path(), leaf), "") << leaf;
    EXPECT_EQ(PrivateFolderIn("relative/path", "mine"), "");
    EXPECT_EQ(PrivateFolderIn(base / "no/such/parent", "mine"), "");
    if (::geteuid() == 0) {  // only root can hand a folder to someone else
        fs::create_directory(base / "theirs");
        fs::permissions(base / "theirs", fs::perms::owner_all);
        ASSERT_EQ(::chown((base / "theirs").c_str(), 65534, 65534), 0);
        EXPECT_EQ(PrivateFolderIn(base.path(), "theirs"), "");
    }
}

TEST(PrivateFolder, RuntimeFolderFirstThenTheSharedTemporaryFolder) {
    testing::ScratchDir runtime;
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old ? old : "";
    const std::string fallback = "/tmp/tessel-" + std::to_string(::geteuid()) + "/";

    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    EXPECT_EQ(ReplyPath(kIpReply), runtime / "tessel/IP.ini");
    fs::remove(runtime / "tessel");
    fs::create_directory_symlink("/tmp", runtime / "tessel");
    EXPECT_EQ(GetTempFolder(), fallback);
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(GetTempFolder(), fallback);
    if (old) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

TEST(ReplyFiles, LinksAndPipesAreNeverFollowedOrRead) {
    testing::ScratchDir dir;
    testing::WriteAll(dir / "victim", "precious");
    fs::create_symlink(dir / "victim", dir / "link.ini");
    ASSERT_EQ(::mkfifo((dir / "pipe.ini").c_str(), 0600), 0);
    for (const char* name : {"link.ini", "pipe.ini"}) {
        EXPECT_EQ(OpenReplyForWrite(dir / name), -1) << name;
        EXPECT_EQ(ReadReplyBytes(dir / name), std::nullopt) << name;  // a pipe would hang a plain read
    }
    EXPECT_TRUE(DeleteReplyFile(dir / "link.ini"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "link.ini")));
    EXPECT_EQ(testing::ReadAll(dir / "victim"), "precious");
    EXPECT_TRUE(DeleteReplyFile(dir / "never-there.ini"));
}

TEST(ReplyFiles, ReadingStopsAtTheBound) {
    testing::ScratchDir dir;
    testing::WriteAll(dir / "r.ini", std::string(100, 'a'));
    EXPECT_EQ(ReadReplyBytes(dir / "r.ini", 100), std::string(100, 'a'));
    EXPECT_EQ(ReadReplyBytes(dir / "r.ini", 99), std::nullopt);
    testing::WriteAll(dir / "gbk.ini", "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(ReadReplyText(dir / "gbk.ini"), std::u16string(u"中文"));
}

}  // namespace
}  // namespace tessel::web
