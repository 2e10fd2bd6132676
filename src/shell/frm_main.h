// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// frmMain: the program's only visible window.
//
// A banner across the top (the surface of the ripple effect), the tab strip
// with the four pages, the options strip FraIP with its fold-out button, and
// a hidden text box that receives the clipboard text.  The controls are
// public members under the names the rest of the program knows them by (and
// carry the same Qt object names).
//
// Where things live:
//   frm_main.cpp            construction, load, activation, unload, keys,
//                           options strip, always-on-top, file-name copy
//   frm_main_layout.cpp     every control with its position (twips)
//   frm_main_link_page.cpp  the conversion page: link commands, paste/copy,
//                           Rayfile, URL, the fingerprint drop
//   frm_main_clipboard.cpp  the clipboard watcher and the routing
//   frm_main_ripple.cpp     the banner and its ripple effect
//   frm_main_video_page.cpp, frm_main_disk_page.cpp, frm_main_ip.cpp:
//                           the online-video page, the 115 page and the
//                           public IP (their commands are wired there)
//   frm_main_handoff.cpp    the video page's download-manager buttons
//   frm_main_rayfile_fetch.cpp  the Rayfile size fetch through Cdf
//   frm_main_dock.cpp       edge docking (optQQ, tmrCheck, tmrMove)
//
// Everything runs on the user-interface thread.  Long operations (a file
// checksum, a fetch) call PumpEvents() between blocks.

#include <QImage>
#include <QLoggingCategory>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "shell/core/wave_object.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QRadioButton;

namespace tessel::controls {
class SafeTabs;
class SkButton;
}  // namespace tessel::controls

namespace tessel::web {
class Cls_DownLoad;
}
namespace tessel::links {
struct CommandResult;
struct RayfileFetchOutcome;
}  // namespace tessel::links
class QMimeData;

namespace tessel::shell {

// Off by default; "tessel.window.debug=true" in QT_LOGGING_RULES reports the
// first paint and every routed clipboard text with a monotonic time stamp,
// which is what bench/window_startup.sh measures.
Q_DECLARE_LOGGING_CATEGORY(lcWindow)

class DockAdapter;
class FrmTray;
class ClipboardTextBox;
class Prompts;
class SettingsStore;

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
    static constexpr int kFraIPHeightIn = 975;
    static constexpr int kFraIPHeightOut = 855;
    static constexpr int kBannerWidth = 500;
    static constexpr int kBannerHeight = 60;
    static constexpr int kRipplePeriodMs = 30;

    // `prompts` answers the message and input boxes (not owned); without one
    // the window shows real Qt boxes.
    explicit FrmMain(SettingsStore& settings, Prompts* prompts = nullptr, QWidget* parent = nullptr);
    ~FrmMain() override;

    // --- lifecycle ----------------------------------------------------------
    // Load: runs once (later calls do nothing).  Creates the fetcher, restores
    // position and options, subscribes to the clipboard, shows the window,
    // puts the notice into the video page and turns the key preview on.  A
    // restored public IP option queries only at the first activation.
    void Load();
    bool IsLoaded() const { return loaded_; }
    // The activation handler: pending events (the first paint), the public IP
    // queries the load left pending, the ripple start, the clipboard text
    // routed.  The tray window runs it after showing the window; later it
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
    // The page fetcher (null when the web services are not built in).
    web::Cls_DownLoad* Cdf() { return cdf_.get(); }
    // Microseconds on the system's monotonic clock (the time stamps of lcWindow).
    static qint64 MonotonicMicros();
    // Lets pending window events run (the pump of long operations).
    static void PumpEvents();
    // The public IP query; runs at start-up when the option is on.
    void ShowPublicIP();
    // Number of ShowPublicIP calls so far (start-up runs it twice with the
    // option on).
    int PublicIpQueries() const { return public_ip_queries_; }

    // Runs the click handler of a check box the way a user's click would,
    // when `checked` differs from its state.
    void SetCheck(QCheckBox* box, bool checked);
    // The text of a text box in the program's form (line breaks as CR LF),
    // and the reverse.
    static std::u16string BoxText(const QPlainTextEdit* box);
    static std::u16string BoxText(const QLineEdit* box);
    static void SetBoxText(QPlainTextEdit* box, std::u16string_view text);
    static void SetBoxText(QLineEdit* box, std::u16string_view text);
    // Clears the clipboard and puts `text` on it as plain text.
    static void PutOnClipboard(const QString& text);
    // The clipboard's plain text ("" when it holds none).
    static QString ClipboardText();
    // Runs `handler` on every double-click on `w` (the viewport of a
    // multi-line box).
    void OnDoubleClick(QWidget* w, std::function<void()> handler);

    // The window's outer rectangle in twips (position and size).
    QRectF OuterTwips() const;
    // Edge docking, hooked to the window by the first click on optQQ.
    DockAdapter* Dock() const { return dock_; }

    // --- controls -----------------------------------------------------------
    SafeTabs* safeTabs = nullptr;  // object name "SafeTabs"
    QGroupBox* FraIP = nullptr;
    SkButton* skbOption = nullptr;
    ClipboardTextBox* txtMessage = nullptr;  // hidden; holds the last clipboard text
    QMenu* mnumain = nullptr;
    QAction* mnuexit = nullptr;

    // tab 0: the 115 page
    QGroupBox* fra115 = nullptr;
    QLabel* lblPickcode = nullptr;
    QLineEdit* txtPickcode = nullptr;
    SkButton* skbPickcode = nullptr;
    QLabel* lblTel = nullptr;
    QLineEdit* txtTel = nullptr;
    SkButton* skbTelcopy = nullptr;
    QLabel* lblCnc = nullptr;
    QLineEdit* txtCnc = nullptr;
    SkButton* skbCnccopy = nullptr;
    QLabel* lblBak = nullptr;
    QLineEdit* txtBak = nullptr;
    SkButton* skbBakcopy = nullptr;

    // tab 1: the conversion page
    QGroupBox* fraLink = nullptr;
    QGroupBox* fraInput = nullptr;
    QPlainTextEdit* txtInput = nullptr;
    SkButton* skbInput = nullptr;
    QGroupBox* fraOutput = nullptr;
    QPlainTextEdit* txtOutput = nullptr;
    SkButton* skbOutput = nullptr;
    QGroupBox* fraOperate = nullptr;
    SkButton* skbTogeneral = nullptr;
    SkButton* skbTothunder = nullptr;
    SkButton* skbToflashget = nullptr;
    SkButton* skbToqqdl = nullptr;
    SkButton* skbToRayfile = nullptr;
    SkButton* skbURL = nullptr;
    QLineEdit* txtFilesize = nullptr;

    // tab 2: the online-video page
    QGroupBox* fraFlv = nullptr;
    QGroupBox* fraOnlineflv = nullptr;
    QPlainTextEdit* txtOnlineflv = nullptr;
    SkButton* skbOnlineflv = nullptr;
    QGroupBox* fratxtFlvlink = nullptr;
    QPlainTextEdit* txtFlvlink = nullptr;
    SkButton* skbFlvlink = nullptr;
    QGroupBox* fraFlvoperation = nullptr;
    SkButton* skbParse = nullptr;
    SkButton* skbFlvIE = nullptr;
    SkButton* skbFlvthunder = nullptr;
    SkButton* skbFlvflashget = nullptr;
    SkButton* skbQqdl = nullptr;
    QLabel* lblfilename = nullptr;
    QLabel* imgTip = nullptr;  // its tooltip holds the parsed video title

    // tab 3: about
    QGroupBox* fraAbout = nullptr;
    QPlainTextEdit* txtAbout = nullptr;

    // options strip
    QLabel* lblIP = nullptr;
    QCheckBox* chkOntop = nullptr;
    QCheckBox* chkClipboard = nullptr;
    QCheckBox* chkShowIP = nullptr;
    QRadioButton* optQQ = nullptr;
    QTimer* tmrMove = nullptr;       // 1 ms, docking
    QTimer* tmrCheck = nullptr;      // 50 ms, docking
    QTimer* tmrClipboard = nullptr;  // one-shot IP re-query

    // --- the banner ---------------------------------------------------------
    // The banner as drawn now (the picture, or the ripple's latest frame).
    const QImage& BannerFrame() const { return banner_frame_; }
    WaveObject& Wave() { return wave_; }
    bool RippleRunning() const { return wave_.Running(); }
    // Replaces the banner picture (a null image makes the ripple start fail).
    void SetBannerPicture(const QImage& picture);

    // The automatic drops a press of a button other than the left one picks,
    // for a uniform r in [0, 1).
    struct AutoDrops {
        int mode, count, radius, depth;
    };
    static AutoDrops AutoDropsForPick(double r);

    // The notice put into txtFlvlink at load.
    static QString FlvNotice(const QString& parseHome);

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
    // layout
    void BuildLayout();
    void BuildDiskPage();
    void BuildLinkPage();
    void BuildVideoPage();
    void BuildAboutPage();
    void BuildOptionsStrip();

    // wiring, one per page
    void WireWindow();
    void WireLinkPage();
    void WireClipboard();
    void WireVideoPage();
    void WireHandoff();
    void WireDiskPage();
    void WireIp();
    void WireDock();

    // window handlers
    void RestorePosition();
    void SavePosition();
    void OnOptionClick();
    void OnOntopClick();
    void OnQQClick();
    void ApplyTopmost(bool on);
    void CopyFileName();

    // conversion page
    void ApplyCommand(const links::CommandResult& result);
    void OnToRayfile();
    // The automatic size fetch of the Rayfile command (frm_main_rayfile_fetch.cpp).
    links::RayfileFetchOutcome FetchRayfileSize(const std::u16string& address);
    void PasteInput();
    void CopyOutput();
    void DropOnOutput(const QString& path);
    static QString FirstLocalFile(const QMimeData* mime);

    // clipboard watcher
    void OnClipboardChanged();
    void OnMessageChanged();
    void OnClipboardCheckClick();
    void SubscribeClipboard();
    void UnsubscribeClipboard();

    // ripple
    bool StartRipple();
    void OnRippleTick();
    void DrawWaveFrame();

    SettingsStore& settings_;
    std::unique_ptr<Prompts> own_prompts_;
    Prompts* prompts_ = nullptr;
    std::unique_ptr<web::Cls_DownLoad> cdf_;
    QPointer<FrmTray> tray_;
    DockAdapter* dock_ = nullptr;  // child of the window

    bool loaded_ = false;
    bool unloaded_ = false;
    bool key_preview_ = false;
    bool other_form_active_ = false;
    bool fingerprint_busy_ = false;
    bool painted_ = false;
    bool ip_queries_pending_ = false;
    int public_ip_queries_ = 0;
    QMetaObject::Connection clipboard_connection_;

    QImage banner_picture_;
    QImage banner_frame_;
    WaveObject wave_;
    QTimer ripple_timer_;

    std::vector<std::pair<QObject*, std::function<void()>>> double_clicks_;
};

}  // namespace tessel::shell
