// SPDX-License-Identifier: GPL-3.0-or-later
// The online-video page: the parse, the filter of the output box, paste and
// copy, and the browser download.  The hand-off buttons are wired in
// frm_main_handoff.cpp.  The rules live in the web library; here the boxes are
// read and written.
#include <QDesktopServices>
#include <QLabel>
#include <QPlainTextEdit>
#include <QUrl>

#include "controls/sk_button.h"
#include "shell/frm_main.h"
#include "shell/prompts.h"
#include "shell/settings_store.h"
#include "text/vbstring.h"
#include "web/download_to_file.h"
#include "web/reply_file.h"
#include "web/video_parse.h"

namespace tessel::shell {

namespace {

QString Q(std::u16string_view s) { return QString::fromStdU16String(std::u16string(s)); }

web::ParseHomes Homes(const SettingsStore& settings) {
    return {ReadText(settings, keys::kParseHome).toStdU16String(),
            ReadText(settings, keys::kParseHome2).toStdU16String()};
}

// The filter runs on every change of the box, whoever made it, like the
// box's own change handler: the parse, the notice of the load, anything
// later.  Its replacements are messages the filter leaves alone, so the
// change it causes itself ends there.
void FilterFlvlink(FrmMain& w) {
    const web::FlvFilterResult f =
        web::ApplyFlvlinkFilter(FrmMain::BoxText(w.txtFlvlink), Homes(w.Settings()));
    if (f.clearTip) w.imgTip->setToolTip(QString());
    if (f.text != FrmMain::BoxText(w.txtFlvlink)) FrmMain::SetBoxText(w.txtFlvlink, f.text);
}

void Parse(FrmMain& w) {
    const std::string replyPath = web::ReplyPath(web::kFlvReply);
    // The one-call download: bounded in time and size, its file deleted once
    // read.  No reply folder means no download, which reads as a failed one.
    const web::ReplyFetch fetch = [&replyPath](const std::u16string& url) -> std::optional<std::u16string> {
        if (replyPath.empty()) return std::nullopt;
        return web::FetchReplyText(url, replyPath);
    };
    const web::VideoParseResult r =
        web::ParseVideoAddress(FrmMain::BoxText(w.txtOnlineflv), Homes(w.Settings()), fetch);
    FrmMain::SetBoxText(w.txtOnlineflv, r.txtOnlineflv);
    if (r.imgTip) w.imgTip->setToolTip(Q(*r.imgTip));
    if (r.txtFlvlink) FrmMain::SetBoxText(w.txtFlvlink, *r.txtFlvlink);
    if (r.message)
        w.Dialogs().Message(Q(*r.message), Q(web::kMessageTitle), Prompts::Buttons::Ok, Prompts::Icon::None);
}

void PasteOnlineflv(FrmMain& w) {
    const std::u16string text = text::Trim(FrmMain::ClipboardText().toStdU16String());
    if (!text.empty()) FrmMain::SetBoxText(w.txtOnlineflv, text);
}

void CopyFlvlink(FrmMain& w) {
    const std::u16string text = FrmMain::BoxText(w.txtFlvlink);
    if (text.empty()) return;
    FrmMain::PutOnClipboard(Q(text));
    w.txtFlvlink->setFocus();
    w.txtFlvlink->selectAll();
}

void OpenInBrowser(FrmMain& w) {
    const std::u16string text = FrmMain::BoxText(w.txtFlvlink);
    if (!web::CanOpenInBrowser(text)) return;
    QDesktopServices::openUrl(QUrl(Q(text)));
}

}  // namespace

void FrmMain::WireVideoPage() {
    connect(txtFlvlink, &QPlainTextEdit::textChanged, this, [this] { FilterFlvlink(*this); });
    connect(skbParse, &SkButton::Click, this, [this] { Parse(*this); });
    connect(skbOnlineflv, &SkButton::Click, this, [this] { PasteOnlineflv(*this); });
    OnDoubleClick(txtOnlineflv->viewport(), [this] { PasteOnlineflv(*this); });
    connect(skbFlvlink, &SkButton::Click, this, [this] { CopyFlvlink(*this); });
    OnDoubleClick(txtFlvlink->viewport(), [this] { CopyFlvlink(*this); });
    connect(skbFlvIE, &SkButton::Click, this, [this] { OpenInBrowser(*this); });
    WireHandoff();
}

}  // namespace tessel::shell
