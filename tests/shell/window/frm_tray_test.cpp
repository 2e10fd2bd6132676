// SPDX-License-Identifier: GPL-3.0-or-later
// The tray window: it starts the window and shows or hides it, its exit
// item unloads both, its menu leads to the download settings, and what it
// tells of downloads when there is no tray host.
#include "shell/window/frm_tray.h"

#include <QDialog>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

#include "shell/ui/status_line.h"
#include "support/frm_main_fixture.h"

namespace tessel::shell::testing {
namespace {

TEST_F(FrmMainTest, TrayStartsTheWindowAndToggles) {
    Make();
    FrmTray tray(*w);
    tray.Load();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->RippleRunning());  // the activation ran
    // Made even without a tray host, so one that starts later shows it.
    ASSERT_NE(tray.TrayIcon(), nullptr);
    EXPECT_TRUE(tray.TrayIcon()->isVisible());

    tray.OnIconNotification(FrmTray::kLeftButtonUp);
    EXPECT_TRUE(w->isMinimized());
    tray.OnIconNotification(FrmTray::kLeftButtonUp);
    EXPECT_FALSE(w->isMinimized());
    // A double click is two releases: back where it was.
    tray.OnIconNotification(FrmTray::kLeftButtonUp);
    tray.OnIconNotification(FrmTray::kLeftButtonUp);
    EXPECT_FALSE(w->isMinimized());

    tray.OnIconNotification(FrmTray::kRightButtonUp);
    EXPECT_TRUE(tray.Menu()->isVisible());
    ASSERT_EQ(tray.Menu()->actions().size(), 3);
    EXPECT_EQ(tray.Menu()->actions()[0]->text(), "下载设置…");
    EXPECT_TRUE(tray.Menu()->actions()[1]->isSeparator());
    EXPECT_EQ(tray.Menu()->actions()[2]->text(), "退出(&E)");
    tray.Menu()->hide();
}

TEST_F(FrmMainTest, ExitItemUnloadsBothWindows) {
    Make();
    FrmTray tray(*w);
    tray.Load();
    Put(keys::kLinkActiveTab, "1");
    QSignalSpy exit(&tray, &FrmTray::ExitRequested);
    QSignalSpy unloaded(w.get(), &FrmMain::Unloaded);
    tray.ExitItem()->trigger();
    EXPECT_FALSE(tray.IsLoaded());
    EXPECT_TRUE(w->IsUnloaded());
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(exit.count(), 1);
    EXPECT_EQ(unloaded.count(), 1);  // once, though both the item and the close ask
    EXPECT_EQ(Stored(keys::kLinkActiveTab), "0");
}

// The ways to the download settings, and how a download's end is told
// without a notification service or a tray host.
TEST_F(FrmMainTest, DownloadSettingsAndMessagesWithoutATray) {
    Make();
    FrmTray tray(*w);
    tray.Load();
    tray.Menu()->actions()[0]->trigger();
    tray.Menu()->actions()[0]->trigger();  // the one open is brought forward, no second
    const auto dialogs = w->findChildren<QDialog*>("DownloadSettingsDialog");
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_TRUE(dialogs[0]->isVisible());
    dialogs[0]->close();

    QSignalSpy clicked(&w->Status(), &StatusLine::Aria2Clicked);
    const auto click = [this] { QTest::mouseClick(&w->Status(), Qt::LeftButton); };
    w->ShowStatus(QStringLiteral("正在解析…"));
    click();
    EXPECT_EQ(clicked.count(), 0) << "only a line about aria2 leads there";
    w->ShowStatus(QStringLiteral("已交给 aria2：a.iso"));
    click();
    EXPECT_EQ(clicked.count(), 1);

    if (!tray.IconInTray()) {
        tray.ShowMessage(QStringLiteral("下载失败"), QStringLiteral("a.iso\nResource not found"), true);
        EXPECT_EQ(w->Status().Text(), "下载失败：a.iso：Resource not found");
    }
    tray.SetProgress(QStringLiteral("Tessel V2 \u2014 1 个下载 5%"));
    EXPECT_EQ(tray.TrayIcon()->toolTip(), QStringLiteral("Tessel V2 \u2014 1 个下载 5%"));
    tray.SetProgress(QString());
    EXPECT_EQ(tray.TrayIcon()->toolTip(), FrmTray::TipText());
}

}  // namespace
}  // namespace tessel::shell::testing
