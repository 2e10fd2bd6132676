// SPDX-License-Identifier: GPL-3.0-or-later
// The 115 page.  The rules live in the web library; here the boxes are read
// and written.
#include "shell/pages/disk_page.h"

#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "controls/sk_button.h"
#include "shell/jobs/service_status.h"
#include "shell/settings/settings_store.h"
#include "shell/ui/status_line.h"
#include "text/input_cleaning.h"
#include "text/vbstring.h"
#include "web/download.h"
#include "web/pick_code.h"
#include "web/reply_file.h"

namespace tessel::shell {

namespace {

constexpr web::Long kPickCodeTimeOutMs = 5000;
const QString kWhat = QStringLiteral("115网盘接口");

struct Extraction {
    web::PickCodeResult result;
    std::u16string url;  // empty when nothing was asked
    web::FetchEnd end = web::FetchEnd::Complete;
};

Extraction RunExtraction(const std::u16string& input, const std::u16string& api,
                         const web::RequestAbort& abort) {
    Extraction x;
    const std::string replyPath = web::ReplyPath(web::kPickCodeReply);
    web::Cls_DownLoad cdf;
    cdf.abortSignal = &abort;
    const web::ReplyFetch fetch = [&](const std::u16string& url) -> std::optional<std::u16string> {
        x.url = url;
        if (replyPath.empty()) {
            x.end = web::FetchEnd::FileFailed;
            return std::nullopt;
        }
        std::optional<std::u16string> text = web::FetchReplyTextVia(cdf, url, replyPath, kPickCodeTimeOutMs);
        x.end = cdf.LastEnd();
        if (!text && x.end == web::FetchEnd::Complete) x.end = web::FetchEnd::FileFailed;
        return text;
    };
    x.result = web::ExtractPickCode(input, api, fetch);
    if (x.result.deleteReply) web::DeleteReplyFile(replyPath);
    return x;
}

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
    // Advice, not an address: shown in grey while the box is empty.
    txtTel->setPlaceholderText(QStringLiteral("建议登录115网盘并记住登录状态，有时会有意想不到的效果"));
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
    connect(&fetch_, &BackgroundRequest::RunningChanged, skbPickcode,
            [this](bool on) { skbPickcode->setEnabled(!on); });
    OnDoubleClick(txtPickcode, [this] { PastePickcode(); });
    const std::pair<QLineEdit*, controls::SkButton*> copies[] = {
        {txtTel, skbTelcopy}, {txtCnc, skbCnccopy}, {txtBak, skbBakcopy}};
    for (const auto& [box, button] : copies) {
        connect(button, &controls::SkButton::Click, this, [this, box = box] { CopyAddress(box); });
        OnDoubleClick(box, [this, box = box] { CopyAddress(box); });
    }
}

void DiskPage::Extract() {
    if (fetch_.Running()) {
        context_.status.Show(BusyRefusalText(QStringLiteral("115链接提取")));
        return;
    }
    const std::u16string api = ReadText(context_.settings, keys::kPickCodeApi).toStdU16String();
    context_.status.Show(QStringLiteral("正在提取115下载地址…"));
    fetch_.Start<Extraction>(
        [input = BoxText(txtPickcode), api](const web::RequestAbort& abort) {
            return RunExtraction(input, api, abort);
        },
        [this, api](Extraction x) {
            const web::PickCodeResult& r = x.result;
            if (r.txtPickcode) SetBoxText(txtPickcode, *r.txtPickcode);
            if (r.txtTel) SetBoxText(txtTel, *r.txtTel);
            if (r.txtCnc) SetBoxText(txtCnc, *r.txtCnc);
            if (r.txtBak) SetBoxText(txtBak, *r.txtBak);
            if (r.storeErrorCode) WriteInt16(context_.settings, keys::kErrorCode, 1);
            context_.status.Show(x.url.empty() ? QString()
                                               : FailureText({kWhat, api, &keys::kPickCodeApi}, x.end,
                                                             web::kRequestTimeLimit,
                                                             std::chrono::milliseconds(kPickCodeTimeOutMs)));
        });
}

void DiskPage::PastePickcode() {
    const std::u16string text = text::PasteText(ClipboardText().toStdU16String());
    if (!text.empty()) SetBoxText(txtPickcode, text);
}

void DiskPage::CopyAddress(QLineEdit* box) {
    if (box->text().isEmpty()) {
        // The advice in an empty 电信地址 box is only its placeholder.
        const QLabel* label = box == txtTel ? lblTel : box == txtCnc ? lblCnc : lblBak;
        context_.status.Show(QStringLiteral("%1为空，未复制任何内容").arg(label->text().chopped(1)));
        return;
    }
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
