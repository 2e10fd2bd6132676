// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's life: construction and layout, load, activation, unload,
// the key preview, folding the options out and in, always-on-top.
#include "shell/window/frm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QRadioButton>
#include <QScreen>
#include <QWindow>
#include <chrono>
#include <utility>
#include <vector>

#include "controls/safe_tabs.h"
#include "controls/sk_button.h"
#include "controls/twips.h"
#include "shell/jobs/aria2_engine_process.h"
#include "shell/jobs/background_request.h"
#include "shell/jobs/download_follower.h"
#include "shell/pages/about_page.h"
#include "shell/pages/disk_page.h"
#include "shell/pages/link_page.h"
#include "shell/pages/options_strip.h"
#include "shell/pages/video_page.h"
#include "shell/platform/dock_adapter.h"
#include "shell/settings/settings_store.h"
#include "shell/ui/page_parts.h"
#include "shell/ui/prompts.h"
#include "shell/ui/resource_image.h"
#include "shell/ui/status_line.h"
#include "shell/window/clipboard_text_box.h"
#include "shell/window/frm_tray.h"
#include "shell/window/page_keys.h"
#include "text/vbstring.h"
#include "web/reply_file.h"

// Resources live in the static library; they are registered by name.
static void InitShellResources() { Q_INIT_RESOURCE(tessel); }

namespace tessel::shell {

namespace {

// Every page frame's home on the strip; the strip moves it by 10000 twips
// per tab.
const QRectF kPageHome(80, 520, 7335, 2655);

const QString kFoldedIn = QStringLiteral("展开设置>>");
const QString kFoldedOut = QStringLiteral("收起设置<<");

double Twips(int pixels) { return controls::PixelsToTwips(pixels); }
int Pixels(double twips) { return controls::TwipsToPixels(twips); }

const QString kBanner = QStringLiteral(":/tessel/banner.png");
const QString kIcons[] = {QStringLiteral(":/tessel/tessel-16.png"), QStringLiteral(":/tessel/tessel-32.png"),
                          QStringLiteral(":/tessel/tessel-48.png")};

QIcon WindowIcon() {
    QIcon icon;
    for (const QString& path : kIcons) icon.addPixmap(QPixmap::fromImage(ResourcePng(path)));
    return icon;
}

}  // namespace

Q_LOGGING_CATEGORY(lcWindow, "tessel.window", QtWarningMsg)

qint64 FrmMain::MonotonicMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

FrmMain::FrmMain(SettingsStore& settings, Prompts* prompts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      settings_(settings),
      prompts_(prompts) {
    InitShellResources();
    downloads_ = new DownloadFollower(this);
    if (!prompts_) {
        own_prompts_ = std::make_unique<QtPrompts>(this);
        prompts_ = own_prompts_.get();
    }
    setWindowIcon(WindowIcon());
    SetBannerPicture(ResourcePng(kBanner), QStringLiteral(":/tessel/banner@2x.png"));
    BuildLayout();
    // Every task handed to aria2, from a page or an opened link, is followed
    // until it ends.
    connect(engine_.get(), &Aria2Engine::TasksHanded, downloads_, [this](const Aria2JobOutcome& outcome) {
        for (const Aria2JobResult& r : outcome.results) {
            if (r.Ok()) downloads_->Follow({r.gid.toStdString(), r.name.toStdU16String(), outcome.used});
        }
    });
    // And so is every task our own aria2 brought back from its session file,
    // unless it is followed since it was handed over.
    connect(engine_.get(), &Aria2Engine::TasksResumed, downloads_, [this](const Aria2JobOutcome& outcome) {
        for (const Aria2JobResult& r : outcome.results) {
            if (!downloads_->Follows(r.gid.toStdString(), outcome.used))
                downloads_->Follow({r.gid.toStdString(), r.name.toStdU16String(), outcome.used});
        }
    });
    connect(skbOption, &SkButton::Click, this, &FrmMain::OnOptionClick);
    connect(options_, &OptionsStrip::OntopClicked, this, &FrmMain::ApplyTopmost);
    // Only a real change of the box's text routes, so the same text copied
    // twice is routed once.
    connect(txtMessage, &ClipboardTextBox::textChanged, this, &FrmMain::OnMessageChanged);
    ripple_timer_.setInterval(kRipplePeriodMs);
    connect(&ripple_timer_, &QTimer::timeout, this, &FrmMain::OnRippleTick);
    setMouseTracking(true);
    WireDock();
    new PageKeys(*this);
}

FrmMain::~FrmMain() {
    UnsubscribeClipboard();
    if (key_preview_) qApp->removeEventFilter(this);
}

void FrmMain::SetTray(FrmTray* tray) { tray_ = tray; }

void FrmMain::BuildLayout() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("TESSEL"));
    White(this);
    setFixedSize(Px(0, 0, kClientWidth, kClientHeight).size());

    safeTabs = Named(new SafeTabs(this), "SafeTabs");
    safeTabs->setGeometry(Px(0, 840, 7455, 3220));
    safeTabs->LoadTabs({QStringLiteral("115网盘"), QStringLiteral("专链转换"), QStringLiteral("在线视频"),
                        QStringLiteral("关于")},
                       0);
    safeTabs->setBackColor(controls::kWhite);

    // The status line sits in the band left of the fold-out button, above the
    // public IP's place, seen whether the options are out or in.
    status_ = new StatusLine(this);
    status_->setGeometry(8, 273, 402, 15);
    // A text cut to fit a box is said on the status line.
    OnBoxCut(this, [this](const QString& message) { status_->Show(message); });
    engine_ = std::make_unique<Aria2Engine>(settings_);
    connect(engine_.get(), &Aria2Engine::StatusChanged, status_, &StatusLine::Show);
    const PageContext context{settings_, *prompts_, *status_, engine_.get()};
    disk_ = new DiskPage(context, safeTabs);
    safeTabs->AddTabChild(disk_, 0, kPageHome);
    // Switching to a page not built yet builds them first.  The strip has
    // made the new tab active already and moves its pages after this, so
    // they are placed for the tab it leaves and move along with the others.
    connect(safeTabs, &SafeTabs::TabSwitch, this, [this](int previous) { BuildLatePages(previous); });

    options_ = new OptionsStrip(context, this);
    options_->setGeometry(Px(0, 4080, 7455, OptionsStrip::kHeightIn));
    skbOption = Button(this, "skbOption", kFoldedIn, 6270, 4215, 1095, 335);

    txtMessage = Named(new ClipboardTextBox(this), "txtMessage");
    txtMessage->setGeometry(Px(0, 5040, 7455, 375));
    status_->raise();
}

void FrmMain::BuildLatePages(int placedFor) {
    if (link_) return;
    const PageContext context{settings_, *prompts_, *status_, engine_.get()};
    const auto add = [this, placedFor](QWidget* page, int tab) {
        QRectF twips = kPageHome;
        twips.moveLeft(kPageHome.left() + static_cast<double>(placedFor - tab) * SafeTabs::kShiftTwips);
        safeTabs->AddChildTwips(page, twips);
        // Only the page in front is shown (page_keys.h says why).
        page->setVisible(tab == safeTabs->ActiveTab());
    };
    link_ = new LinkPage(context, safeTabs);
    add(link_, 1);
    video_ = new VideoPage(context, safeTabs);
    add(video_, 2);
    about_ = new AboutPage(safeTabs);
    add(about_, 3);
    if (loaded_) video_->ShowLoadNotice();
    KeepTabOrder();
}

void FrmMain::KeepTabOrder() {
    // Tab follows the order the controls were made in.  The late pages were
    // made after the options strip, the fold-out button and the clipboard
    // box; those go behind them again, as when every page was made first.
    QWidget* last = nullptr;
    for (QWidget* w = previousInFocusChain(); w != this && !last; w = w->previousInFocusChain())
        if (w->focusPolicy() != Qt::NoFocus) last = w;
    std::vector<QWidget*> behind;
    for (QWidget* w = nextInFocusChain(); w != this; w = w->nextInFocusChain()) {
        const bool mine = w == skbOption || w == txtMessage || w == options_ || options_->isAncestorOf(w);
        if (mine && w->focusPolicy() != Qt::NoFocus) behind.push_back(w);
    }
    for (QWidget* w : behind) {
        if (last && last != w) setTabOrder(last, w);
        last = w;
    }
}

LinkPage& FrmMain::Link() const {
    const_cast<FrmMain*>(this)->BuildLatePages(safeTabs->ActiveTab());
    return *link_;
}

VideoPage& FrmMain::Video() const {
    const_cast<FrmMain*>(this)->BuildLatePages(safeTabs->ActiveTab());
    return *video_;
}

AboutPage& FrmMain::About() const {
    const_cast<FrmMain*>(this)->BuildLatePages(safeTabs->ActiveTab());
    return *about_;
}

void FrmMain::ShowStatus(const QString& text) { status_->Show(text); }

// ---------------------------------------------------------------------------
// Load, activation, unload

void FrmMain::Load() {
    if (loaded_) return;
    loaded_ = true;
    RestorePosition();
    // Restoring a checked box runs its click handler, as a click would.
    options_->RestoreChecks();
    SubscribeClipboard();
    show();
    qCDebug(lcWindow, "start: shown at %lld us", MonotonicMicros());
    if (video_) video_->ShowLoadNotice();  // else when it is built
    key_preview_ = true;
    qApp->installEventFilter(this);
}

void FrmMain::Activate() {
    if (unloaded_) return;
    PumpEvents();
    if (unloaded_) return;  // closed while the events ran
    // A banner that cannot ripple simply stays still; the window stays open.
    StartRipple();
    QString clip = ClipboardText();
    if (!ClipboardTextBox::TooLong(clip)) clip = Q(text::Trim(clip.toStdU16String()));
    txtMessage->setText(clip);
}

void FrmMain::Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    WriteInt16(settings_, keys::kLinkActiveTab, 0);
    WriteInt16(settings_, keys::kUDownActiveTab, 0);
    if (loaded_ && !isMinimized() && !options_->DockChosen()) SavePosition();
    if (tray_) tray_->Unload();
    // A request still running ends now, without its result, so it neither
    // keeps the program alive nor writes a reply file after the one below
    // is deleted.
    for (BackgroundRequest* r : findChildren<BackgroundRequest*>()) r->Abort();
    web::DeleteReplyFile(web::ReplyPath(web::kRayfileReply));
    UnsubscribeClipboard();
    if (key_preview_) {
        key_preview_ = false;
        qApp->removeEventFilter(this);
    }
    ripple_timer_.stop();
    wave_.WaveRelease();
    settings_.Flush();
    emit Unloaded();
}

void FrmMain::closeEvent(QCloseEvent* e) {
    Unload();
    e->accept();
}

bool FrmMain::event(QEvent* e) {
    if (ShownStateMayChange(*e)) SyncRippleTimer();
    if (e->type() == QEvent::WindowActivate && other_form_active_ && loaded_) {
        other_form_active_ = false;
        const bool handled = QWidget::event(e);
        Activate();
        return handled;
    }
    return QWidget::event(e);
}

// ---------------------------------------------------------------------------
// Position

QRectF FrmMain::OuterTwips() const {
    const QRect r = frameGeometry();
    return {Twips(r.x()), Twips(r.y()), Twips(r.width()), Twips(r.height())};
}

void FrmMain::RestorePosition() {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRectF outer = OuterTwips();
    const double centreTop = (Twips(screen.height()) - outer.height()) / 2;
    const double centreLeft = (Twips(screen.width()) - outer.width()) / 2;
    double top = centreTop;
    double left = centreLeft;
    if (ReadSingle(settings_, keys::kFirstRun, 0) == 1) {
        top = ReadSingle(settings_, keys::kTop, centreTop);
        left = ReadSingle(settings_, keys::kLeft, centreLeft);
        // A position left behind by a screen that is gone would put the window
        // where nobody can reach it; centre it instead.
        const QRect wanted(Pixels(left), Pixels(top), frameGeometry().width(), frameGeometry().height());
        bool onScreen = false;
        for (const QScreen* s : QGuiApplication::screens()) onScreen |= s->geometry().intersects(wanted);
        if (!onScreen) {
            top = centreTop;
            left = centreLeft;
        }
    } else {
        WriteSingle(settings_, keys::kTop, top);
        WriteSingle(settings_, keys::kLeft, left);
        WriteInt16(settings_, keys::kFirstRun, 1);
    }
    move(Pixels(left), Pixels(top));
}

void FrmMain::SavePosition() {
    WriteSingle(settings_, keys::kTop, Twips(pos().y()));
    WriteSingle(settings_, keys::kLeft, Twips(pos().x()));
}

// ---------------------------------------------------------------------------
// Keys, options, always on top, file name

bool FrmMain::eventFilter(QObject* watched, QEvent* e) {
    // The key preview: Esc closes the window from whichever control has the
    // focus; every other key goes on unchanged.
    if (key_preview_ && e->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

void FrmMain::OnOptionClick() {
    const bool out = !options_->Unfolded();
    skbOption->setCaption(out ? kFoldedOut : kFoldedIn);
    setFixedHeight(Pixels((out ? kOuterHeightOut : kOuterHeightIn) - kNonClientHeight));
    options_->Unfold(out);
}

void FrmMain::ApplyTopmost(bool on) {
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    if (QWindow* w = windowHandle()) {
        // Tell the window system directly; re-creating the window would hide it.
        overrideWindowFlags(flags);
        w->setFlags(flags);
    } else {
        setWindowFlags(flags);
    }
}

}  // namespace tessel::shell
