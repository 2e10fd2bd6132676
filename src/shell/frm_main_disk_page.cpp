// SPDX-License-Identifier: GPL-3.0-or-later
// The 115 page: the pick-code extraction through the page fetcher, paste into
// the input box and the three copy commands.  The rules live in the web
// library; here the boxes are read and written.
#include <QLineEdit>
#include <QTimer>

#include "controls/sk_button.h"
#include "shell/frm_main.h"
#include "shell/settings_store.h"
#include "text/vbstring.h"
#include "web/download.h"
#include "web/pick_code.h"
#include "web/reply_file.h"

namespace tessel::shell {

namespace {

constexpr web::Long kPickCodeTimeOutMs = 5000;

void Extract(FrmMain& w) {
    const std::string replyPath = web::ReplyPath(web::kPickCodeReply);
    web::Cls_DownLoad* cdf = w.Cdf();
    // Through Cdf, which lets window events run while it waits; a click that
    // comes while it is busy gets nothing and changes nothing.
    const web::ReplyFetch fetch = [cdf,
                                   &replyPath](const std::u16string& url) -> std::optional<std::u16string> {
        if (!cdf || replyPath.empty()) return std::nullopt;
        return web::FetchReplyTextVia(*cdf, url, replyPath, kPickCodeTimeOutMs);
    };
    const web::PickCodeResult r = web::ExtractPickCode(
        FrmMain::BoxText(w.txtPickcode), ReadText(w.Settings(), keys::kPickCodeApi).toStdU16String(), fetch);
    if (r.txtPickcode) FrmMain::SetBoxText(w.txtPickcode, *r.txtPickcode);
    if (r.txtTel) FrmMain::SetBoxText(w.txtTel, *r.txtTel);
    if (r.txtCnc) FrmMain::SetBoxText(w.txtCnc, *r.txtCnc);
    if (r.txtBak) FrmMain::SetBoxText(w.txtBak, *r.txtBak);
    if (r.storeErrorCode) WriteInt16(w.Settings(), keys::kErrorCode, 1);
    if (r.deleteReply) web::DeleteReplyFile(replyPath);
}

void PastePickcode(FrmMain& w) {
    const std::u16string text = text::Trim(FrmMain::ClipboardText().toStdU16String());
    if (!text.empty()) FrmMain::SetBoxText(w.txtPickcode, text);
}

void CopyAddress(FrmMain& w, QLineEdit* box) {
    if (box->text().isEmpty()) return;
    FrmMain::PutOnClipboard(box->text());
    box->setFocus();
    box->selectAll();
    // A double-click selects the word under the pointer after its handlers
    // have run; the whole address is what the user should see selected.
    QTimer::singleShot(0, box, &QLineEdit::selectAll);
    // The clipboard watcher reads this: links seen from now on no longer
    // bring the conversion page to the front in this run.
    WriteInt16(w.Settings(), keys::kLinkActiveTab, 1);
}

}  // namespace

void FrmMain::WireDiskPage() {
    connect(skbPickcode, &SkButton::Click, this, [this] { Extract(*this); });
    OnDoubleClick(txtPickcode, [this] { PastePickcode(*this); });
    const std::pair<QLineEdit*, SkButton*> copies[] = {
        {txtTel, skbTelcopy}, {txtCnc, skbCnccopy}, {txtBak, skbBakcopy}};
    for (const auto& [box, button] : copies) {
        connect(button, &SkButton::Click, this, [this, box = box] { CopyAddress(*this, box); });
        OnDoubleClick(box, [this, box = box] { CopyAddress(*this, box); });
    }
}

}  // namespace tessel::shell
