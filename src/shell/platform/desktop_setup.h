// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the window program settles with the desktop before and right after
// QApplication exists: the window system it runs on, Qt's own texts in
// Simplified Chinese, and a font that can draw them.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QWidget;

namespace tessel::shell {

// ---------------------------------------------------------------------------
// Window system.  Placement, always-on-top and edge docking need X11, so on
// a Wayland desktop the program runs through XWayland; without any X server
// it says why it cannot start instead of letting Qt abort.

struct WindowSystemEnv {
    QByteArray qpaPlatform;         // QT_QPA_PLATFORM
    QByteArray waylandDisplay;      // WAYLAND_DISPLAY
    QByteArray display;             // DISPLAY
    bool platformArgument = false;  // -platform on the command line
};

struct WindowSystemChoice {
    QByteArray setPlatform;     // a value for QT_QPA_PLATFORM, or empty: leave it
    bool needsXServer = false;  // the platform will be xcb: the X server must answer
    QString cannotStart;        // non-empty: the program cannot open its window
};

WindowSystemChoice ChooseWindowSystem(const WindowSystemEnv& env);

// Reads the environment and the arguments and sets QT_QPA_PLATFORM when
// XWayland serves.  Returns an exit status, after saying why on standard
// error, when no window can be opened.
std::optional<int> PrepareWindowSystem(int argc, char** argv);

// Whether the X server answers is left to Qt's own connection: asking it
// once more before would cost a whole connection on every start.  Made
// before QApplication, this holds Qt's messages while it connects; when Qt
// gives up because nothing answers at `display` (it would print its own
// words and abort), the program says why in its own on standard error and
// exits with status 1.  Release() (or the destructor) passes what was held
// on as it came.
class XServerWatch {
 public:
    struct State;  // what is held
    explicit XServerWatch(const QByteArray& display);
    ~XServerWatch();
    XServerWatch(const XServerWatch&) = delete;
    XServerWatch& operator=(const XServerWatch&) = delete;
    void Release();

 private:
    std::unique_ptr<State> state_;
};

// ---------------------------------------------------------------------------
// Language and font.

// Work of the start that needs neither the display nor the event loop, on
// a thread of its own while Qt connects to the display.  Fontconfig reads
// its configuration (dozens of XML files) and its font caches the first time
// any font is asked for, which done in line is a fifth of the window's
// start-up; here it is done first, and Qt's font database finds it loaded.
// Made before QApplication; Wait() before the first font.
//
// The thread runs at the lowest priority: Qt's connection to the display is
// a string of round trips through the X server and Qt's own reader thread,
// and on a machine with two processors a third busy thread at the same
// priority delays every one of them.  So the warm-up takes only the time the
// others leave.  Wait() waits for it while it gets a processor; starved (every
// processor busy with other work), it would keep the window waiting, so the
// main thread then reads the configuration itself, as it would without the
// warm-up.  Fontconfig's first load may run on several threads at once; the
// first to finish is kept.
class StartWarmUp {
 public:
    StartWarmUp();
    ~StartWarmUp();  // joins the thread
    StartWarmUp(const StartWarmUp&) = delete;
    StartWarmUp& operator=(const StartWarmUp&) = delete;
    // Returns when fontconfig has its configuration loaded.
    void Wait();

 private:
    bool Loaded();

    std::mutex mutex_;
    std::condition_variable changed_;
    bool loaded_ = false;  // guarded by mutex_
    std::thread thread_;
};

// The first text a widget shows starts Qt's accessibility bridge, which
// connects to the session bus and waits for the connection; with no bus
// address set, libdbus first forks to look for one.  Asked for on a thread
// of its own before the window is built, the connection is made meanwhile
// and the bridge finds it made.  Made after StartWarmUp's Wait() (a fork
// beside fontconfig's reading slows both) and after the single-instance
// claim (a start that hands over needs no bus).  The destructor waits for
// the thread: keep it inside the application's lifetime.
class SessionBusWarmUp {
 public:
    SessionBusWarmUp();

 private:
    std::jthread thread_;
};

// The rest after QApplication exists.

// Loads Qt's own catalogue for Simplified Chinese (context menus of the text
// boxes, standard buttons).  False when it is not installed.
bool InstallQtChinese();

// The families the program prefers for its Chinese interface, best first.
inline constexpr const char* kPreferredChineseFamilies[] = {
    "WenQuanYi Micro Hei", "Noto Sans CJK SC",    "Source Han Sans SC", "Noto Sans SC",
    "WenQuanYi Zen Hei",   "Droid Sans Fallback", "AR PL UKai CN",      "AR PL UMing CN",
};

// Picks from the families that cover Simplified Chinese: the first preferred
// one present, else the first that is not a monospaced face, else the first;
// empty when there is none.
QString PickChineseFamily(const QStringList& coveringFamilies);

// The notice for a desktop without any Chinese font.  In English: without
// such a font Chinese text would be empty boxes.
QString NoChineseFontNotice();

// Sets the interface font (12 pixels, a family that covers Simplified
// Chinese) and Qt's Chinese texts.  Returns a notice for the user when no
// installed font covers Simplified Chinese, else an empty text.
QString SetUpLanguageAndFont();

// Shows `text` over `window` once the event loop runs, without waiting for
// an answer, and writes it to standard error.
void Notify(QWidget* window, const QString& text);

}  // namespace tessel::shell
