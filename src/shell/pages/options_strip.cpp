// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/pages/options_strip.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>

#include "controls/twips.h"
#include "shell/jobs/service_status.h"
#include "shell/settings/settings_store.h"
#include "shell/ui/plain_text.h"
#include "shell/ui/status_line.h"
#include "web/download_to_file.h"
#include "web/public_ip.h"
#include "web/reply_file.h"

namespace tessel::shell {

OptionsStrip::OptionsStrip(PageContext context, QWidget* parent)
    : ServicePage("FraIP", QString(), std::move(context), parent) {
    lblIP_ = Label(this, "lblIP", QString(), Px(120, 240, 6015, 200));
    lblIP_->setToolTip(QStringLiteral("双击将IP地址复制到剪贴板..."));
    lblIP_->hide();

    auto check = [this](const char* name, const QString& caption, QRect px) {
        auto* c = Named(new QCheckBox(caption, this), name);
        White(c);
        c->setGeometry(px);
        c->hide();
        return c;
    };
    chkOntop_ = check("chkOntop", QStringLiteral("始终置顶"), Px(120, 520, 1095, 255));
    chkClipboard_ = check("chkClipboard", QStringLiteral("监视剪贴板"), Px(1320, 520, 1455, 255));
    chkShowIP_ = check("chkShowIP", QStringLiteral("显示IP地址"), Px(2880, 520, 1335, 255));

    optQQ_ = Named(new QRadioButton(QStringLiteral("仿QQ自动隐藏(不可保存设置)"), this), "optQQ");
    White(optQQ_);
    optQQ_->setGeometry(Px(4320, 520, 2655, 255));
    optQQ_->setChecked(false);
    optQQ_->hide();
    // The only option button of its group: once selected it stays selected.
    // Alone, a Qt radio button would toggle off on the next click.
    auto* group = new QButtonGroup(this);
    group->addButton(optQQ_);

    Named(&tmrMove_, "tmrMove")->setInterval(1);
    Named(&tmrCheck_, "tmrCheck")->setInterval(50);
    Named(&tmrClipboard_, "tmrClipboard")->setInterval(0);

    connect(chkOntop_, &QCheckBox::clicked, this, [this] {
        emit OntopClicked(chkOntop_->isChecked());
        WriteInt16(context_.settings, keys::kSetTop, chkOntop_->isChecked() ? 1 : 0);
    });
    connect(chkClipboard_, &QCheckBox::clicked, this,
            [this] { WriteInt16(context_.settings, keys::kClipboard, chkClipboard_->isChecked() ? 1 : 0); });
    connect(chkShowIP_, &QCheckBox::clicked, this, [this] {
        if (chkShowIP_->isChecked()) {
            ShowPublicIP();
        } else {
            lblIP_->hide();
            // A re-query still pending from a copy would show the label again.
            tmrClipboard_.stop();
            ip_query_again_ = false;
        }
        WriteInt16(context_.settings, keys::kShowIP, chkShowIP_->isChecked() ? 1 : 0);
    });
    OnDoubleClick(lblIP_, [this] { CopyIp(); });
    ActOnKeys(lblIP_, [this] { CopyIp(); });
    request_.LockWhileRunning(chkShowIP_);
    connect(optQQ_, &QRadioButton::clicked, this, &OptionsStrip::DockClicked);
    connect(&tmrClipboard_, &QTimer::timeout, this, [this] {
        ShowPublicIP();
        tmrClipboard_.stop();
    });
}

void OptionsStrip::Unfold(bool out) {
    unfolded_ = out;
    QRect strip = geometry();
    strip.setHeight(controls::TwipsToPixels(static_cast<double>(out ? kHeightOut : kHeightIn)));
    setGeometry(strip);
    for (QWidget* w : std::initializer_list<QWidget*>{chkOntop_, chkClipboard_, chkShowIP_, optQQ_})
        w->setVisible(out);
}

void OptionsStrip::RestoreChecks() {
    SetCheck(chkOntop_, ReadInt16(context_.settings, keys::kSetTop) != 0);
    SetCheck(chkClipboard_, ReadInt16(context_.settings, keys::kClipboard) != 0);
    // The two public IP queries run beside the window; it shows at once.
    SetCheck(chkShowIP_, ReadInt16(context_.settings, keys::kShowIP) != 0);
    if (chkShowIP_->isChecked()) ShowPublicIP();
}

bool OptionsStrip::WatchesClipboard() const { return chkClipboard_->isChecked(); }

bool OptionsStrip::DockChosen() const { return optQQ_->isChecked(); }

void OptionsStrip::SetCheck(QCheckBox* box, bool checked) {
    if (box->isChecked() == checked) return;
    box->setChecked(checked);
    emit box->clicked(checked);
}

void OptionsStrip::CopyIp() {
    if (!web::CanCopyIpCaption(lblIP_->text().toStdU16String())) return;
    PutOnClipboard(lblIP_->text());
    lblIP_->setText(Q(web::kIpCopied));
    tmrClipboard_.setInterval(web::kIpRequeryMs);
    tmrClipboard_.start();
}

namespace {

struct IpQuery : FetchRecord {
    std::optional<std::u16string> caption;
};

IpQuery RunIpQuery(const std::u16string& echo, const web::RequestAbort& abort) {
    IpQuery q;
    q.caption = web::QueryIpCaption(echo, RecordedReplyFetch(web::kIpReply, abort, q));
    return q;
}

}  // namespace

void OptionsStrip::ShowPublicIP() {
    ++public_ip_queries_;
    // The load asks twice in a row; the second asks once the first is done.
    if (request_.Running()) {
        ip_query_again_ = true;
        return;
    }
    StartIpQuery();
}

void OptionsStrip::StartIpQuery() {
    const std::u16string echo = ReadText(context_.settings, keys::kIpEcho).toStdU16String();
    context_.status.Show(QStringLiteral("正在查询公网IP地址…"));
    request_.Start<IpQuery>(
        [echo](const web::RequestAbort& abort) { return RunIpQuery(echo, abort); },
        [this, echo](IpQuery q) {
            context_.status.Show(q.url.empty() || q.caption
                                     ? QString()
                                     : FailureText({QStringLiteral("IP查询服务"), echo, &keys::kIpEcho},
                                                   q.download, web::kRequestTimeLimit));
            // Turned off meanwhile: the label stays hidden.
            if (q.caption && chkShowIP_->isChecked()) {
                ShowPlain(lblIP_, Q(*q.caption));
                lblIP_->show();
            }
            if (std::exchange(ip_query_again_, false)) StartIpQuery();
        });
}

}  // namespace tessel::shell
