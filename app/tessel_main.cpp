// SPDX-License-Identifier: GPL-3.0-or-later
// tessel: the window program.  It starts from the hidden tray window, which
// shows the main window and then puts the icon into the notification area.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QStyleFactory>

#include "shell/frm_main.h"
#include "shell/frm_tray.h"
#include "shell/settings_store.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("TESSEL"));
  QApplication::setApplicationDisplayName(QStringLiteral("TESSEL"));
  QApplication::setDesktopFileName(QStringLiteral("tessel"));
  // The window is laid out for a 12-pixel Chinese face and a plain look,
  // whatever the desktop's own theme is.
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPixelSize(12);
  QApplication::setFont(font);
  // The tray icon keeps the program alive while the window is minimized; the
  // program ends with the main window's unload, not with its last window.
  QApplication::setQuitOnLastWindowClosed(false);

  const QString iniPath = tessel::shell::IniSettingsStore::DefaultPath();
  QDir().mkpath(QFileInfo(iniPath).absolutePath());
  tessel::shell::IniSettingsStore settings(iniPath);

  tessel::shell::FrmMain main(settings);
  tessel::shell::FrmTray tray(main);
  QObject::connect(&main, &tessel::shell::FrmMain::Unloaded, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  QObject::connect(&tray, &tessel::shell::FrmTray::ExitRequested, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  tray.Load();
  return QApplication::exec();
}
