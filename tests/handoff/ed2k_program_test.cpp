// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's ed2k program: its entry read, its command line turned into
// an argument list that never passes through a shell.
#include "handoff/ed2k_program.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace tessel::handoff {
namespace {

using Args = std::vector<std::string>;

TEST(Ed2kProgram, TheEntryGivesItsChineseNameAndCommand) {
    const std::optional<DesktopEntry> entry = ReadDesktopEntry(
        "# comment\n[Desktop Entry]\nType=Application\nName=aMule\nName[zh_CN]=电驴\nExec=ed2k %u\n"
        "[Desktop Action x]\nExec=other\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, u"电驴");
    EXPECT_EQ(entry->exec, "ed2k %u");
    EXPECT_FALSE(ReadDesktopEntry("[Desktop Entry]\nName=a\nExec=b\nHidden=true\n"));
    EXPECT_FALSE(ReadDesktopEntry("[Desktop Entry]\nName=a\nType=Link\nExec=b\n"));
    EXPECT_FALSE(ReadDesktopEntry("[Other]\nName=a\nExec=b\n"));
}

TEST(Ed2kProgram, TheLinkIsOneArgumentWhateverItHolds) {
    const std::string link = "ed2k://|file|a b;$(rm -rf ~)|1|h|/";
    const struct {
        std::string exec;
        std::optional<Args> args;
    } rows[] = {
        {"ed2k %u", Args{"ed2k", link}},
        {"/usr/bin/amule --link=%u", Args{"/usr/bin/amule", "--link=" + link}},
        {"\"/opt/my prog/ed2k\" -q %U %i %c", Args{"/opt/my prog/ed2k", "-q", link}},
        {"ed2k", Args{"ed2k", link}},  // no field code: the link goes last
        {"sh -c \"echo \\$1\" 100%%", Args{"sh", "-c", "echo $1", "100%", link}},
        {"\"unclosed %u", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& r : rows) EXPECT_EQ(ExecArguments(r.exec, link), r.args) << r.exec;
}

TEST(Ed2kProgram, EntriesAreLookedForInTheUsersFolderFirst) {
    EXPECT_EQ(DesktopEntryPaths("a.desktop", "/d", "/x:/y", "/h"),
              (Args{"/d/applications/a.desktop", "/x/applications/a.desktop", "/y/applications/a.desktop"}));
    EXPECT_EQ(DesktopEntryPaths("a.desktop", nullptr, nullptr, "/h"),
              (Args{"/h/.local/share/applications/a.desktop", "/usr/local/share/applications/a.desktop",
                    "/usr/share/applications/a.desktop"}));
    EXPECT_TRUE(DesktopEntryPaths("../a.desktop", "/d", "/x", "/h").empty());
    EXPECT_TRUE(IsTesselProgram("/usr/bin/tessel"));
    EXPECT_FALSE(IsTesselProgram("/usr/bin/tessel-cli-x"));
    EXPECT_EQ(Ed2kQuestion(u"aMule", {u"ed2k://a", u"ed2k://b"}),
              u"是否交给 aMule 下载？\n\ned2k://a\ned2k://b");
}

}  // namespace
}  // namespace tessel::handoff
