// SPDX-License-Identifier: GPL-3.0-or-later
// The tray window, the ripple banner, the file-name copy, and the real
// message and input boxes with their placement.
#include <QDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include "shell/ui/msgbox_placement.h"
#include "shell/ui/status_line.h"
#include "shell/window/frm_tray.h"
#include "support/frm_main_fixture.h"

namespace tessel::shell::testing {
namespace {

// ---------------------------------------------------------------------------
// Tray

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

// ---------------------------------------------------------------------------
// Ripple

void MouseAt(QWidget* w, QEvent::Type type, Qt::MouseButton button, QPointF at) {
    QMouseEvent e(type, at, w->mapToGlobal(at), button, type == QEvent::MouseMove ? Qt::NoButton : button,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
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

TEST_F(FrmMainTest, MouseMakesDropsOnTheBanner) {
    Start();
    ASSERT_TRUE(w->RippleRunning());
    MouseAt(w.get(), QEvent::MouseMove, Qt::NoButton, {100.4, 29.6});  // rounds to (100, 30)
    for (int y = 29; y <= 31; ++y)
        for (int x = 99; x <= 101; ++x) EXPECT_EQ(w->Wave().HeightAt(x, y), 256) << x << "," << y;
    EXPECT_EQ(w->Wave().HeightAt(98, 30), 0);

    MouseAt(w.get(), QEvent::MouseButtonPress, Qt::LeftButton, {200, 30});
    EXPECT_EQ(w->Wave().HeightAt(202, 32), 1000);
    EXPECT_EQ(w->Wave().HeightAt(203, 30), 0);

    // The timer renders the disturbance into the banner.
    const QImage before = w->BannerFrame();
    QTest::qWait(100);
    EXPECT_NE(w->BannerFrame(), before);
}

TEST_F(FrmMainTest, OtherButtonsPickTheAutomaticMode) {
    struct Pick {
        double r;
        int mode, count, radius, depth;
    };
    const Pick picks[] = {{0.0, 2, 5, 4, 250}, {1.0 / 6, 2, 5, 4, 250},  // 0.5 rounds to 0
                          {0.2, 3, 250, 4, 8}, {0.5, 1, 5, 4, 150},      // 1.5 rounds to 2
                          {0.8, 1, 5, 4, 150}, {0.84, 0, 0, 0, 0},      {0.999, 0, 0, 0, 0}};
    for (const auto& p : picks) {
        const auto a = FrmMain::AutoDropsForPick(p.r);
        EXPECT_EQ(a.mode, p.mode) << p.r;
        EXPECT_EQ(a.count, p.count) << p.r;
        EXPECT_EQ(a.radius, p.radius) << p.r;
        EXPECT_EQ(a.depth, p.depth) << p.r;
    }
    Start();
    MouseAt(w.get(), QEvent::MouseButtonPress, Qt::RightButton, {50, 30});
    EXPECT_GE(w->Wave().AutoMode(), 0);
    EXPECT_LE(w->Wave().AutoMode(), 3);
}

// A banner that cannot ripple stays still, and the window stays open.
TEST_F(FrmMainTest, FailedRippleLeavesTheWindowOpen) {
    Make();
    w->SetBannerPicture(QImage());
    w->Load();
    w->Activate();
    EXPECT_FALSE(w->IsUnloaded());
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->RippleRunning());
    MouseAt(w.get(), QEvent::MouseButtonPress, Qt::LeftButton, {100, 30});  // harmless
}

// ---------------------------------------------------------------------------
// File name

TEST_F(FrmMainTest, FileNameIsCopiedOnlyWhenThereIsOne) {
    Start();
    QGuiApplication::clipboard()->setText("untouched");
    QTest::mouseDClick(Child<QLabel>(*w, "lblfilename"), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "untouched");
    w->Video().ShowTitle("某视频 第1集");
    QTest::mouseDClick(Child<QLabel>(*w, "lblfilename"), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "某视频 第1集");
    QGuiApplication::clipboard()->setText("again");
    QTest::mouseDClick(Child<QLabel>(*w, "imgTip"), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "某视频 第1集");  // the picture does the same
}

// ---------------------------------------------------------------------------
// Real boxes

TEST_F(FrmMainTest, PlacementCentresOnlyTheNextBox) {
    Make();
    w->show();
    w->move(100, 100);
    MsgBoxPlacement placement(w.get());
    QDialog first;
    QDialog second;
    for (QDialog* d : {&first, &second}) {
        d->setFixedSize(200, 100);
        d->move(0, 0);
    }
    placement.Arm();
    first.show();
    EXPECT_FALSE(placement.Armed());
    EXPECT_EQ(first.pos(), CenterOver(OuterRect(*w), OuterRect(first)));
    EXPECT_EQ(first.pos(), QPoint(248, 202));  // y = 152.5 + 100 - 50, halves to even
    second.show();
    EXPECT_EQ(second.pos(), QPoint(0, 0));
}

TEST_F(FrmMainTest, QtPromptsShowTitledBoxes) {
    Make();
    w->show();
    w->move(100, 100);
    QtPrompts real(w.get());
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QPoint at;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        at = box->pos() - CenterOver(OuterRect(*w), OuterRect(*box));
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(real.Message("您需要吗？", "提示", Prompts::Buttons::YesNo, Prompts::Icon::Information),
              Prompts::Answer::No);
    EXPECT_EQ(title, "提示");
    EXPECT_EQ(text, "您需要吗？");
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(at, QPoint(0, 0));

    QPoint inputAt;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        inputAt = box->pos();
        box->setTextValue(" 2048 ");
        box->accept();
    });
    EXPECT_EQ(real.Input("大小：", "文件大小", QString(), QPoint(40, 30)), QString(" 2048 "));
    EXPECT_EQ(title, "文件大小");
    EXPECT_EQ(inputAt, QPoint(40, 30));
}

}  // namespace
}  // namespace tessel::shell::testing
