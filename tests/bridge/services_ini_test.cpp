// SPDX-License-Identifier: GPL-3.0-or-later
// tessel-cli reads the window's settings file without Qt: whatever the
// window's writer stores, the reader must get back unchanged.
#include "handoff/services_ini.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <fstream>

#include "shell/settings/settings_store.h"
#include "text/codepage.h"

namespace tessel::handoff {
namespace {

TEST(ServicesIni, ValuesWrittenByTheWindowReadBackUnchanged) {
    const QString values[] = {
        QStringLiteral("http://127.0.0.1:6800/jsonrpc"),
        QStringLiteral("https://nas.local:6800/jsonrpc"),
        QStringLiteral("s3cret"),
        QStringLiteral("a,b;c=d"),  // quoted by the writer
        QStringLiteral("  blanks at both ends  "),
        QStringLiteral("back\\slash \"quoted\""),
        QStringLiteral("@starts with an at"),
        QStringLiteral("@@two"),
        QStringLiteral("密钥 with 中文"),
        QStringLiteral("tab\there\nnew line"),
        QStringLiteral("\x01\x1f control"),
        QStringLiteral("\x7f del 12ab"),  // an escape followed by hex digits
        QStringLiteral("emoji \U0001F600"),
        QStringLiteral(""),
        QStringLiteral("/home/u/certs/aria2 ca.pem"),
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("TESSEL.ini"));
    for (const QString& value : values) {
        SCOPED_TRACE(value.toStdString());
        {
            QSettings ini(path, QSettings::IniFormat);
            ini.clear();
            ini.setValue(QStringLiteral("frmMain/Aria2Secret"), QStringLiteral("not this group"));
            ini.setValue(QStringLiteral("services/Aria2Rpc"), QStringLiteral("http://x/jsonrpc"));
            ini.setValue(QStringLiteral("services/Aria2Secret"), value);
            ini.setValue(QStringLiteral("services/Aria2CaFile"), value);
            ini.sync();
            ASSERT_EQ(ini.status(), QSettings::NoError);
        }
        const Aria2Settings read = ReadAria2Settings(path.toStdString());
        EXPECT_EQ(read.secret, value.toStdU16String());
        EXPECT_EQ(read.caFile, value.toStdU16String());
        EXPECT_EQ(read.rpc, u"http://x/jsonrpc");
    }
}

TEST(ServicesIni, HandEditedFilesAndMissingPiecesGiveTheDefaults) {
    const std::string ini =
        "; a comment\n"
        "[frmMain]\nAria2Rpc=wrong group\n"
        "[services]\r\n"
        "  Aria2Rpc = http://spaced/jsonrpc  \r\n"
        "Aria2Rpc2=similar key\n"
        "# another comment\n"
        "broken line without equals\n"
        "[services2]\nAria2Secret=other group\n";
    EXPECT_EQ(IniValue(ini, "services", "Aria2Rpc"), "http://spaced/jsonrpc");
    EXPECT_FALSE(IniValue(ini, "services", "Aria2Secret"));
    EXPECT_FALSE(IniValue(ini, "service", "Aria2Rpc"));
    EXPECT_EQ(IniValue("[services]\nk=1\nk=2\n", "services", "k"), "2");
    EXPECT_EQ(IniValue("[services]\nk=\"unterminated\n", "services", "k"), "unterminated");
    EXPECT_EQ(IniValue("[services]\nk=trailing\\", "services", "k"), "trailing\\");

    const Aria2Settings none = ReadAria2Settings("/nonexistent/TESSEL.ini");
    EXPECT_EQ(none.rpc, kAria2RpcDefault);
    EXPECT_EQ(none.secret, u"");
    EXPECT_EQ(none.caFile, u"");
}

TEST(ServicesIni, TheFileIsFoundWhereTheWindowKeepsIt) {
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray oldHome = qgetenv("HOME");
    const std::pair<const char*, const char*> environments[] = {
        {"/cfg", "/home/u"}, {"relative/not/used", "/home/u"}, {"", "/home/v"}, {"/cfg/", "/home/u"}};
    for (const auto& [config, home] : environments) {
        qputenv("XDG_CONFIG_HOME", config);
        qputenv("HOME", home);
        EXPECT_EQ(SettingsFilePath(), shell::IniSettingsStore::DefaultPath().toStdString()) << config;
    }
    qputenv("XDG_CONFIG_HOME", oldConfig);
    qputenv("HOME", oldHome);
}

}  // namespace
}  // namespace tessel::handoff
