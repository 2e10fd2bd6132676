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
    : ServicePage("fra115", QStringLiteral("115链接提取："), std::move(context), parent) {
    Label(this, "lblPickcode", QStringLiteral("完整链接或提取码："), Px(240, 360, 1815, 255));
    txtPickcode_ = Line(this, "txtPickcode", Px(2040, 360, 3735, 345), PasteTip());
    controls::SkButton* skbPickcode =
        Button(this, "skbPickcode", QStringLiteral("获取"), 5880, 360, 1335, 340);
    connect(skbPickcode, &controls::SkButton::Click, this, &DiskPage::Extract);
    request_.LockWhileRunning(skbPickcode);
    OnDoubleClick(txtPickcode_, [this] { PastePickcode(); });

    const struct {
        Address* address;
        const char *label, *box, *button;
        QString caption;
        double labelTop, top;
    } rows[] = {
        {&tel_, "lblTel", "txtTel", "skbTelcopy", QStringLiteral("电信地址："), 960, 840},
        {&cnc_, "lblCnc", "txtCnc", "skbCnccopy", QStringLiteral("网通地址："), 1500, 1440},
        {&bak_, "lblBak", "txtBak", "skbBakcopy", QStringLiteral("备份地址："), 2040, 2040},
    };
    for (const auto& row : rows) {
        Address& a = *row.address;
        a.name = row.caption.chopped(1);
        Label(this, row.label, row.caption, Px(240, row.labelTop, 975, 255));
        a.box = Line(this, row.box, Px(1320, row.top, 5055, 345), CopyTip());
        a.box->setReadOnly(true);
        controls::SkButton* copy = Button(this, row.button, QStringLiteral("复制"), 6480, row.top, 735, 325);
        connect(copy, &controls::SkButton::Click, this, [this, &a] { CopyAddress(a); });
        OnDoubleClick(a.box, [this, &a] { CopyAddress(a); });
    }
    // Advice, not an address: shown in grey while the box is empty.
    tel_.box->setPlaceholderText(QStringLiteral("建议登录115网盘并记住登录状态，有时会有意想不到的效果"));
}

void DiskPage::Extract() {
    if (RefusedWhileBusy(QStringLiteral("115链接提取"))) return;
    const std::u16string api = ReadText(context_.settings, keys::kPickCodeApi).toStdU16String();
    context_.status.Show(QStringLiteral("正在提取115下载地址…"));
    request_.Start<Extraction>(
        [input = BoxText(txtPickcode_), api](const web::RequestAbort& abort) {
            return RunExtraction(input, api, abort);
        },
        [this, api](Extraction x) {
            const web::PickCodeResult& r = x.result;
            if (r.txtPickcode) SetBoxText(txtPickcode_, *r.txtPickcode);
            if (r.txtTel) SetBoxText(tel_.box, *r.txtTel);
            if (r.txtCnc) SetBoxText(cnc_.box, *r.txtCnc);
            if (r.txtBak) SetBoxText(bak_.box, *r.txtBak);
            if (r.storeErrorCode) WriteInt16(context_.settings, keys::kErrorCode, 1);
            context_.status.Show(x.url.empty() ? QString()
                                               : FailureText({kWhat, api, &keys::kPickCodeApi}, x.end,
                                                             web::kRequestTimeLimit,
                                                             std::chrono::milliseconds(kPickCodeTimeOutMs)));
        });
}

void DiskPage::SetPickcode(std::u16string_view text) { SetBoxText(txtPickcode_, text); }

void DiskPage::PastePickcode() {
    const std::u16string text = text::PasteText(ClipboardText().toStdU16String());
    if (!text.empty()) SetBoxText(txtPickcode_, text);
}

void DiskPage::CopyAddress(const Address& address) {
    QLineEdit* box = address.box;
    if (box->text().isEmpty()) {
        // The advice in an empty 电信地址 box is only its placeholder.
        context_.status.Show(QStringLiteral("%1为空，未复制任何内容").arg(address.name));
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
