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
    : ServicePage("fraFlv", QStringLiteral("在线视频解析："), std::move(context), parent) {
    const TextAreas areas = AddTextAreas(
        this, 5055, 345, {"fraOnlineflv", "txtOnlineflv", "skbOnlineflv", QStringLiteral("视频地址：")},
        {"fratxtFlvlink", "txtFlvlink", "skbFlvlink", QStringLiteral("下载地址：")},
        [this] { PasteOnlineflv(); });
    txtOnlineflv_ = areas.in;
    txtFlvlink_ = areas.out;

    QGroupBox* operation =
        Frame(this, "fraFlvoperation", QStringLiteral("操作区："), Px(5400, 240, 1815, 2295));
    using handoff::HandoffButton;
    const auto handoff = [this](HandoffButton which) { return [this, which] { Handoff(which); }; };
    const std::vector<controls::SkButton*> buttons = AddButtonColumn(
        operation, 120, 1575, 315,
        {{"skbParse", QStringLiteral("解析地址"), 240, [this] { Parse(); }},
         {"skbFlvIE", QStringLiteral("IE下载"), 600, [this] { OpenInBrowser(); }},
         {"skbFlvthunder", QStringLiteral("迅雷下载"), 960, handoff(HandoffButton::skbFlvthunder)},
         {"skbFlvflashget", QStringLiteral("快车下载"), 1320, handoff(HandoffButton::skbFlvflashget)},
         {"skbQqdl", QStringLiteral("旋风下载"), 1680, handoff(HandoffButton::skbQqdl)}});
    request_.LockWhileRunning(buttons.front());

    QLabel* lblfilename =
        Label(operation, "lblfilename", QStringLiteral("双击复制文件名"), Px(120, 2040, 1335, 195));
    lblfilename->setToolTip(QStringLiteral("双击右图复制文件名"));
    imgTip_ = Label(operation, "imgTip", QString(), Px(1440, 2025, 240, 240));
    imgTip_->setPixmap(QPixmap::fromImage(ResourcePng(QStringLiteral(":/tessel/imgtip.png"))));
    SetPlainTip(imgTip_, QString());

    ytdlp_ = Named(new YtDlpVideoParse(context_.settings, txtOnlineflv_, txtFlvlink_, this), "ytDlpParse");
    // Which engine answered, and yt-dlp's own error when it fails.
    connect(ytdlp_, &YtDlpVideoParse::StatusChanged, this,
            [this](const QString& text) { context_.status.Show(text); });
    connect(ytdlp_, &YtDlpVideoParse::TitleFound, this, &VideoPage::ShowTitle);
    connect(ytdlp_, &YtDlpVideoParse::MediaFound, this,
            [this](const std::vector<web::YtDlpMedia>& media) { found_.media = media; });

    // The filter runs on every change of the box, whoever made it, like the
    // box's own change handler: the parse, the notice of the load, anything
    // later.  Its replacements are messages the filter leaves alone, so the
    // change it causes itself ends there.
    connect(txtFlvlink_, &QPlainTextEdit::textChanged, this, &VideoPage::FilterFlvlink);
    for (QLabel* copies : {imgTip_, lblfilename}) OnDoubleClick(copies, [this] { CopyFileName(); });
    ActOnKeys(lblfilename, [this] { CopyFileName(); });
}

void VideoPage::ShowLoadNotice() { SetBoxText(txtFlvlink_, web::FlvLoadNotice(Homes(context_.settings))); }

std::u16string VideoPage::FlvlinkText() const { return BoxText(txtFlvlink_); }

void VideoPage::SetOnlineflv(std::u16string_view text) { SetBoxText(txtOnlineflv_, text); }

void VideoPage::ShowTitle(const QString& title) {
    SetPlainTip(imgTip_, title);
    // What the tooltip shows is what is copied and handed on.
    found_.title = PlainCut(title);
}

void VideoPage::FilterFlvlink() {
    const web::FlvFilterResult f = web::ApplyFlvlinkFilter(BoxText(txtFlvlink_), Homes(context_.settings));
    if (f.clearTip) ShowTitle(QString());
    if (f.text != BoxText(txtFlvlink_)) SetBoxText(txtFlvlink_, f.text);
}

void VideoPage::Parse() {
    if (ytdlp_->Parse()) return;
    if (RefusedWhileBusy(QStringLiteral("解析"))) return;
    const web::ParseHomes homes = Homes(context_.settings);
    context_.status.Show(QStringLiteral("正在解析…"));
    request_.Start<ParseRun>(
        [input = BoxText(txtOnlineflv_), homes](const web::RequestAbort& abort) {
            return RunParse(input, homes, abort);
        },
        [this, homes](ParseRun run) {
            const web::VideoParseResult& r = run.result;
            SetBoxText(txtOnlineflv_, r.txtOnlineflv);
            if (r.imgTip) ShowTitle(Q(*r.imgTip));
            if (r.txtFlvlink) SetBoxText(txtFlvlink_, *r.txtFlvlink);
            context_.status.Show(run.url.empty() ? QString()
                                                 : FailureText({kWhat, homes.home, &keys::kParseHome},
                                                               run.download, web::kRequestTimeLimit));
            if (r.message)
                context_.prompts.Message(Q(*r.message), Q(text::kPromptTitle), Prompts::Buttons::Ok,
                                         Prompts::Icon::None);
        });
}

void VideoPage::PasteOnlineflv() {
    const std::u16string text = text::PasteText(ClipboardText().toStdU16String());
    if (!text.empty()) SetBoxText(txtOnlineflv_, text);
}

void VideoPage::OpenInBrowser() {
    const std::u16string text = BoxText(txtFlvlink_);
    if (!web::IsSingleHttpLine(text)) return;
    QDesktopServices::openUrl(QUrl(Q(text)));
}

// The media address, the video page and the title go to the hand-off command,
// which asks through our message boxes when a manager looks absent and
// collects the tasks; they go to aria2 beside the window, the status line
// saying so, and what went wrong is told in a message box.
void VideoPage::Handoff(handoff::HandoffButton button) {
    const SettingsStore& settings = context_.settings;
    const handoff::HandoffRequest request{BoxText(txtFlvlink_),
                                          BoxText(txtOnlineflv_),
                                          found_.title.toStdU16String(),
                                          ReadText(settings, keys::kParseHome).toStdU16String(),
                                          {ReadText(settings, keys::kAria2Rpc).toStdU16String(),
                                           ReadText(settings, keys::kAria2Secret).toStdU16String(),
                                           ReadText(settings, keys::kAria2CaFile).toStdU16String()},
                                          found_.HeadersFor(BoxText(txtFlvlink_))};
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
    if (!found_.title.isEmpty()) PutOnClipboard(found_.title);
}

}  // namespace tessel::shell
