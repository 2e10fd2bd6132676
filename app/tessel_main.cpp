// SPDX-License-Identifier: GPL-3.0-or-later
// tessel: the window program.  It starts from the hidden tray window, which
// shows the main window and then puts the icon into the notification area.
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QStyleFactory>
#include <csignal>

#include "shell/desktop_setup.h"
#include "shell/frm_main.h"
#include "shell/frm_tray.h"
#include "shell/settings_store.h"

namespace {

// A request to terminate (logout, `kill`, Ctrl+C in a terminal) closes the
// window like its close button does, so the settings are saved and the
// per-run flags reset.  The handler only writes a byte; the event loop
// does the rest.
int g_signal_pipe[2] = {-1, -1};

void OnTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signal_pipe[1], &byte, 1);
}

void CloseOnTerminate(QWidget& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_pipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_signal_pipe[0], &byte, 1);
        window.close();
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = tessel::shell::PrepareWindowSystem(argc, argv)) return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TESSEL"));
    QApplication::setApplicationDisplayName(QStringLiteral("TESSEL"));
    QApplication::setDesktopFileName(QStringLiteral("org.tessel.Tessel"));
    // The window is laid out for a 12-pixel Chinese face and a plain look,
    // whatever the desktop's own theme is.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QString fontNotice = tessel::shell::SetUpLanguageAndFont();
    // The tray icon keeps the program alive while the window is minimized; the
    // program ends with the main window's unload, not with its last window.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString iniPath = tessel::shell::IniSettingsStore::DefaultPath();
    tessel::shell::IniSettingsStore::PrepareUserFile(iniPath);
    tessel::shell::IniSettingsStore settings(iniPath);

    tessel::shell::FrmMain main(settings);
    tessel::shell::FrmTray tray(main);
    QObject::connect(&main, &tessel::shell::FrmMain::Unloaded, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&tray, &tessel::shell::FrmTray::ExitRequested, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    CloseOnTerminate(main);
    settings.OnTrouble([&main](const QString& text) { tessel::shell::Notify(&main, text); });
    if (!fontNotice.isEmpty()) tessel::shell::Notify(&main, fontNotice);
    tray.Load();
    return QApplication::exec();
}
