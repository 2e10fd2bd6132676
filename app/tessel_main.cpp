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
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSocketNotifier>
#include <QStyleFactory>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <optional>

#include "bridge/single_instance.h"
#include "shell/jobs/aria2_engine_process.h"
#include "shell/jobs/download_follower.h"
#include "shell/platform/desktop_notifier.h"
#include "shell/platform/desktop_setup.h"
#include "shell/settings/settings_store.h"
#include "shell/ui/status_line.h"
#include "shell/window/frm_main.h"
#include "shell/window/frm_tray.h"
#include "shell/window/link_opener.h"
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

// Told on standard error and, where a notification service runs, on the
// desktop: a start from a browser or a file manager has no terminal.
void SayNotHandedOver(const QString& why, qsizetype links) {
    const QString summary = links > 0 ? QStringLiteral("没能把链接交给运行中的 Tessel")
                                      : QStringLiteral("没能联系运行中的 Tessel");
    std::fprintf(stderr, "tessel: %s：%s\n", qUtf8Printable(summary), qUtf8Printable(why));
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    const QString path = QStringLiteral("/org/freedesktop/Notifications");
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusMessage capabilities =
        bus.call(QDBusMessage::createMethodCall(service, path, service, QStringLiteral("GetCapabilities")),
                 QDBus::Block, 2000);
    if (capabilities.type() != QDBusMessage::ReplyMessage) {
        std::fputs("tessel: （没有桌面通知服务，只在这里说明）\n", stderr);
        return;
    }
    // A service that reads markup must see the text as text.
    const bool markup =
        !capabilities.arguments().isEmpty() &&
        capabilities.arguments().first().toStringList().contains(QStringLiteral("body-markup"));
    QDBusMessage notify = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    notify << QStringLiteral("TESSEL") << 0u << QStringLiteral("dialog-warning") << summary
           << (markup ? why.toHtmlEscaped() : why) << QStringList() << QVariantMap() << -1;
    if (bus.call(notify, QDBus::Block, 2000).type() != QDBusMessage::ReplyMessage)
        std::fputs("tessel: （桌面通知没有送出，只在这里说明）\n", stderr);
}

// The steps of the start on the "tessel.window" debug category, for
// bench/window_startup.sh: where the time to the first paint goes.
void StartStep(const char* step) {
    qCDebug(tessel::shell::lcWindow, "start: %s at %lld us", step, tessel::shell::FrmMain::MonotonicMicros());
}

struct CommandLine {
    bool hidden = false;
    QStringList links;
};

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("显示本帮助并退出")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("显示版本号并退出")};
    QCommandLineOption hidden{QStringLiteral("hidden"), QStringLiteral("启动到通知区域（托盘），不显示窗口")};
};

// The program speaks Simplified Chinese, as the window and tessel-cli do.
void DescribeCommandLine(QCommandLineParser& parser, const Options& options) {
    parser.setApplicationDescription(QStringLiteral(
        "转换 thunder://、flashget://、qqdl:// 和 fs2you:// 链接与普通地址，并把下载交给 aria2。\n"
        "每个链接或地址都在窗口中打开；同一显示器上已在运行的 Tessel 会接手它们。"));
    parser.addOption(options.help);
    parser.addOption(options.version);
    parser.addOption(options.hidden);
    parser.addPositionalArgument(QStringLiteral("链接"), QStringLiteral("要打开的链接或地址"),
                                 QStringLiteral("[链接或地址...]"));
}

// Read before any window exists, so --help, --version and a mistake are
// answered without a display.  Returns the exit status when the program is
// to stop here.
std::optional<int> ParseCommandLine(int argc, char** argv, CommandLine& out) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);

    const Options options;
    QCommandLineParser parser;
    DescribeCommandLine(parser, options);
    const bool parsed = parser.parse(arguments);
    if (parsed && !parser.isSet(options.help) && parser.isSet(options.version)) {
        std::fputs("tessel " TESSEL_VERSION "\n", stdout);
        return 0;
    }
    if (parsed && !parser.isSet(options.help)) {
        out.hidden = parser.isSet(options.hidden);
        out.links = parser.positionalArguments();
        return std::nullopt;
    }

    // Only what is printed needs Qt's own words ("Usage:", "Options:", its
    // complaints) in Chinese: they come from Qt's catalogue, which needs an
    // application object to be installed in.  A plain start never pays for it.
    // Qt names the program in its help after the first argument.
    char name[] = "tessel";
    char* app_argv[] = {name, nullptr};
    int app_argc = 1;
    QCoreApplication speaking(app_argc, app_argv);
    tessel::shell::InstallQtChinese();
    QCommandLineParser reparsed;
    DescribeCommandLine(reparsed, options);
    if (!reparsed.parse(arguments)) {
        std::fprintf(stderr, "tessel: %s（用法见 tessel --help）\n", qUtf8Printable(reparsed.errorText()));
        return 2;
    }
    std::fputs(qUtf8Printable(reparsed.helpText()), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    StartStep("main");
    CommandLine command;
    if (const std::optional<int> status = ParseCommandLine(argc, argv, command)) return *status;

    // Fontconfig reads its files while Qt connects to the display.
    tessel::shell::StartWarmUp warm;
    if (const auto status = tessel::shell::PrepareWindowSystem(argc, argv)) return *status;
    tessel::shell::XServerWatch xserver(qgetenv("DISPLAY"));
    QApplication app(argc, argv);
    xserver.Release();
    QApplication::setApplicationName(QStringLiteral("TESSEL"));
    QApplication::setApplicationDisplayName(QStringLiteral("TESSEL"));
    QApplication::setApplicationVersion(QStringLiteral(TESSEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.tessel.Tessel"));
    StartStep("application");

    tessel::bridge::SingleInstance instance(tessel::bridge::SingleInstance::DefaultSocketPath());
    switch (instance.Claim(command.links)) {
        case tessel::bridge::SingleInstance::Role::Forwarded:
            return 0;
        case tessel::bridge::SingleInstance::Role::Failed:
            std::fprintf(stderr, "tessel: %s\n", qUtf8Printable(instance.Error()));
            break;
        case tessel::bridge::SingleInstance::Role::Refused:
            // Another Tessel runs: a second window would ask about the same
            // links again.  This start ends here and says why.
            SayNotHandedOver(instance.Error(), command.links.size());
            return 1;
        case tessel::bridge::SingleInstance::Role::First:
            break;
    }

    // The window is laid out for a 12-pixel Chinese face and a plain look,
    // whatever the desktop's own theme is.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    warm.Wait();
    StartStep("fontconfig");
    const tessel::shell::SessionBusWarmUp bus;
    const QString fontNotice = tessel::shell::SetUpLanguageAndFont();
    StartStep("font");
    // The tray icon keeps the program alive while the window is minimized; the
    // program ends with the main window's unload, not with its last window.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString iniPath = tessel::shell::IniSettingsStore::DefaultPath();
    tessel::shell::IniSettingsStore::PrepareUserFile(iniPath);
    tessel::shell::IniSettingsStore settings(iniPath);

    StartStep("settings");
    tessel::shell::FrmMain main(settings);
    StartStep("window built");
    tessel::shell::FrmTray tray(main);
    QObject::connect(&main, &tessel::shell::FrmMain::Unloaded, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&tray, &tessel::shell::FrmTray::ExitRequested, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    CloseOnTerminate(main);
    settings.OnTrouble([&main](const QString& text) { tessel::shell::Notify(&main, text); });
    if (!fontNotice.isEmpty()) tessel::shell::Notify(&main, fontNotice);
    tray.Load();
    StartStep("tray");
    // Downloads left unfinished last time go on.
    main.Engine().ResumeUnfinished();

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
    QObject::connect(&instance, &tessel::bridge::SingleInstance::Arrived, &opener,
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
