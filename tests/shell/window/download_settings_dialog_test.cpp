// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/window/download_settings_dialog.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>

#include "shell/settings/settings_store.h"

namespace tessel::shell {
namespace {

class DownloadSettingsDialogTest : public ::testing::Test {
 protected:
    QTemporaryDir dir;
    QString path = dir.filePath("TESSEL.ini");

    static QLineEdit* Box(DownloadSettingsDialog& d, const char* name) {
        return d.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
};

// The file edited by hand while the program runs: the dialog shows the
// file, not what the program read at start.
TEST_F(DownloadSettingsDialogTest, ShowsWhatTheFileHoldsNow) {
    IniSettingsStore store(path);
    WriteText(store, keys::kAria2Rpc, QStringLiteral("http://127.0.0.1:6800/jsonrpc"));
    store.Flush();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(
        "[services]\nAria2Start=never\nAria2Rpc=http://192.168.1.5:6800/jsonrpc\nAria2Secret=hand\n"
        "DownloadDir=/srv/dl\n");
    file.close();

    DownloadSettingsDialog d(store);
    EXPECT_TRUE(d.findChild<QRadioButton*>("optOtherEngine")->isChecked());
    EXPECT_EQ(Box(d, "txtAria2Rpc")->text(), "http://192.168.1.5:6800/jsonrpc");
    EXPECT_EQ(Box(d, "txtAria2Secret")->text(), "hand");
    EXPECT_EQ(Box(d, "txtDownloadDir")->text(), "/srv/dl");
}

TEST_F(DownloadSettingsDialogTest, SavesAtOnceOnlyWhatPassesTheCheck) {
    IniSettingsStore store(path);
    DownloadSettingsDialog d(store);
    EXPECT_TRUE(d.findChild<QRadioButton*>("optOwnEngine")->isChecked()) << "auto by default";
    d.findChild<QRadioButton*>("optOtherEngine")->setChecked(true);
    Box(d, "txtAria2Rpc")->setText(QStringLiteral("nas:6800"));
    EXPECT_FALSE(d.Apply());
    EXPECT_TRUE(d.Complaint().contains("http://")) << d.Complaint().toStdString();
    EXPECT_FALSE(store.Read("services", "Aria2Start")) << "nothing saved from a wrong form";

    Box(d, "txtAria2Rpc")->setText(QStringLiteral("https://nas:6801/jsonrpc"));
    Box(d, "txtAria2Secret")->setText(QStringLiteral("s3"));
    ASSERT_TRUE(d.Apply());
    EXPECT_TRUE(d.Complaint().isEmpty());
    const IniSettingsStore reread(path);  // on disk, not only in memory
    EXPECT_EQ(ReadText(reread, keys::kAria2Start), "never");
    EXPECT_EQ(ReadText(reread, keys::kAria2Rpc), "https://nas:6801/jsonrpc");
    EXPECT_EQ(ReadText(reread, keys::kAria2Secret), "s3");

    // Back to our own engine: an address elsewhere is not one it can serve.
    d.findChild<QRadioButton*>("optOwnEngine")->setChecked(true);
    ASSERT_TRUE(d.Apply());
    const IniSettingsStore own(path);
    EXPECT_EQ(ReadText(own, keys::kAria2Start), "auto");
    EXPECT_EQ(ReadText(own, keys::kAria2Rpc), "http://127.0.0.1:6800/jsonrpc");

    // A folder it cannot write to is refused, naming the setting.
    QFile(dir.filePath("plain")).open(QIODevice::WriteOnly);
    Box(d, "txtDownloadDir")->setText(dir.filePath("plain/sub"));
    EXPECT_FALSE(d.Apply());
    EXPECT_TRUE(d.Complaint().contains("DownloadDir")) << d.Complaint().toStdString();
    EXPECT_EQ(ReadText(IniSettingsStore(path), keys::kDownloadDir), "");
}

}  // namespace
}  // namespace tessel::shell
