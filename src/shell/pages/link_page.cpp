// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion page.  The rules live in the links library; here the boxes
// are read and written.
#include "shell/pages/link_page.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>
#include <limits>

#include "checksum/fingerprint.h"
#include "controls/sk_button.h"
#include "controls/twips.h"
#include "links/commands.h"
#include "shell/jobs/service_status.h"
#include "shell/ui/prompts.h"
#include "shell/ui/status_line.h"
#include "text/prompt_title.h"
#include "web/download.h"
#include "web/reply_file.h"

namespace tessel::shell {

namespace {

constexpr web::Long kRayfileTimeOutMs = 5000;

struct SizeFetch {
    web::Long fetched = 0;
    std::optional<web::Long> announced;  // the size the progress event reported
    web::FetchEnd end = web::FetchEnd::NoReply;
};

// The first block of the address: its progress event reports the announced
// size, and the fetch stops there.
SizeFetch RunSizeFetch(const std::u16string& address, const web::RequestAbort& abort) {
    SizeFetch f;
    const std::string replyPath = web::ReplyPath(web::kRayfileReply);
    if (replyPath.empty()) return f;  // no place for the reply: as an address that cannot be opened
    web::Cls_DownLoad cdf;
    cdf.abortSignal = &abort;
    cdf.entDLFileDowning = [&f, &cdf](const std::u16string&, web::Long, web::Long lFilesize, web::Long) {
        // A size past what the event can carry arrives clamped; a link with that
        // number would be wrong, so the user is asked instead.
        f.announced = lFilesize == std::numeric_limits<web::Long>::max() ? 0 : lFilesize;
        cdf.DLFileStop();
    };
    f.fetched = cdf.DLFile(address, replyPath, kRayfileTimeOutMs);
    f.end = cdf.LastEnd();
    return f;
}

}  // namespace

LinkPage::LinkPage(PageContext context, QWidget* parent)
    : ServicePage("fraLink", QStringLiteral("专用链接转换："), std::move(context), parent) {
    const TextAreas areas = AddTextAreas(
        this, 4695, 340, {"fraInput", "txtInput", "skbInput", QStringLiteral("输入区")},
        {"fraOutput", "txtOutput", "skbOutput", QStringLiteral("输出区")}, [this] { PasteInput(); });
    txtInput_ = areas.in;
    txtOutput_ = areas.out;

    QGroupBox* operate = Frame(this, "fraOperate", QStringLiteral("操作区"), Px(5040, 240, 2055, 2295));
    using Command = links::CommandResult (*)(std::u16string_view);
    const auto run = [this](Command command) {
        return [this, command] { ApplyCommand(command(BoxText(txtInput_))); };
    };
    const std::vector<controls::SkButton*> buttons = AddButtonColumn(
        operate, 120, 1815, 305,
        {{"skbTogeneral", QStringLiteral("输入地址>>普通地址"), 240, run(&links::ToGeneral)},
         {"skbTothunder", QStringLiteral("输入地址>>迅雷地址"), 580, run(&links::ToThunder)},
         {"skbToflashget", QStringLiteral("输入地址>>快车地址"), 915, run(&links::ToFlashGet)},
         {"skbToqqdl", QStringLiteral("输入地址>>旋风地址"), 1250, run(&links::ToQqdl)},
         {"skbToRayfile", QStringLiteral("输入地址>>  Rayfile  "), 1585, [this] { ToRayfile(); }},
         {"skbURL", QStringLiteral("输入地址 URL 加解密"), 1920, run(&links::UrlCommand)}});
    request_.LockWhileRunning(buttons[4]);

    txtFilesize_ = Line(this, "txtFilesize", Px(7080, 1680, 180, 855));
    txtFilesize_->setText(QStringLiteral("0"));
    txtFilesize_->hide();

    // Files dropped on the output box get their fingerprint.
    txtOutput_->setAcceptDrops(true);
    txtOutput_->viewport()->setAcceptDrops(true);
    txtOutput_->viewport()->installEventFilter(this);
}

std::u16string LinkPage::OutputText() const { return BoxText(txtOutput_); }

void LinkPage::SetInput(std::u16string_view text) { SetBoxText(txtInput_, text); }

void LinkPage::SetOutput(std::u16string_view text) { SetBoxText(txtOutput_, text); }

void LinkPage::ApplyCommand(const links::CommandResult& result) {
    SetBoxText(txtInput_, result.input);
    SetBoxText(txtOutput_, result.output);
}

void LinkPage::PasteInput() {
    const std::u16string text = links::PasteText(ClipboardText().toStdU16String());
    if (!text.empty()) SetBoxText(txtInput_, text);
}

void LinkPage::ToRayfile() {
    if (RefusedWhileBusy(QStringLiteral("文件大小的获取"))) return;
    const links::RayfileStart start = links::RayfileBegin(BoxText(txtInput_));
    SetBoxText(txtInput_, start.input);
    if (start.output) {
        SetBoxText(txtOutput_, *start.output);
        return;
    }
    const auto answer = context_.prompts.Message(Q(links::kRayfileQuestion), Q(text::kPromptTitle),
                                                 Prompts::Buttons::YesNo, Prompts::Icon::Information);
    if (answer != Prompts::Answer::Yes) {
        FinishRayfile(start.address);
        return;
    }
    context_.status.Show(QStringLiteral("正在获取文件大小…"));
    request_.Start<SizeFetch>(
        [address = start.address](const web::RequestAbort& abort) { return RunSizeFetch(address, abort); },
        [this, address = start.address](SizeFetch f) {
            if (f.announced) {
                announced_size_ = *f.announced;
                txtFilesize_->setText(QString::number(announced_size_));
            }
            context_.status.Show(
                f.fetched == 0 ? QStringLiteral("无法打开 %1（连接失败或 %2 秒内没有应答），未能取得文件大小")
                                     .arg(HostOf(address))
                                     .arg(kRayfileTimeOutMs / 1000)
                               : QString());
            const links::RayfileFetchOutcome fetched = links::RayfileAfterFetch(
                address, f.fetched, QString::number(announced_size_).toStdU16String());
            if (fetched.output) SetBoxText(txtOutput_, *fetched.output);
            if (fetched.askForSize) FinishRayfile(address);
        });
}

void LinkPage::FinishRayfile(const std::u16string& address) {
    const QRect r = window()->frameGeometry();
    const links::TwipsPoint at =
        links::RayfileInputBoxPos({controls::PixelsToTwips(r.x()), controls::PixelsToTwips(r.y()),
                                   controls::PixelsToTwips(r.width()), controls::PixelsToTwips(r.height())});
    const auto typed =
        context_.prompts.Input(Q(links::kRayfileSizePrompt), Q(links::kRayfileSizeTitle), QString(),
                               QPoint(controls::TwipsToPixels(static_cast<double>(at.x)),
                                      controls::TwipsToPixels(static_cast<double>(at.y))));
    SetBoxText(txtOutput_, links::RayfileFinish(address, typed.value_or(QString()).toStdU16String()));
}

QString LinkPage::FirstLocalFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return {};
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

bool LinkPage::eventFilter(QObject* watched, QEvent* e) {
    const bool drag =
        e->type() == QEvent::DragEnter || e->type() == QEvent::DragMove || e->type() == QEvent::Drop;
    if (!drag || watched != txtOutput_->viewport()) return FrameBox::eventFilter(watched, e);
    auto* d = static_cast<QDropEvent*>(e);
    if (fingerprint_busy_ && e->type() == QEvent::DragEnter && FirstLocalFile(d->mimeData()).size())
        context_.status.Show(QStringLiteral("正在计算上一个文件的校验值，请等它结束后再拖入"));
    const QString path = fingerprint_busy_ ? QString() : FirstLocalFile(d->mimeData());
    if (path.isEmpty()) {
        d->ignore();
        return true;
    }
    d->acceptProposedAction();
    if (e->type() == QEvent::Drop) DropOnOutput(path);
    return true;
}

void LinkPage::DropOnOutput(const QString& path) {
    // The checksum lets window events run between blocks; a second drop in
    // that time is refused rather than started inside the first.
    fingerprint_busy_ = true;
    const std::u16string text = checksum::FingerprintText(path.toStdString(), &PumpEvents);
    fingerprint_busy_ = false;
    SetBoxText(txtOutput_, text);
}

}  // namespace tessel::shell
