// SPDX-License-Identifier: GPL-3.0-or-later
// The public IP in the options strip: chkShowIP, lblIP and tmrClipboard are
// wired here, and ShowPublicIP does the query.
#include <QCheckBox>
#include <QLabel>

#include "shell/frm_main.h"
#include "shell/settings_store.h"
#include "web/download_to_file.h"
#include "web/public_ip.h"
#include "web/reply_file.h"

namespace tessel::shell {

void FrmMain::WireIp() {
    connect(chkShowIP, &QCheckBox::clicked, this, [this] {
        if (chkShowIP->isChecked()) {
            ShowPublicIP();
        } else {
            lblIP->hide();
            // A re-query still pending from a copy would show the label again.
            tmrClipboard->stop();
        }
        WriteInt16(settings_, keys::kShowIP, chkShowIP->isChecked() ? 1 : 0);
    });

    OnDoubleClick(lblIP, [this] {
        if (!web::CanCopyIpCaption(lblIP->text().toStdU16String())) return;
        PutOnClipboard(lblIP->text());
        lblIP->setText(QString::fromStdU16String(std::u16string(web::kIpCopied)));
        tmrClipboard->setInterval(web::kIpRequeryMs);
        tmrClipboard->start();
    });

    connect(tmrClipboard, &QTimer::timeout, this, [this] {
        ShowPublicIP();
        tmrClipboard->stop();
    });
}

void FrmMain::ShowPublicIP() {
    ++public_ip_queries_;
    const std::string replyPath = web::ReplyPath(web::kIpReply);
    // The one-call download, bounded in time and size; the reply file is gone
    // once read.
    const web::ReplyFetch fetch = [&replyPath](const std::u16string& url) -> std::optional<std::u16string> {
        if (replyPath.empty()) return std::nullopt;
        return web::FetchReplyText(url, replyPath);
    };
    const auto caption = web::QueryIpCaption(ReadText(settings_, keys::kIpEcho).toStdU16String(), fetch);
    if (!caption) return;  // the label keeps its caption and visibility
    lblIP->setText(QString::fromStdU16String(*caption));
    lblIP->show();
}

}  // namespace tessel::shell
