// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/settings_store.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "handoff/aria2_rpc.h"
#include "shell/msgbox_placement.h"
#include "web/services.h"

namespace tessel::shell {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
    QTemporaryDir dir;
    QString path = dir.filePath("TESSEL.ini");
    IniSettingsStore store{path};
    void Put(const SettingKey& k, const QString& v) { store.Write(k.group, k.name, v); }
};

struct Int16Case {
    const char* stored;  // nullptr: key absent
    int expected;
};

// A hand-edited or damaged file must read as the defaults, never stop us.
TEST_F(SettingsTest, Int16ReadsNumbersAndFallsBackOnAnythingElse) {
    const Int16Case cases[] = {
        {nullptr, 0}, {"1", 1},  {" 1", 1},    {"-3", -3},         {"1.5", 2},       {"2.5", 2}, {"abc", 0},
        {"", 0},      {"1x", 0}, {"70000", 0}, {"-32768", -32768}, {"32767", 32767}, {"1e3", 0}, {"nan", 0},
    };
    for (const auto& c : cases) {
        IniSettingsStore fresh(dir.filePath(QStringLiteral("case%1.ini").arg(&c - cases)));
        if (c.stored) fresh.Write("frmMain", "settop", QString::fromLatin1(c.stored));
        EXPECT_EQ(ReadInt16(fresh, keys::kSetTop), c.expected) << (c.stored ? c.stored : "(absent)");
    }
}

TEST_F(SettingsTest, SingleUsesCallerFallbackForMissingOrBadText) {
    EXPECT_EQ(ReadSingle(store, keys::kTop, 4321), 4321);
    Put(keys::kTop, "1500");
    EXPECT_EQ(ReadSingle(store, keys::kTop, 4321), 1500);
    Put(keys::kTop, "top");
    EXPECT_EQ(ReadSingle(store, keys::kTop, 4321), 4321);
    Put(keys::kTop, "1e40");  // no single holds it
    EXPECT_EQ(ReadSingle(store, keys::kTop, 4321), 4321);
}

TEST_F(SettingsTest, WrittenFormsAreWhatTheReadersExpect) {
    EXPECT_EQ(SingleToText(1234), "1234");
    EXPECT_EQ(SingleToText(-15), "-15");
    EXPECT_EQ(SingleToText(12.5), "12.5");
    WriteSingle(store, keys::kLeft, 3000);
    WriteInt16(store, keys::kFirstRun, 1);
    store.Flush();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray ini = f.readAll();
    EXPECT_TRUE(ini.contains("[frmMain]")) << ini.constData();
    EXPECT_TRUE(ini.contains("Left=3000")) << ini.constData();
    EXPECT_TRUE(ini.contains("firstrun=1")) << ini.constData();
}

TEST_F(SettingsTest, TextKeysHaveTheirDefaultsAndGroups) {
    EXPECT_EQ(ReadText(store, keys::kDiskServiceDomain), "115.com");
    Put(keys::kDiskServiceDomain, "disk.example");
    EXPECT_EQ(ReadText(store, keys::kDiskServiceDomain), "disk.example");
    EXPECT_FALSE(store.Read("frmMain", "DiskServiceDomain").has_value());
}

TEST(SettingsPath, FollowsXdgConfigHomeWhenAbsolute) {
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/some/where");
    EXPECT_EQ(IniSettingsStore::DefaultPath(), "/some/where/TESSEL/TESSEL.ini");
    qputenv("XDG_CONFIG_HOME", "relative/dir");
    EXPECT_TRUE(IniSettingsStore::DefaultPath().endsWith("/.config/TESSEL/TESSEL.ini"));
    EXPECT_TRUE(IniSettingsStore::DefaultPath().startsWith('/'));
    qputenv("XDG_CONFIG_HOME", old);
}

// The file may hold the download engine's secret: owner only, and it stays
// so when the settings are written.
TEST_F(SettingsTest, UserFileIsPrivate) {
    const QString user = dir.filePath("cfg/TESSEL/TESSEL.ini");
    IniSettingsStore::PrepareUserFile(user);
    IniSettingsStore written(user);
    WriteText(written, keys::kAria2Secret, "s3cret");
    written.Flush();
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    EXPECT_EQ(QFile::permissions(user) & ~(owner | QFileDevice::ReadUser | QFileDevice::WriteUser),
              QFileDevice::Permissions());
    EXPECT_EQ(QFile::permissions(dir.filePath("cfg/TESSEL")) &
                  (QFileDevice::ReadOther | QFileDevice::ReadGroup | QFileDevice::ExeOther),
              QFileDevice::Permissions());
    EXPECT_EQ(ReadText(IniSettingsStore(user), keys::kAria2Secret), "s3cret");
}

// The two worked examples of the message-box centring.
TEST(CenterOver, CentresAndRoundsHalvesToEven) {
    EXPECT_EQ(CenterOver({100, 100, 600, 420}, {0, 0, 200, 100}), QPoint(250, 210));
    EXPECT_EQ(CenterOver({100, 100, 601, 420}, {0, 0, 200, 100}), QPoint(250, 210));
    EXPECT_EQ(CenterOver({100, 100, 603, 420}, {0, 0, 200, 100}), QPoint(252, 210));  // 251.5 -> 252
    EXPECT_EQ(CenterOver({0, 0, 100, 100}, {0, 0, 300, 300}), QPoint(-100, -100));
}

// The window's settings table and the libraries that use the services each
// name the default addresses; a default changed in one place only would send
// the window somewhere the library no longer documents.
TEST(SettingsDefaults, ServiceDefaultsMatchTheLibraries) {
    const auto fallbackOf = [](std::string_view name) -> QString {
        for (const SettingKey* k : keys::kAll) {
            if (name == k->name) return QString::fromUtf8(k->fallback);
        }
        ADD_FAILURE() << "no settings key " << name;
        return {};
    };
    for (const auto& d : web::kServiceDefaults) {
        EXPECT_EQ(fallbackOf(d.key), QString::fromStdU16String(std::u16string(d.value))) << d.key;
    }
    EXPECT_EQ(fallbackOf("Aria2Rpc"), QString::fromStdU16String(std::u16string(handoff::kAria2RpcDefault)));
}

}  // namespace
}  // namespace tessel::shell
