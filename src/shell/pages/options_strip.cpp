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
    options_.chkOntop = check("chkOntop", QStringLiteral("始终置顶"), Px(120, 520, 1095, 255));
    options_.chkClipboard = check("chkClipboard", QStringLiteral("监视剪贴板"), Px(1320, 520, 1455, 255));
    options_.chkShowIP = check("chkShowIP", QStringLiteral("显示IP地址"), Px(2880, 520, 1335, 255));

    options_.optQQ = Named(new QRadioButton(QStringLiteral("仿QQ自动隐藏(不可保存设置)"), this), "optQQ");
    White(options_.optQQ);
    options_.optQQ->setGeometry(Px(4320, 520, 2655, 255));
    options_.optQQ->setChecked(false);
    options_.optQQ->hide();
    // The only option button of its group: once selected it stays selected.
    // Alone, a Qt radio button would toggle off on the next click.
    auto* group = new QButtonGroup(this);
    group->addButton(options_.optQQ);

    Named(&tmrMove_, "tmrMove")->setInterval(1);
    Named(&tmrCheck_, "tmrCheck")->setInterval(50);
    Named(&tmrClipboard_, "tmrClipboard")->setInterval(0);

    connect(options_.chkOntop, &QCheckBox::clicked, this, [this] {
        emit OntopClicked(options_.chkOntop->isChecked());
        WriteInt16(context_.settings, keys::kSetTop, options_.chkOntop->isChecked() ? 1 : 0);
    });
    connect(options_.chkClipboard, &QCheckBox::clicked, this, [this] {
        WriteInt16(context_.settings, keys::kClipboard, options_.chkClipboard->isChecked() ? 1 : 0);
    });
    connect(options_.chkShowIP, &QCheckBox::clicked, this, [this] {
        if (options_.chkShowIP->isChecked()) {
            ShowPublicIP();
        } else {
            lblIP_->hide();
            // A re-query still pending from a copy would show the label again.
            tmrClipboard_.stop();
            ip_query_again_ = false;
        }
        WriteInt16(context_.settings, keys::kShowIP, options_.chkShowIP->isChecked() ? 1 : 0);
    });
    OnDoubleClick(lblIP_, [this] { CopyIp(); });
    ActOnKeys(lblIP_, [this] { CopyIp(); });
    request_.LockWhileRunning(options_.chkShowIP);
    connect(options_.optQQ, &QRadioButton::clicked, this, &OptionsStrip::DockClicked);
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
    for (QWidget* w : std::initializer_list<QWidget*>{options_.chkOntop, options_.chkClipboard,
                                                      options_.chkShowIP, options_.optQQ})
        w->setVisible(out);
}

void OptionsStrip::RestoreChecks() {
    SetCheck(options_.chkOntop, ReadInt16(context_.settings, keys::kSetTop) != 0);
    SetCheck(options_.chkClipboard, ReadInt16(context_.settings, keys::kClipboard) != 0);
    // The two public IP queries run beside the window; it shows at once.
    SetCheck(options_.chkShowIP, ReadInt16(context_.settings, keys::kShowIP) != 0);
    if (options_.chkShowIP->isChecked()) ShowPublicIP();
}

bool OptionsStrip::WatchesClipboard() const { return options_.chkClipboard->isChecked(); }

bool OptionsStrip::DockChosen() const { return options_.optQQ->isChecked(); }

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
            if (q.caption && options_.chkShowIP->isChecked()) {
                ShowPlain(lblIP_, Q(*q.caption));
                lblIP_->show();
            }
            if (std::exchange(ip_query_again_, false)) StartIpQuery();
        });
}

}  // namespace tessel::shell
