// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/reg_work.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "test_support.h"

namespace tessel::handoff {
namespace {

using testing::TempPrefix;

constexpr auto HKLM = RegRoot::HKEY_LOCAL_MACHINE;

struct ValueCase {
    const char* name;
    std::u16string_view key;
    std::u16string_view value;
    std::u16string_view expected;
};
void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.name; }

class FixtureValues : public ::testing::TestWithParam<ValueCase> {};

// Every form Wine writes, read from a file in its own format.
TEST_P(FixtureValues, ReadsAsText) {
    const WineRegistry registry(TESSEL_HANDOFF_FIXTURES);
    const ValueCase& c = GetParam();
    EXPECT_EQ(registry.ReadValue(HKLM, c.key, c.value), c.expected);
}

constexpr std::u16string_view kValues = u"Software\\Tessel\\Values";

INSTANTIATE_TEST_SUITE_P(
    WineFormat, FixtureValues,
    ::testing::Values(
        ValueCase{"DefaultValue", kValues, u"", u"default text"},
        ValueCase{"EscapedBackslashes", kValues, u"Plain",
                  u"C:\\Program Files\\Thunder Network\\Thunder\\Program\\Thunder.exe"},
        ValueCase{"EscapedQuotes", kValues, u"Quoted", u"say \"hi\""},
        // \x96f7 takes four digits because the "7" after it is a hex digit.
        ValueCase{"HexEscapesBeforeHexDigit", kValues, u"Chinese", u"迅雷7"},
        ValueCase{"ShortHexEscape", kValues, u"Thai", u"?x"},  // not in GBK: "?" as an ANSI read gives
        ValueCase{"ControlAndBackslashEscapes", kValues, u"Escapes", u"tab\there\\n"},
        ValueCase{"StrForm", kValues, u"Str", u"typed string"},
        ValueCase{"ExpandableNotExpanded", kValues, u"Expand", u"%ProgramFiles%\\FlashGet"},
        ValueCase{"EmptyString", kValues, u"EmptyString", u""},
        ValueCase{"StringUpToFirstNul", kValues, u"EmbeddedNul", u"ab"},
        ValueCase{"StringWithoutNul", kValues, u"NoTerminator", u""},
        ValueCase{"Binary", kValues, u"Binary", u"0A FF "},
        ValueCase{"BinaryOverContinuedLines", kValues, u"LongBinary",
                  u"00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 "
                  u"14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27 "},
        ValueCase{"EmptyBinary", kValues, u"EmptyBinary", u""},
        ValueCase{"Dword", kValues, u"Dword", u"0xFF"}, ValueCase{"DwordZero", kValues, u"DwordZero", u"0x0"},
        ValueCase{"DwordTopBit", kValues, u"DwordTop", u"0x80000001"},
        ValueCase{"MultiStringIsOtherType", kValues, u"Multi", u""},
        ValueCase{"QwordIsOtherType", kValues, u"Qword", u""},
        ValueCase{"BigEndianDwordIsOtherType", kValues, u"BigEndian", u""},
        ValueCase{"ValueNameIgnoresCase", kValues, u"mixedCASE", u"found"},
        ValueCase{"KeyPathIgnoresCase", u"SOFTWARE\\TESSEL\\VALUES", u"Plain",
                  u"C:\\Program Files\\Thunder Network\\Thunder\\Program\\Thunder.exe"},
        ValueCase{"EscapedBracketsInKey", u"Software\\Tessel\\[Bracket]", u"Name", u"bracketed key"},
        ValueCase{"ChineseKeyPath",
                  u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\快车(FlashGet)",
                  u"DisplayVersion", u"1.96"},
        ValueCase{"MissingValue", kValues, u"Absent", u""},
        ValueCase{"MissingKey", u"Software\\Tessel\\Absent", u"Plain", u""},
        ValueCase{"ParentKeyWithoutValues", u"Software\\Tessel", u"Plain", u""},
        ValueCase{"BrokenLinesSkipped", u"Software\\Broken", u"Unterminated", u""},
        ValueCase{"BadHexSkipped", u"Software\\Broken", u"BadHex", u""},
        ValueCase{"LineAfterBrokenOnesStillRead", u"Software\\Broken", u"AfterBroken", u"still read"}),
    [](const auto& info) { return std::string(info.param.name); });

// Strings must fit a 1024-byte buffer with their terminator, counted in GBK
// bytes (not in the UTF-16 the file stores); binary data fits 1025 bytes.
TEST(RegReadValue, BufferLimits) {
    const std::string a1023(1023, 'a');
    const std::string a1024(1024, 'a');
    std::string cjk511;  // 511 characters, 1022 GBK bytes
    for (int i = 0; i < 511; ++i) cjk511 += "\\x4e2d";
    std::string hex1025;
    for (int i = 0; i < 1025; ++i) hex1025 += i == 0 ? "ab" : ",ab";

    const TempPrefix prefix(
        "[Software\\\\Limits] 1733563200\n"
        "\"Ascii1023\"=\"" +
        a1023 +
        "\"\n"
        "\"Ascii1024\"=\"" +
        a1024 +
        "\"\n"
        "\"Cjk511AndOne\"=\"" +
        cjk511 +
        "z\"\n"
        "\"Cjk512\"=\"" +
        cjk511 +
        "\\x4e2d\"\n"
        "\"Binary1025\"=hex:" +
        hex1025 +
        "\n"
        "\"Binary1026\"=hex:" +
        hex1025 + ",ab\n");
    const WineRegistry registry = prefix.Registry();
    auto read = [&](std::u16string_view name) { return registry.ReadValue(HKLM, u"Software\\Limits", name); };

    EXPECT_EQ(read(u"Ascii1023").size(), 1023u);
    EXPECT_EQ(read(u"Ascii1024"), u"");
    EXPECT_EQ(read(u"Cjk511AndOne"), std::u16string(511, u'中') + u"z");
    EXPECT_EQ(read(u"Cjk512"), u"");
    EXPECT_EQ(read(u"Binary1025").size(), 1025u * 3);
    EXPECT_EQ(read(u"Binary1026"), u"");
}

TEST(RegReadValue, MissingOrUnreadableStoreReadsEmpty) {
    const auto dir = testing::MakeTempDir("tessel-wine-missing");
    EXPECT_EQ(WineRegistry(dir).ReadValue(HKLM, u"Software\\Tessel\\Values", u"Plain"), u"");
    std::filesystem::create_directory(dir / "system.reg");  // not a file
    EXPECT_EQ(WineRegistry(dir).ReadValue(HKLM, u"Software\\Tessel\\Values", u"Plain"), u"");
    std::filesystem::remove_all(dir);
}

// A 32-bit program in a 64-bit prefix finds HKLM\Software under Wow6432Node.
TEST(RegReadValue, Win64PrefixLooksUnderWow6432NodeFirst) {
    const TempPrefix prefix(
        "[Software\\\\Wow6432Node\\\\Tencent\\\\QQDownload] 1733563200\n\"Exe\"=\"C:\\\\QQDownload.exe\"\n"
        "[Software\\\\Thunder] 1733563200\n\"Name\"=\"native only\"\n"
        "[Software\\\\Wow6432Node\\\\Both] 1733563200\n\"V\"=\"32-bit view\"\n"
        "[Software\\\\Both] 1733563200\n\"V\"=\"64-bit view\"\n",
        "win64");
    const WineRegistry registry = prefix.Registry();
    EXPECT_EQ(registry.ReadValue(HKLM, u"SOFTWARE\\Tencent\\QQDownload", u"Exe"), u"C:\\QQDownload.exe");
    EXPECT_EQ(registry.ReadValue(HKLM, u"SOFTWARE\\Thunder", u"Name"), u"native only");
    EXPECT_EQ(registry.ReadValue(HKLM, u"SOFTWARE\\Both", u"V"), u"32-bit view");
}

// The parsed file is kept, but a rewritten file must be read afresh.
TEST(RegReadValue, RewrittenStoreIsReadAgain) {
    const TempPrefix prefix("[Software\\\\Tessel] 1733563200\n\"V\"=\"first\"\n");
    const WineRegistry registry = prefix.Registry();
    ASSERT_EQ(registry.ReadValue(HKLM, u"Software\\Tessel", u"V"), u"first");
    prefix.Write("[Software\\\\Tessel] 1733563200\n\"V\"=\"second value\"\n");
    EXPECT_EQ(registry.ReadValue(HKLM, u"Software\\Tessel", u"V"), u"second value");
}

// Keys are stored once; a key that only has subkeys is still there.
TEST(WineHive, ParentsExistThroughTheirSubkeys) {
    const RegHive hive = ParseWineRegistry(
        "WINE REGISTRY Version 2\n[Software\\\\Wow6432Node\\\\Thunder\\\\Sub] 1\n\"V\"=\"x\"\n");
    EXPECT_TRUE(hive.HasKey(u"software\\wow6432node\\thunder\\sub"));
    EXPECT_TRUE(hive.HasKey(u"Software\\Wow6432Node\\Thunder"));
    EXPECT_TRUE(hive.HasKey(u"Software"));
    EXPECT_FALSE(hive.HasKey(u"Software\\Wow"));  // a name's beginning is no key
    EXPECT_FALSE(hive.HasKey(u"Software\\Wow6432Node\\Thunder\\Sub\\Deeper"));
    EXPECT_FALSE(hive.HasKey(u""));
    ASSERT_NE(hive.Find(u"Software\\Wow6432Node\\Thunder\\Sub", u"v"), nullptr);
}

std::string KeyOfDepth(std::size_t depth) {
    std::string key = "[k";
    for (std::size_t i = 1; i < depth; ++i) key += "\\\\k";
    return key + "] 1\n\"V\"=\"deep\"\n";
}

constexpr std::string_view kGoodKey = "[Software\\\\Tessel] 1\n\"V\"=\"good\"\n";

// A 90 KB hive with one key 30,000 levels deep grew the program to 1.8 GB
// (every prefix of the path was kept).  Past the registry's own depth the
// hive is broken and reads as empty, as a missing one does.
TEST(WineHive, KeyDeeperThanTheRegistryAllowsBreaksTheHive) {
    const struct {
        std::size_t depth;
        bool readable;
    } cases[] = {{kMaxRegKeyDepth, true}, {kMaxRegKeyDepth + 1, false}, {30000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.depth);
        const RegHive hive = ParseWineRegistry(std::string(kGoodKey) + KeyOfDepth(c.depth));
        EXPECT_EQ(hive.Find(u"Software\\Tessel", u"V") != nullptr, c.readable);
    }
    const TempPrefix prefix(std::string(kGoodKey) + KeyOfDepth(30000));
    EXPECT_EQ(prefix.Registry().ReadValue(HKLM, u"Software\\Tessel", u"V"), u"");
}

TEST(WineHive, OverlongLineBreaksTheHive) {
    for (const std::size_t length : {kMaxRegLineBytes, kMaxRegLineBytes + 1}) {
        SCOPED_TRACE(length);
        const std::string line = "\"Long\"=\"" + std::string(length - 9, 'a') + "\"";
        ASSERT_EQ(line.size(), length);
        const RegHive hive = ParseWineRegistry(std::string(kGoodKey) + line + "\n");
        EXPECT_EQ(hive.Find(u"Software\\Tessel", u"V") != nullptr, length <= kMaxRegLineBytes);
    }
}

// 100 MB of blank lines peaked at 2.3 GB (a table of every line; bench_hive
// measures the whole size).  Lines are now read one at a time, and a key
// after them is still found.
TEST(WineHive, BlankLinesCostNothingToKeep) {
    std::string text(std::string(kGoodKey) + std::string(16u * 1024 * 1024, '\n'));
    text += "[Software\\\\After] 1\n\"V\"=\"after the blanks\"\n";
    const RegHive hive = ParseWineRegistry(text);
    ASSERT_NE(hive.Find(u"Software\\After", u"V"), nullptr);
    EXPECT_EQ(RegValueToText(*hive.Find(u"Software\\After", u"V")), u"after the blanks");
    EXPECT_NE(hive.Find(u"Software\\Tessel", u"V"), nullptr);
}

TEST(RegReadValue, DefaultStoreFollowsWinePrefix) {
    const TempPrefix prefix("[Software\\\\Tessel] 1733563200\n\"V\"=\"from WINEPREFIX\"\n");
    const char* old = std::getenv("WINEPREFIX");
    const std::string saved = old ? old : "";
    setenv("WINEPREFIX", prefix.dir().c_str(), 1);
    EXPECT_EQ(RegReadValue(HKLM, u"Software\\Tessel", u"V"), u"from WINEPREFIX");
    EXPECT_EQ(RegReadValue(RegRoot::HKEY_CURRENT_USER, u"Software\\Tessel", u"V"), u"");  // user.reg absent
    if (old) {
        setenv("WINEPREFIX", saved.c_str(), 1);
    } else {
        unsetenv("WINEPREFIX");
    }
}

}  // namespace
}  // namespace tessel::handoff
