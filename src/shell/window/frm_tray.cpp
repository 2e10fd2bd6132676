// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/window/frm_tray.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QSystemTrayIcon>

#include "shell/ui/plain_text.h"
#include "shell/window/download_settings_dialog.h"
#include "shell/window/frm_main.h"
#include "tessel_version.h"

namespace tessel::shell {

FrmTray::FrmTray(FrmMain& main) : main_(main) {
    setObjectName(QStringLiteral("frmTray"));
    setWindowTitle(QStringLiteral("Tessel Tray"));
    mnumain = new QMenu(QStringLiteral("菜单"), this);
    mnumain->setObjectName(QStringLiteral("mnumain"));
    mnuDownloadSettings = mnumain->addAction(QStringLiteral("下载设置…"));
    mnuDownloadSettings->setObjectName(QStringLiteral("mnuDownloadSettings"));
    connect(mnuDownloadSettings, &QAction::triggered, this, &FrmTray::ShowDownloadSettings);
    mnumain->addSeparator();
    mnuexit = mnumain->addAction(QStringLiteral("退出(&E)"));
    mnuexit->setObjectName(QStringLiteral("mnuexit"));
    connect(mnuexit, &QAction::triggered, this, &FrmTray::OnExit);
    main_.SetTray(this);
}

FrmTray::~FrmTray() { Unload(); }

QString FrmTray::TipText() { return QStringLiteral("Tessel V" TESSEL_VERSION_MAJOR " - 单击显示/隐藏窗口"); }

void FrmTray::SetProgress(const QString& text) {
    progress_ = text;
    if (icon_) icon_->setToolTip(text.isEmpty() ? TipText() : PlainTip(text));
}

void FrmTray::ShowMessage(const QString& summary, const QString& body, bool failed) {
    if (IconInTray()) {
        icon_->showMessage(summary, body, failed ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
        return;
    }
    QString line = body;
    line.replace(u'\n', QStringLiteral("："));
    main_.ShowStatus(summary + QStringLiteral("：") + line);
}

void FrmTray::ShowDownloadSettings() {
    if (settings_dialog_) {
        settings_dialog_->raise();
        settings_dialog_->activateWindow();
        return;
    }
    settings_dialog_ = new DownloadSettingsDialog(main_.Settings(), &main_.Engine(), &main_);
    settings_dialog_->setWindowFlag(Qt::Dialog);
    settings_dialog_->setAttribute(Qt::WA_DeleteOnClose);
    settings_dialog_->show();
}

void FrmTray::Load() {
    if (loaded_) return;
    loaded_ = true;
    main_.Load();
    main_.Activate();
    setWindowIcon(main_.windowIcon());
    icon_ = new QSystemTrayIcon(main_.windowIcon(), this);
    icon_->setObjectName(QStringLiteral("trayIcon"));
    icon_->setToolTip(progress_.isEmpty() ? TipText() : PlainTip(progress_));
    // Where the icon is our own X window we see its button releases; where
    // the desktop draws it for us we get Qt's click reasons instead.  A tray
    // host that came (or came back) after the load gets a new icon window,
    // hooked here at its first press: its release then comes to the filter.
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (icon_widget_ || HookIconWidget()) return;
        if (r == QSystemTrayIcon::Trigger) OnIconNotification(kLeftButtonUp);
        if (r == QSystemTrayIcon::Context) OnIconNotification(kRightButtonUp);
    });
    // Shown even with no tray host yet: Qt puts the icon in as soon as one
    // announces itself (a panel that starts after us), without polling.
    icon_->show();
    HookIconWidget();
}

bool FrmTray::IconInTray() const { return icon_ && QSystemTrayIcon::isSystemTrayAvailable(); }

bool FrmTray::HookIconWidget() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qstrcmp(w->metaObject()->className(), "QSystemTrayIconSys") == 0) {
            icon_widget_ = w;
            w->installEventFilter(this);
            return true;
        }
    }
    return false;
}

bool FrmTray::eventFilter(QObject* watched, QEvent* e) {
    if (watched != icon_widget_) return false;
    switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return true;  // the icon acts on the release, as a notification icon should
        case QEvent::MouseButtonRelease: {
            const auto* m = static_cast<QMouseEvent*>(e);
            if (m->button() == Qt::LeftButton) OnIconNotification(kLeftButtonUp);
            if (m->button() == Qt::RightButton) OnIconNotification(kRightButtonUp);
            return true;
        }
        case QEvent::MouseMove:
            OnIconNotification(512);
            return false;
        default:
            return false;
    }
}

void FrmTray::OnIconNotification(int code) {
    // Every notification brings this (hidden) window to the foreground, so the
    // main window counts as re-activated when the user returns to it.
    main_.NoteOtherFormActive();
    if (code == kRightButtonUp) {
        mnumain->popup(QCursor::pos());
    } else if (code == kLeftButtonUp) {
        if (main_.isMinimized()) {
            main_.showNormal();
        } else if (main_.isVisible()) {
            main_.showMinimized();
        } else {
            main_.show();
            if (main_.isMinimized()) main_.showNormal();
        }
    }
}

void FrmTray::OnExit() {
    Unload();
    main_.Unload();
    main_.close();
    emit ExitRequested();
}

void FrmTray::Unload() {
    if (!loaded_) return;
    loaded_ = false;
    if (icon_) {
        icon_->hide();
        if (icon_widget_) icon_widget_->removeEventFilter(this);
        delete icon_;
        icon_ = nullptr;
    }
}

}  // namespace tessel::shell
