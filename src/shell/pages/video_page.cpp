// SPDX-License-Identifier: GPL-3.0-or-later
// The online-video page.  The rules live in the web and hand-off libraries;
// here the boxes are read and written.
#include "shell/pages/video_page.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPlainTextEdit>
#include <QUrl>

#include "controls/sk_button.h"
#include "handoff/handoff_command.h"
#include "shell/jobs/aria2_job.h"
#include "shell/jobs/service_status.h"
#include "shell/jobs/ytdlp_video_parse.h"
#include "shell/settings/settings_store.h"
#include "shell/ui/plain_text.h"
#include "shell/ui/prompts.h"
#include "shell/ui/resource_image.h"
#include "shell/ui/status_line.h"
#include "text/input_cleaning.h"
#include "text/prompt_title.h"
#include "text/vbstring.h"
#include "web/download_to_file.h"
#include "web/reply_file.h"
#include "web/video_parse.h"

namespace tessel::shell {

namespace {

web::ParseHomes Homes(const SettingsStore& settings) {
    return {ReadText(settings, keys::kParseHome).toStdU16String(),
            ReadText(settings, keys::kParseHome2).toStdU16String()};
}

const QString kWhat = QStringLiteral("解析服务");

struct ParseRun : FetchRecord {
    web::VideoParseResult result;
};

ParseRun RunParse(const std::u16string& input, const web::ParseHomes& homes, const web::RequestAbort& abort) {
    ParseRun run;
    run.result = web::ParseVideoAddress(input, homes, RecordedReplyFetch(web::kFlvReply, abort, run));
    return run;
}

}  // namespace

VideoPage::VideoPage(PageContext context, QWidget* parent)
    : FrameBox(QStringLiteral("在线视频解析："), parent), context_(std::move(context)) {
    setObjectName(QStringLiteral("fraFlv"));
    White(this);
    using controls::SkButton;

    fraOnlineflv = Frame(this, "fraOnlineflv", QStringLiteral("视频地址："), Px(120, 240, 5055, 1095));
    txtOnlineflv = Multi(fraOnlineflv, "txtOnlineflv", Px(120, 240, 4335, 735), PasteTip());
    skbOnlineflv = Button(fraOnlineflv, "skbOnlineflv", QStringLiteral("粘贴入"), 4560, 240, 345, 735);

    fratxtFlvlink = Frame(this, "fratxtFlvlink", QStringLiteral("下载地址："), Px(120, 1440, 5055, 1095));
    txtFlvlink = Multi(fratxtFlvlink, "txtFlvlink", Px(120, 240, 4335, 735), CopyTip());
    txtFlvlink->setReadOnly(true);
    skbFlvlink = Button(fratxtFlvlink, "skbFlvlink", QStringLiteral("复制出"), 4560, 240, 345, 735);

    fraFlvoperation = Frame(this, "fraFlvoperation", QStringLiteral("操作区："), Px(5400, 240, 1815, 2295));
    skbParse = Button(fraFlvoperation, "skbParse", QStringLiteral("解析地址"), 120, 240, 1575, 315);
    skbFlvIE = Button(fraFlvoperation, "skbFlvIE", QStringLiteral("IE下载"), 120, 600, 1575, 315);
    skbFlvthunder = Button(fraFlvoperation, "skbFlvthunder", QStringLiteral("迅雷下载"), 120, 960, 1575, 315);
    skbFlvflashget =
        Button(fraFlvoperation, "skbFlvflashget", QStringLiteral("快车下载"), 120, 1320, 1575, 315);
    skbQqdl = Button(fraFlvoperation, "skbQqdl", QStringLiteral("旋风下载"), 120, 1680, 1575, 315);
    lblfilename =
        Label(fraFlvoperation, "lblfilename", QStringLiteral("双击复制文件名"), Px(120, 2040, 1335, 195));
    lblfilename->setToolTip(QStringLiteral("双击右图复制文件名"));
    imgTip = Label(fraFlvoperation, "imgTip", QString(), Px(1440, 2025, 240, 240));
    imgTip->setPixmap(QPixmap::fromImage(ResourcePng(QStringLiteral(":/tessel/imgtip.png"))));
    SetPlainTip(imgTip, QString());

    ytDlp = new YtDlpVideoParse(context_.settings, txtOnlineflv, txtFlvlink, imgTip, this);
    // Which engine answered, and yt-dlp's own error when it fails.
    connect(ytDlp, &YtDlpVideoParse::StatusChanged, this,
            [this](const QString& text) { context_.status.Show(text); });

    // The filter runs on every change of the box, whoever made it, like the
    // box's own change handler: the parse, the notice of the load, anything
    // later.  Its replacements are messages the filter leaves alone, so the
    // change it causes itself ends there.
    connect(txtFlvlink, &QPlainTextEdit::textChanged, this, &VideoPage::FilterFlvlink);
    connect(skbParse, &SkButton::Click, this, &VideoPage::Parse);
    connect(&parse_, &BackgroundRequest::RunningChanged, skbParse,
            [this](bool on) { skbParse->setEnabled(!on); });
    connect(skbOnlineflv, &SkButton::Click, this, &VideoPage::PasteOnlineflv);
    OnDoubleClick(txtOnlineflv->viewport(), [this] { PasteOnlineflv(); });
    connect(skbFlvlink, &SkButton::Click, this, &VideoPage::CopyFlvlink);
    OnDoubleClick(txtFlvlink->viewport(), [this] { CopyFlvlink(); });
    connect(skbFlvIE, &SkButton::Click, this, &VideoPage::OpenInBrowser);
    using handoff::HandoffButton;
    const std::pair<SkButton*, HandoffButton> handoffs[] = {{skbFlvthunder, HandoffButton::skbFlvthunder},
                                                            {skbFlvflashget, HandoffButton::skbFlvflashget},
                                                            {skbQqdl, HandoffButton::skbQqdl}};
    for (const auto& [button, which] : handoffs)
        connect(button, &SkButton::Click, this, [this, which = which] { Handoff(which); });
    OnDoubleClick(imgTip, [this] { CopyFileName(); });
    OnDoubleClick(lblfilename, [this] { CopyFileName(); });
}

void VideoPage::ShowLoadNotice() { SetBoxText(txtFlvlink, web::FlvLoadNotice(Homes(context_.settings))); }

void VideoPage::FilterFlvlink() {
    const web::FlvFilterResult f = web::ApplyFlvlinkFilter(BoxText(txtFlvlink), Homes(context_.settings));
    if (f.clearTip) imgTip->setToolTip(QString());
    if (f.text != BoxText(txtFlvlink)) SetBoxText(txtFlvlink, f.text);
}

void VideoPage::Parse() {
    if (ytDlp->Parse()) return;
    if (parse_.Running()) {
        context_.status.Show(BusyRefusalText(QStringLiteral("解析")));
        return;
    }
    const web::ParseHomes homes = Homes(context_.settings);
    context_.status.Show(QStringLiteral("正在解析…"));
    parse_.Start<ParseRun>([input = BoxText(txtOnlineflv),
                            homes](const web::RequestAbort& abort) { return RunParse(input, homes, abort); },
                           [this, homes](ParseRun run) {
                               const web::VideoParseResult& r = run.result;
                               SetBoxText(txtOnlineflv, r.txtOnlineflv);
                               if (r.imgTip) SetPlainTip(imgTip, Q(*r.imgTip));
                               if (r.txtFlvlink) SetBoxText(txtFlvlink, *r.txtFlvlink);
                               context_.status.Show(run.url.empty()
                                                        ? QString()
                                                        : FailureText({kWhat, homes.home, &keys::kParseHome},
                                                                      run.download, web::kRequestTimeLimit));
                               if (r.message)
                                   context_.prompts.Message(Q(*r.message), Q(text::kPromptTitle),
                                                            Prompts::Buttons::Ok, Prompts::Icon::None);
                           });
}

void VideoPage::PasteOnlineflv() {
    const std::u16string text = text::PasteText(ClipboardText().toStdU16String());
    if (!text.empty()) SetBoxText(txtOnlineflv, text);
}

void VideoPage::CopyFlvlink() {
    const std::u16string text = BoxText(txtFlvlink);
    if (text.empty()) return;
    PutOnClipboard(Q(text));
    txtFlvlink->setFocus();
    txtFlvlink->selectAll();
}

void VideoPage::OpenInBrowser() {
    const std::u16string text = BoxText(txtFlvlink);
    if (!web::IsSingleHttpLine(text)) return;
    QDesktopServices::openUrl(QUrl(Q(text)));
}

// The media address, the video page and the title go to the hand-off command,
// which asks through our message boxes when a manager looks absent and
// collects the tasks; they go to aria2 beside the window, the status line
// saying so, and what went wrong is told in a message box.
void VideoPage::Handoff(handoff::HandoffButton button) {
    const SettingsStore& settings = context_.settings;
    const handoff::HandoffRequest request{BoxText(txtFlvlink),
                                          BoxText(txtOnlineflv),
                                          imgTip->toolTip().toStdU16String(),
                                          ReadText(settings, keys::kParseHome).toStdU16String(),
                                          {ReadText(settings, keys::kAria2Rpc).toStdU16String(),
                                           ReadText(settings, keys::kAria2Secret).toStdU16String(),
                                           ReadText(settings, keys::kAria2CaFile).toStdU16String()},
                                          ytDlp->HeadersFor(BoxText(txtFlvlink))};
    Prompts& prompts = context_.prompts;
    const auto ask = [&prompts](const handoff::Question& q) {
        return prompts.Message(Q(q.text), Q(q.title), Prompts::Buttons::YesNo, Prompts::Icon::Information) ==
                       Prompts::Answer::Yes
                   ? handoff::Answer::Yes
                   : handoff::Answer::No;
    };
    std::vector<handoff::Aria2Task> tasks;
    handoff::Aria2ObjectFactory collect([&tasks](const handoff::Aria2Task& task) { tasks.push_back(task); },
                                        request.media);
    const handoff::HandoffOutcome outcome =
        handoff::RunHandoff(button, request, ask, handoff::RegReadValue, collect);
    if (outcome.notice)
        prompts.Message(Q(outcome.notice->text), Q(outcome.notice->title), Prompts::Buttons::Ok,
                        Prompts::Icon::Warning);
    if (outcome.status == handoff::HandoffOutcome::Status::Sent && context_.engine) {
        std::vector<Aria2JobTask> handed;
        for (const handoff::Aria2Task& task : tasks) handed.push_back(Aria2JobTask::Of(task));
        HandToAria2(*context_.engine, std::move(handed), context_.status, prompts, this);
    }
}

void VideoPage::CopyFileName() {
    if (!imgTip->toolTip().isEmpty()) PutOnClipboard(imgTip->toolTip());
}

}  // namespace tessel::shell
