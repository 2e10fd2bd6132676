// SPDX-License-Identifier: GPL-3.0-or-later
// The 115 page.  The rules live in the web library; here the boxes are read
// and written.
#include "shell/disk_page.h"

#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "controls/sk_button.h"
#include "shell/settings_store.h"
#include "text/vbstring.h"
#include "web/download.h"
#include "web/pick_code.h"
#include "web/reply_file.h"

namespace tessel::shell {

namespace {
constexpr web::Long kPickCodeTimeOutMs = 5000;
}  // namespace

DiskPage::DiskPage(PageContext context, QWidget* parent)
    : FrameBox(QStringLiteral("115链接提取："), parent), context_(std::move(context)) {
    setObjectName(QStringLiteral("fra115"));
    White(this);
    lblPickcode = Label(this, "lblPickcode", QStringLiteral("完整链接或提取码："), Px(240, 360, 1815, 255));
    txtPickcode = Line(this, "txtPickcode", Px(2040, 360, 3735, 345), PasteTip());
    skbPickcode = Button(this, "skbPickcode", QStringLiteral("获取"), 5880, 360, 1335, 340);

    lblTel = Label(this, "lblTel", QStringLiteral("电信地址："), Px(240, 960, 975, 255));
    txtTel = Line(this, "txtTel", Px(1320, 840, 5055, 345), CopyTip());
    txtTel->setReadOnly(true);
    txtTel->setText(QStringLiteral("建议登录115网盘并记住登录状态，有时会有意想不到的效果"));
    txtTel->setCursorPosition(0);
    skbTelcopy = Button(this, "skbTelcopy", QStringLiteral("复制"), 6480, 840, 735, 325);

    lblCnc = Label(this, "lblCnc", QStringLiteral("网通地址："), Px(240, 1500, 975, 255));
    txtCnc = Line(this, "txtCnc", Px(1320, 1440, 5055, 345), CopyTip());
    txtCnc->setReadOnly(true);
    skbCnccopy = Button(this, "skbCnccopy", QStringLiteral("复制"), 6480, 1440, 735, 325);

    lblBak = Label(this, "lblBak", QStringLiteral("备份地址："), Px(240, 2040, 975, 255));
    txtBak = Line(this, "txtBak", Px(1320, 2040, 5055, 345), CopyTip());
    txtBak->setReadOnly(true);
    skbBakcopy = Button(this, "skbBakcopy", QStringLiteral("复制"), 6480, 2040, 735, 325);

    connect(skbPickcode, &controls::SkButton::Click, this, &DiskPage::Extract);
    OnDoubleClick(txtPickcode, [this] { PastePickcode(); });
    const std::pair<QLineEdit*, controls::SkButton*> copies[] = {
        {txtTel, skbTelcopy}, {txtCnc, skbCnccopy}, {txtBak, skbBakcopy}};
    for (const auto& [box, button] : copies) {
        connect(button, &controls::SkButton::Click, this, [this, box = box] { CopyAddress(box); });
        OnDoubleClick(box, [this, box = box] { CopyAddress(box); });
    }
}

void DiskPage::Extract() {
    const std::string replyPath = web::ReplyPath(web::kPickCodeReply);
    web::Cls_DownLoad* cdf = context_.fetcher ? context_.fetcher() : nullptr;
    // Through Cdf, which lets window events run while it waits; a click that
    // comes while it is busy gets nothing and changes nothing.
    const web::ReplyFetch fetch = [cdf,
                                   &replyPath](const std::u16string& url) -> std::optional<std::u16string> {
        if (!cdf || replyPath.empty()) return std::nullopt;
        return web::FetchReplyTextVia(*cdf, url, replyPath, kPickCodeTimeOutMs);
    };
    const web::PickCodeResult r = web::ExtractPickCode(
        BoxText(txtPickcode), ReadText(context_.settings, keys::kPickCodeApi).toStdU16String(), fetch);
    if (r.txtPickcode) SetBoxText(txtPickcode, *r.txtPickcode);
    if (r.txtTel) SetBoxText(txtTel, *r.txtTel);
    if (r.txtCnc) SetBoxText(txtCnc, *r.txtCnc);
    if (r.txtBak) SetBoxText(txtBak, *r.txtBak);
    if (r.storeErrorCode) WriteInt16(context_.settings, keys::kErrorCode, 1);
    if (r.deleteReply) web::DeleteReplyFile(replyPath);
}

void DiskPage::PastePickcode() {
    const std::u16string text = text::Trim(ClipboardText().toStdU16String());
    if (!text.empty()) SetBoxText(txtPickcode, text);
}

void DiskPage::CopyAddress(QLineEdit* box) {
    if (box->text().isEmpty()) return;
    PutOnClipboard(box->text());
    box->setFocus();
    box->selectAll();
    // A double-click selects the word under the pointer after its handlers
    // have run; the whole address is what the user should see selected.
    QTimer::singleShot(0, box, &QLineEdit::selectAll);
    // The clipboard watcher reads this: links seen from now on no longer
    // bring the conversion page to the front in this run.
    WriteInt16(context_.settings, keys::kLinkActiveTab, 1);
}

}  // namespace tessel::shell
