// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's life: construction, load, activation, unload, the key
// preview, the options strip, always-on-top and copying the file name.
#include "shell/frm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QWindow>
#include <chrono>
#include <utility>

#include "controls/safe_tabs.h"
#include "controls/sk_button.h"
#include "controls/twips.h"
#include "shell/clipboard_text_box.h"
#include "shell/frm_tray.h"
#include "shell/prompts.h"
#include "shell/resource_image.h"
#include "shell/settings_store.h"
#include "text/vbstring.h"
#include "web/download.h"
#include "web/reply_file.h"

// Resources live in the static library; they are registered by name.
static void InitShellResources() { Q_INIT_RESOURCE(tessel); }

namespace tessel::shell {

namespace {

const QString kFoldedIn = QStringLiteral("展开设置>>");
const QString kFoldedOut = QStringLiteral("收起设置<<");

double Twips(int pixels) { return controls::PixelsToTwips(pixels); }
int Pixels(double twips) { return controls::TwipsToPixels(twips); }

QIcon WindowIcon() {
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(QPixmap::fromImage(ResourcePng(QStringLiteral(":/tessel/tessel-%1.png").arg(size))));
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
    if (!prompts_) {
        own_prompts_ = std::make_unique<QtPrompts>(this);
        prompts_ = own_prompts_.get();
    }
    setWindowIcon(WindowIcon());
    SetBannerPicture(ResourcePng(QStringLiteral(":/tessel/banner.png")));
    BuildLayout();
    WireWindow();
    WireLinkPage();
    WireClipboard();
    WireVideoPage();
    WireDiskPage();
    WireIp();
    WireDock();
}

FrmMain::~FrmMain() {
    UnsubscribeClipboard();
    if (key_preview_) qApp->removeEventFilter(this);
}

void FrmMain::SetTray(FrmTray* tray) { tray_ = tray; }

void FrmMain::WireWindow() {
    connect(skbOption, &SkButton::Click, this, &FrmMain::OnOptionClick);
    connect(chkOntop, &QCheckBox::clicked, this, &FrmMain::OnOntopClick);
    OnDoubleClick(imgTip, [this] { CopyFileName(); });
    OnDoubleClick(lblfilename, [this] { CopyFileName(); });
    ripple_timer_.setInterval(kRipplePeriodMs);
    connect(&ripple_timer_, &QTimer::timeout, this, &FrmMain::OnRippleTick);
    setMouseTracking(true);
}

// ---------------------------------------------------------------------------
// Load, activation, unload

void FrmMain::Load() {
    if (loaded_) return;
    loaded_ = true;
    cdf_ = std::make_unique<web::Cls_DownLoad>();
    cdf_->pump = &FrmMain::PumpEvents;
    RestorePosition();
    // Restoring a checked box runs its click handler, as a click would.
    SetCheck(chkOntop, ReadInt16(settings_, keys::kSetTop) != 0);
    SetCheck(chkClipboard, ReadInt16(settings_, keys::kClipboard) != 0);
    // The public IP box is restored now, but its click handler and the load's
    // own query wait for the first activation, once the window is on screen:
    // two round trips to a web service must not keep the window from showing.
    ip_queries_pending_ = ReadInt16(settings_, keys::kShowIP) != 0 && !chkShowIP->isChecked();
    if (ip_queries_pending_) chkShowIP->setChecked(true);
    SubscribeClipboard();
    show();
    SetBoxText(txtFlvlink, FlvNotice(ReadText(settings_, keys::kParseHome)).toStdU16String());
    key_preview_ = true;
    qApp->installEventFilter(this);
}

void FrmMain::Activate() {
    if (unloaded_) return;
    PumpEvents();
    if (unloaded_) return;  // closed while the events ran
    if (std::exchange(ip_queries_pending_, false) && chkShowIP->isChecked()) {
        emit chkShowIP->clicked(true);
        ShowPublicIP();
    }
    // A banner that cannot ripple simply stays still; the window stays open.
    StartRipple();
    txtMessage->setText(QString::fromStdU16String(text::Trim(ClipboardText().toStdU16String())));
}

void FrmMain::Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    WriteInt16(settings_, keys::kLinkActiveTab, 0);
    WriteInt16(settings_, keys::kUDownActiveTab, 0);
    if (loaded_ && !isMinimized() && !optQQ->isChecked()) SavePosition();
    if (tray_) tray_->Unload();
    // A page fetch may still be running below us (we are inside its event
    // pump); let it end after its current block instead of reading on.
    if (cdf_ && cdf_->IsRunning()) cdf_->DLFileStop();
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
    switch (e->type()) {
        case QEvent::KeyPress:
            // The key preview: Esc closes the window from whichever control has
            // the focus; every other key goes on unchanged.
            if (key_preview_ && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape &&
                watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this) {
                close();
                return true;
            }
            break;
        case QEvent::MouseButtonDblClick:
            for (const auto& [object, handler] : double_clicks_) {
                if (object == watched) {
                    const auto run = handler;  // the handler may register more
                    run();
                    break;
                }
            }
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            if (watched == txtOutput->viewport()) {
                auto* d = static_cast<QDropEvent*>(e);
                const QString path = fingerprint_busy_ ? QString() : FirstLocalFile(d->mimeData());
                if (path.isEmpty()) {
                    d->ignore();
                    return true;
                }
                d->acceptProposedAction();
                if (e->type() == QEvent::Drop) DropOnOutput(path);
                return true;
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, e);
}

void FrmMain::OnDoubleClick(QWidget* w, std::function<void()> handler) {
    double_clicks_.emplace_back(w, std::move(handler));
    w->installEventFilter(this);
}

void FrmMain::OnOptionClick() {
    const bool out = skbOption->Caption() == kFoldedIn;
    skbOption->setCaption(out ? kFoldedOut : kFoldedIn);
    setFixedHeight(Pixels((out ? kOuterHeightOut : kOuterHeightIn) - kNonClientHeight));
    QRect strip = FraIP->geometry();
    strip.setHeight(Pixels(out ? kFraIPHeightOut : kFraIPHeightIn));
    FraIP->setGeometry(strip);
    for (QWidget* w : std::initializer_list<QWidget*>{chkOntop, chkClipboard, chkShowIP, optQQ})
        w->setVisible(out);
}

void FrmMain::OnOntopClick() {
    ApplyTopmost(chkOntop->isChecked());
    WriteInt16(settings_, keys::kSetTop, chkOntop->isChecked() ? 1 : 0);
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

void FrmMain::SetCheck(QCheckBox* box, bool checked) {
    if (box->isChecked() == checked) return;
    box->setChecked(checked);
    emit box->clicked(checked);
}

void FrmMain::CopyFileName() {
    if (!imgTip->toolTip().isEmpty()) PutOnClipboard(imgTip->toolTip());
}

QString FrmMain::FlvNotice(const QString& parseHome) {
    return QStringLiteral(
               "在线视频地址解析速度取决于硕鼠官网的访问速度，此工具解析失败可到硕鼠官网重试，"
               "了解支持网站请访问：") +
           parseHome + QStringLiteral("/url.php");
}

// ---------------------------------------------------------------------------
// Helpers shared by the pages

void FrmMain::PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

std::u16string FrmMain::BoxText(const QPlainTextEdit* box) {
    // A multi-line box keeps its lines apart; the program's text has CR LF
    // between them, as the commands expect.
    return text::Replace(box->toPlainText().toStdU16String(), u"\n", u"\r\n");
}

std::u16string FrmMain::BoxText(const QLineEdit* box) { return box->text().toStdU16String(); }

void FrmMain::SetBoxText(QPlainTextEdit* box, std::u16string_view text) {
    box->setPlainText(QString::fromStdU16String(text::Replace(text, u"\r\n", u"\n")));
}

void FrmMain::SetBoxText(QLineEdit* box, std::u16string_view text) {
    box->setText(QString::fromStdU16String(std::u16string(text)));
}

void FrmMain::PutOnClipboard(const QString& text) {
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

QString FrmMain::ClipboardText() { return QGuiApplication::clipboard()->text(QClipboard::Clipboard); }

}  // namespace tessel::shell
