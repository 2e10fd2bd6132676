// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// frmTray: the hidden start-up window and the notification-area icon.
//
// Load shows the main window (its load, then its activation) and then adds
// the icon.  Releasing the left button on the icon minimizes or restores the
// main window; releasing the right one opens a menu whose single item ends
// the program.  Without a tray host the program runs without the icon until
// a host appears (a panel started after the program), which then shows it.

#include <QPointer>
#include <QWidget>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace tessel::shell {

class FrmMain;

class FrmTray : public QWidget {
    Q_OBJECT

 public:
    static constexpr int kLeftButtonUp = 514;
    static constexpr int kRightButtonUp = 517;

    explicit FrmTray(FrmMain& main);
    ~FrmTray() override;

    // Shows the main window (loading and activating it), takes its icon and
    // adds the tray icon when a tray host is there.
    void Load();
    // Removes the icon.  Runs once; the main window's unload calls it too.
    void Unload();
    bool IsLoaded() const { return loaded_; }

    // An icon notification with the mouse message `code` (514 left release,
    // 517 right release; anything else only takes the foreground).
    void OnIconNotification(int code);
    // The exit item: unload this window, then the main window, then end.
    void OnExit();

    // The icon (null before the load) and its menu.
    QSystemTrayIcon* TrayIcon() const { return icon_; }
    // True while a tray host shows the icon, so a hidden window can come back.
    bool IconInTray() const;
    QMenu* Menu() const { return mnumain; }
    QAction* ExitItem() const { return mnuexit; }
    // "下载设置…": the download settings dialog, one at a time.
    void ShowDownloadSettings();

    static QString TipText();
    // The tooltip while downloads run ("Tessel V2 — 2 个下载 45%"); empty
    // puts the usual tip back.
    void SetProgress(const QString& text);
    // A message from the icon, where no notification service runs; without
    // an icon in a tray, the status line says it.
    void ShowMessage(const QString& summary, const QString& body, bool failed);

 signals:
    // The exit item was chosen; the program should end now.
    void ExitRequested();

 protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

 private:
    // Finds the icon's own X window, when Qt made one, and watches its clicks.
    bool HookIconWidget();

    FrmMain& main_;
    QMenu* mnumain = nullptr;
    QAction* mnuexit = nullptr;
    QAction* mnuDownloadSettings = nullptr;
    QPointer<QWidget> settings_dialog_;
    QSystemTrayIcon* icon_ = nullptr;
    QPointer<QWidget> icon_widget_;
    bool loaded_ = false;
    QString progress_;
};

}  // namespace tessel::shell
