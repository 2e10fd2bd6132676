// SPDX-License-Identifier: GPL-3.0-or-later
// tessel: the window program.  It starts from the hidden tray window, which
// shows the main window and then puts the icon into the notification area.
//
//   tessel [--hidden] [LINK-OR-ADDRESS...]
//
// One program runs per user and display: a later start hands its links to
// the running one and exits.
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <QStyleFactory>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <optional>

#include "shell/desktop_notifier.h"
#include "shell/desktop_setup.h"
#include "shell/download_follower.h"
#include "shell/frm_main.h"
#include "shell/frm_tray.h"
#include "shell/link_opener.h"
#include "shell/settings_store.h"
#include "shell/single_instance.h"
#include "shell/status_line.h"
#include "tessel_version.h"

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

struct CommandLine {
    bool hidden = false;
    QStringList links;
};

// Read before any window exists, so --help, --version and a mistake are
// answered without a display.  Returns the exit status when the program is
// to stop here.
std::optional<int> ParseCommandLine(int argc, char** argv, CommandLine& out) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts thunder://, flashget://, qqdl:// and fs2you:// links and plain addresses,\n"
                       "and hands downloads to aria2.  Each LINK-OR-ADDRESS is opened in the window;\n"
                       "a running Tessel on the same display takes them over."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption hidden(
        QStringLiteral("hidden"),
        QStringLiteral("Start in the notification area, without showing the window."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(hidden);
    parser.addPositionalArgument(QStringLiteral("LINK"), QStringLiteral("A link or address to open."),
                                 QStringLiteral("[LINK-OR-ADDRESS...]"));

    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "tessel: %s  Try 'tessel --help'.\n", qUtf8Printable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(qUtf8Printable(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                            QStringLiteral("tessel"))),
                   stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::fputs("tessel " TESSEL_VERSION "\n", stdout);
        return 0;
    }
    out.hidden = parser.isSet(hidden);
    out.links = parser.positionalArguments();
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine command;
    if (const std::optional<int> status = ParseCommandLine(argc, argv, command)) return *status;

    if (const auto status = tessel::shell::PrepareWindowSystem(argc, argv)) return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TESSEL"));
    QApplication::setApplicationDisplayName(QStringLiteral("TESSEL"));
    QApplication::setApplicationVersion(QStringLiteral(TESSEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.tessel.Tessel"));

    tessel::shell::SingleInstance instance(tessel::shell::SingleInstance::DefaultSocketPath());
    switch (instance.Claim(command.links)) {
        case tessel::shell::SingleInstance::Role::Forwarded:
            return 0;
        case tessel::shell::SingleInstance::Role::Failed:
            std::fprintf(stderr, "tessel: %s\n", qUtf8Printable(instance.error()));
            break;
        case tessel::shell::SingleInstance::Role::First:
            break;
    }

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

    // How each download handed over ends: a desktop notification, or the
    // tray's message where no notification service runs; the tray's tooltip
    // shows the progress while downloads run.
    tessel::shell::DesktopNotifier notifier(
        [&tray](const QString& summary, const QString& body, bool failed) {
            tray.ShowMessage(summary, body, failed);
        });
    tessel::shell::DownloadFollower& downloads = main.Downloads();
    QObject::connect(&downloads, &tessel::shell::DownloadFollower::Ended, &notifier,
                     &tessel::shell::DesktopNotifier::Tell);
    QObject::connect(&downloads, &tessel::shell::DownloadFollower::ProgressChanged, &tray,
                     &tessel::shell::FrmTray::SetProgress);
    QObject::connect(
        &downloads, &tessel::shell::DownloadFollower::Renamed, &main,
        [&main](const QString& handed, const QString& real) {
            main.ShowStatus(QStringLiteral("已交给 aria2：%1（aria2 保存为 %2）").arg(handed, real));
        });

    QObject::connect(&main.Status(), &tessel::shell::StatusLine::Aria2Clicked, &tray,
                     &tessel::shell::FrmTray::ShowDownloadSettings);

    tessel::shell::LinkOpener opener(main);
    QObject::connect(&instance, &tessel::shell::SingleInstance::Arrived, &opener,
                     &tessel::shell::LinkOpener::Open);
    if (!command.links.isEmpty()) {
        // After the window's own start-up (its first activation routes the
        // clipboard), so the links are the last word on the boxes.
        QTimer::singleShot(0, &opener, [&opener, links = command.links] { opener.Open(links); });
    } else if (command.hidden) {
        // With no notification area to come back from, hidden would mean a
        // running program with nothing on screen: the window stays and says why.
        if (tray.IconInTray())
            main.hide();
        else
            main.ShowStatus(
                QStringLiteral("桌面没有通知区域（托盘），窗口没有隐藏；托盘出现后图标会显示在那里。"));
    }
    return QApplication::exec();
}
