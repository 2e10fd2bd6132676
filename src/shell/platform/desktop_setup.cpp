// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/platform/desktop_setup.h"

#include <fontconfig/fontconfig.h>
#include <pthread.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QTranslator>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "shell/ui/plain_text.h"

namespace tessel::shell {

namespace {

void Say(const QString& text) {
    for (const QString& line : text.split(u'\n')) std::fprintf(stderr, "tessel: %s\n", qUtf8Printable(line));
}

// What XServerWatch holds while QApplication is made.
struct HeldMessage {
    QtMsgType type;
    QByteArray category, file, function;
    int line;
    QString text;
};

}  // namespace

struct XServerWatch::State {
    QtMessageHandler previous = nullptr;
    QString display;
    bool unanswered = false;  // Qt said it could not connect
    std::vector<HeldMessage> held;
};

namespace {

// The watch in force; Hold may run on any thread that logs.
std::mutex g_watchMutex;
XServerWatch::State* g_watch = nullptr;

void PassOn(const XServerWatch::State& w) {
    for (const HeldMessage& m : w.held) {
        const QMessageLogContext context(m.file.isNull() ? nullptr : m.file.constData(), m.line,
                                         m.function.isNull() ? nullptr : m.function.constData(),
                                         m.category.isNull() ? nullptr : m.category.constData());
        w.previous(m.type, context, m.text);
    }
}

void Hold(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    std::unique_lock lock(g_watchMutex);
    if (!g_watch) {
        // Released while this message was on its way: Qt's handler again.
        lock.unlock();
        qt_message_output(type, context, text);
        return;
    }
    XServerWatch::State& w = *g_watch;
    if (qstrcmp(context.category, "qt.qpa.xcb") == 0 && text.startsWith(QLatin1String("could not connect")))
        w.unanswered = true;
    if (type == QtFatalMsg && w.unanswered) {
        Say(QStringLiteral(
                "无法连接 X 服务器 DISPLAY=%1：它没有运行，或不允许本用户连接。\n"
                "cannot connect to the X server at DISPLAY=%1: it is not running or refuses this user.")
                .arg(w.display));
        std::fflush(stderr);
        ::_exit(1);
    }
    w.held.push_back({type, QByteArray(context.category), QByteArray(context.file),
                      QByteArray(context.function), context.line, text});
    // Any other end: Qt's own words, as they came; Qt aborts after this.
    if (type == QtFatalMsg) PassOn(w);
}

}  // namespace

XServerWatch::XServerWatch(const QByteArray& display) : state_(std::make_unique<State>()) {
    state_->display = QString::fromLocal8Bit(display);
    const std::lock_guard lock(g_watchMutex);
    g_watch = state_.get();
    state_->previous = qInstallMessageHandler(Hold);
}

XServerWatch::~XServerWatch() { Release(); }

void XServerWatch::Release() {
    if (!state_) return;
    {
        const std::lock_guard lock(g_watchMutex);
        qInstallMessageHandler(state_->previous);
        g_watch = nullptr;
        PassOn(*state_);
    }
    state_.reset();
}

WindowSystemChoice ChooseWindowSystem(const WindowSystemEnv& env) {
    WindowSystemChoice choice;
    // A platform the user chose is theirs to keep, whatever it is.
    if (env.platformArgument) return choice;
    if (!env.qpaPlatform.isEmpty()) {
        choice.needsXServer = env.qpaPlatform == "xcb";
        if (choice.needsXServer && env.display.isEmpty()) {
            choice.cannotStart = QStringLiteral(
                "QT_QPA_PLATFORM=xcb 要求 X 服务器，但没有设置 DISPLAY。\n"
                "QT_QPA_PLATFORM=xcb needs an X server, but DISPLAY is not set.");
        }
        return choice;
    }
    if (env.display.isEmpty()) {
        if (env.waylandDisplay.isEmpty()) {
            choice.cannotStart = QStringLiteral(
                "找不到图形桌面：没有设置 DISPLAY，Tessel 的窗口需要 X 服务器。\n"
                "cannot open a window: no X server (DISPLAY is not set).");
        } else {
            choice.cannotStart = QStringLiteral(
                "这个 Wayland 桌面没有 XWayland（没有设置 DISPLAY）。Tessel 的窗口定位、置顶和贴边隐藏需要 "
                "X11："
                "请启用 XWayland 后重试，或设置 QT_QPA_PLATFORM=wayland 在缺少这些功能的情况下运行。\n"
                "this Wayland desktop offers no XWayland (DISPLAY is not set); Tessel places its window, "
                "keeps "
                "it on top and docks it through X11.  Enable XWayland, or set QT_QPA_PLATFORM=wayland to run "
                "without those.");
        }
        return choice;
    }
    choice.needsXServer = true;
    // Qt would pick its Wayland platform on a Wayland desktop, where the
    // window can neither place itself nor stay on top.
    if (!env.waylandDisplay.isEmpty()) choice.setPlatform = "xcb";
    return choice;
}

std::optional<int> PrepareWindowSystem(int argc, char** argv) {
    WindowSystemEnv env;
    env.qpaPlatform = qgetenv("QT_QPA_PLATFORM");
    env.waylandDisplay = qgetenv("WAYLAND_DISPLAY");
    env.display = qgetenv("DISPLAY");
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            env.platformArgument = true;
    }
    const WindowSystemChoice choice = ChooseWindowSystem(env);
    if (!choice.cannotStart.isEmpty()) {
        Say(choice.cannotStart);
        return 1;
    }
    if (!choice.setPlatform.isEmpty()) qputenv("QT_QPA_PLATFORM", choice.setPlatform);
    return std::nullopt;
}

StartWarmUp::StartWarmUp()
    : thread_([this] {
          // On Linux this sets the calling thread's priority, not the
          // process's.  Lowering it needs no privilege; failing, the thread
          // runs at the normal priority.
          constexpr int kLowest = 19;
          setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kLowest);
          FcInit();
          {
              const std::lock_guard lock(mutex_);
              loaded_ = true;
          }
          changed_.notify_all();
      }) {}

StartWarmUp::~StartWarmUp() {
    if (thread_.joinable()) thread_.join();
}

namespace {

std::chrono::nanoseconds CpuTime(clockid_t clock) {
    timespec t{};
    if (clock_gettime(clock, &t) != 0) return {};
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

}  // namespace

bool StartWarmUp::Loaded() {
    const std::lock_guard lock(mutex_);
    return loaded_;
}

void StartWarmUp::Wait() {
    using namespace std::chrono_literals;
    // A load that has a processor ends sooner than one begun here (about
    // 4 ms of work in all).  One that got less than a quarter of the last
    // slice is starved, and more waiting would only add to the start.
    constexpr auto kSlice = 500us;
    constexpr auto kProgress = kSlice / 4;
    constexpr int kSlices = 16;
    clockid_t clock{};
    if (pthread_getcpuclockid(thread_.native_handle(), &clock) == 0) {
        for (int i = 0; i < kSlices; ++i) {
            const std::chrono::nanoseconds before = CpuTime(clock);
            std::unique_lock lock(mutex_);
            if (changed_.wait_for(lock, kSlice, [this] { return loaded_; })) return;
            lock.unlock();
            if (CpuTime(clock) - before < kProgress) break;
        }
    }
    if (!Loaded()) FcInit();
}

SessionBusWarmUp::SessionBusWarmUp() : thread_([] { QDBusConnection::sessionBus(); }) {}

bool InstallQtChinese() {
    auto* qt = new QTranslator(qApp);
    // The interface is Chinese whatever the desktop's language is.
    if (!qt->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        Say(
            QStringLiteral("Qt's Chinese texts (qtbase_zh_CN.qm) are not installed; install the package "
                           "qt6-translations-l10n."));
        return false;
    }
    QCoreApplication::installTranslator(qt);
    return true;
}

QString PickChineseFamily(const QStringList& coveringFamilies) {
    for (const char* preferred : kPreferredChineseFamilies) {
        for (const QString& family : coveringFamilies) {
            if (family.compare(QLatin1String(preferred), Qt::CaseInsensitive) == 0) return family;
        }
    }
    for (const QString& family : coveringFamilies) {
        if (!family.contains(QLatin1String("Mono"), Qt::CaseInsensitive)) return family;
    }
    return coveringFamilies.isEmpty() ? QString() : coveringFamilies.front();
}

QString NoChineseFontNotice() {
    return QStringLiteral(
        "No installed font covers Simplified Chinese, so Tessel's Chinese texts show as empty boxes.\n"
        "Install one, for example:\n"
        "    sudo apt install fonts-wqy-microhei\n"
        "or fonts-noto-cjk, then start Tessel again.");
}

QString SetUpLanguageAndFont() {
    InstallQtChinese();
    const QString family = PickChineseFamily(QFontDatabase::families(QFontDatabase::SimplifiedChinese));
    // The window is laid out for a 12-pixel Chinese face.
    QFont font = family.isEmpty() ? QApplication::font() : QFont(family);
    font.setPixelSize(12);
    QApplication::setFont(font);
    return family.isEmpty() ? NoChineseFontNotice() : QString();
}

void Notify(QWidget* window, const QString& whole) {
    const QString text = PlainCut(whole);
    Say(text);
    QPointer<QWidget> parent(window);
    QTimer::singleShot(0, qApp, [parent, text] {
        // The notices name files and folders, which may be called anything.
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("TESSEL"), QString(),
                                    QMessageBox::Ok, parent);
        ShowPlain(box, text);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setObjectName(QStringLiteral("desktopNotice"));
        box->open();
    });
}

}  // namespace tessel::shell
