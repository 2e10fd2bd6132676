// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// frmMain: the program's only visible window.
//
// A banner across the top (the surface of the ripple effect), the tab strip
// with the four pages, the options strip with its fold-out button, and a
// hidden text box that receives the clipboard text.  Each page is a widget
// of its own that owns its controls and its commands (disk_page.h,
// link_page.h, video_page.h, about_page.h, options_strip.h); the window
// composes them and keeps the lifecycle, the clipboard routing, the settings
// it restores, the banner (frm_main_ripple.cpp) and edge docking.
//
// Everything but the network requests runs on the user-interface thread;
// the requests run beside it (background_request.h) and their pages write
// the results when they end.  A file checksum lets window events run
// between its blocks.

#include <QImage>
#include <QLoggingCategory>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "links/routing.h"
#include "shell/core/wave_object.h"

namespace tessel::controls {
class SafeTabs;
class SkButton;
}  // namespace tessel::controls

namespace tessel::shell {

// Off by default; "tessel.window.debug=true" in QT_LOGGING_RULES reports the
// first paint and every routed clipboard text with a monotonic time stamp,
// which is what bench/window_startup.sh measures.
Q_DECLARE_LOGGING_CATEGORY(lcWindow)

class AboutPage;
class Aria2Engine;
class DiskPage;
class DockAdapter;
class DownloadFollower;
class FrmTray;
class LinkPage;
class OptionsStrip;
class VideoPage;
class ClipboardTextBox;
class Prompts;
class SettingsStore;
class StatusLine;

class FrmMain : public QWidget {
    Q_OBJECT

 public:
    using SafeTabs = controls::SafeTabs;
    using SkButton = controls::SkButton;

    // Client area and heights, in twips (15 per pixel).
    static constexpr int kClientWidth = 7440;
    static constexpr int kClientHeight = 4575;
    // Outer heights of the folded-in and folded-out window; the difference to
    // the client area is the title bar and borders the layout was drawn with.
    static constexpr int kOuterHeightIn = 5055;
    static constexpr int kOuterHeightOut = 5445;
    static constexpr int kNonClientHeight = kOuterHeightIn - kClientHeight;
    static constexpr int kBannerWidth = 500;
    static constexpr int kBannerHeight = 60;
    static constexpr int kRipplePeriodMs = 30;

    // `prompts` answers the message and input boxes (not owned); without one
    // the window shows real Qt boxes.
    explicit FrmMain(SettingsStore& settings, Prompts* prompts = nullptr, QWidget* parent = nullptr);
    ~FrmMain() override;

    // --- lifecycle ----------------------------------------------------------
    // Load: runs once (later calls do nothing).  Restores position and
    // options (a restored public IP option starts its two queries, which
    // answer later), subscribes to the clipboard, shows the window, puts the
    // notice into the video page and turns the key preview on.
    void Load();
    bool IsLoaded() const { return loaded_; }
    // The activation handler: pending events (the first paint), the ripple
    // start, the clipboard text routed.  The tray window runs it after showing the window; later it
    // runs whenever the window is activated after another of the program's
    // forms (the tray window) was.
    void Activate();
    // Tells the window that another form of the program took the foreground,
    // so its next activation runs the handler again.
    void NoteOtherFormActive() { other_form_active_ = true; }
    // The tray window, unloaded by this window's unload.
    void SetTray(FrmTray* tray);
    // The unload (also what close() runs).  Never cancelled; runs once.
    void Unload();
    bool IsUnloaded() const { return unloaded_; }

    // --- what other parts use ----------------------------------------------
    SettingsStore& Settings() { return settings_; }
    Prompts& Dialogs() { return *prompts_; }
    // Says `text` in the status line at the bottom of the window (an empty
    // text clears it).  For what is happening and what went wrong.
    void ShowStatus(const QString& text);
    StatusLine& Status() const { return *status_; }
    // Follows the tasks handed to aria2 until they end.
    DownloadFollower& Downloads() const { return *downloads_; }
    // The aria2 every hand-off goes to (started by the program when need be).
    Aria2Engine& Engine() const { return *engine_; }
    // Microseconds on the system's monotonic clock (the time stamps of lcWindow).
    static qint64 MonotonicMicros();

    // The window's outer rectangle in twips (position and size).
    QRectF OuterTwips() const;
    // Edge docking, hooked to the window by the first click on optQQ.
    DockAdapter* Dock() const { return dock_; }

    // What the routing of `text` reads: the pages' result boxes, the per-run
    // tab flags and the disk service's domain.
    links::RoutingInput RoutingInputFor(const QString& text);
    // The one place a routing result reaches the pages: the boxes it fills,
    // the page it shows and the tab flags it stores.
    void ApplyRouting(const links::RoutingResult& result);

    // --- the pages and the window's own controls ------------------------------
    // Only the page in front at the start is built before the window shows;
    // the other three are built right after its first paint, or at once by
    // whatever needs one first (these, a switch to their tab).
    DiskPage& Disk() const { return *disk_; }
    LinkPage& Link() const;
    VideoPage& Video() const;
    AboutPage& About() const;
    OptionsStrip& Options() const { return *options_; }
    // The tab strip the pages sit on.
    SafeTabs& Tabs() const { return *safeTabs; }

    // --- the banner ---------------------------------------------------------
    // The banner as drawn now (the picture, or the ripple's latest frame).
    const QImage& BannerFrame() const { return banner_frame_; }
    const WaveObject& Wave() const { return wave_; }
    bool RippleRunning() const { return wave_.Running(); }
    // The ripple's timer runs only while the banner can be seen and the wave
    // has something to do (the surface moves or automatic drops are on).
    bool RippleTimerActive() const { return ripple_timer_.isActive(); }
    // A drop on the banner and the automatic drops (WaveObject's WaveDrop and
    // WaveSetAuto); what the mouse does goes through these, so the timer
    // wakes for them.
    void RippleDrop(int x, int y, int r, int depth);
    void RippleSetAuto(int mode, int count, int radius, int depth);
    // Replaces the banner picture (a null image makes the ripple start fail);
    // `detailed` names the same picture drawn with more pixels, read only
    // when a screen has more pixels (else the picture is enlarged smoothly).
    void SetBannerPicture(const QImage& picture, const QString& detailed = QString());
    // The banner as painted on a screen with `dpr` device pixels per pixel:
    // the picture drawn at that resolution, rippled by the same surface.
    const QImage& BannerDeviceFrame(qreal dpr);

    // The automatic drops a press of a button other than the left one picks,
    // for a uniform r in [0, 1).
    struct AutoDrops {
        int mode, count, radius, depth;
    };
    static AutoDrops AutoDropsForPick(double r);

 signals:
    // The unload has finished (the program ends when nothing else holds it).
    void Unloaded();

 protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

 private:
    void BuildLayout();
    // The pages of tabs 1 to 3, placed where the strip showing tab
    // `placedFor` wants them.  Runs once, when one of them is first needed
    // (its tab, a text routed to it, a question about it): a window used
    // only for the front page never holds them.
    void BuildLatePages(int placedFor);
    void KeepTabOrder();
    void WireDock();

    void RestorePosition();
    void SavePosition();
    void OnOptionClick();
    void ApplyTopmost(bool on);

    // clipboard watcher and routing
    void OnClipboardChanged();
    void OnMessageChanged();
    void SubscribeClipboard();
    void UnsubscribeClipboard();

    // ripple
    bool StartRipple();
    void OnRippleTick();
    // Runs the ripple's timer while the banner can be seen and the wave is
    // not calm; pauses it while minimized, hidden or docked out of sight, and
    // over a calm surface.  The wave waits where it is.
    void SyncRippleTimer();
    void DrawWaveFrame();

    SettingsStore& settings_;
    std::unique_ptr<Prompts> own_prompts_;
    Prompts* prompts_ = nullptr;
    QPointer<FrmTray> tray_;
    DockAdapter* dock_ = nullptr;  // child of the window

    bool loaded_ = false;
    bool unloaded_ = false;
    bool key_preview_ = false;
    bool other_form_active_ = false;
    bool painted_ = false;
    QMetaObject::Connection clipboard_connection_;

    // The picture and the ripple's drawing of it at `dpr` device pixels per pixel.
    void PrepareDeviceBanner(qreal dpr);

    QImage banner_picture_;
    QImage banner_frame_;
    QString banner_detailed_;
    QImage banner_device_source_;
    QImage banner_device_frame_;
    bool banner_device_stale_ = true;
    WaveObject wave_;
    QTimer ripple_timer_;

    // The window's own controls, under the names its texts use.
    SafeTabs* safeTabs = nullptr;  // object name "SafeTabs"
    SkButton* skbOption = nullptr;
    ClipboardTextBox* txtMessage = nullptr;  // hidden; holds the last clipboard text

    std::unique_ptr<Aria2Engine> engine_;
    StatusLine* status_ = nullptr;
    DownloadFollower* downloads_ = nullptr;  // child of the window
    DiskPage* disk_ = nullptr;
    LinkPage* link_ = nullptr;
    VideoPage* video_ = nullptr;
    AboutPage* about_ = nullptr;
    OptionsStrip* options_ = nullptr;
};

}  // namespace tessel::shell
