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
    : FrameBox(QString(), parent), context_(std::move(context)) {
    setObjectName(QStringLiteral("FraIP"));
    White(this);
    lblIP = Label(this, "lblIP", QString(), Px(120, 240, 6015, 200));
    lblIP->setToolTip(QStringLiteral("双击将IP地址复制到剪贴板..."));
    lblIP->hide();

    auto check = [this](const char* name, const QString& caption, QRect px) {
        auto* c = Named(new QCheckBox(caption, this), name);
        White(c);
        c->setGeometry(px);
        c->hide();
        return c;
    };
    chkOntop = check("chkOntop", QStringLiteral("始终置顶"), Px(120, 520, 1095, 255));
    chkClipboard = check("chkClipboard", QStringLiteral("监视剪贴板"), Px(1320, 520, 1455, 255));
    chkShowIP = check("chkShowIP", QStringLiteral("显示IP地址"), Px(2880, 520, 1335, 255));

    optQQ = Named(new QRadioButton(QStringLiteral("仿QQ自动隐藏(不可保存设置)"), this), "optQQ");
    White(optQQ);
    optQQ->setGeometry(Px(4320, 520, 2655, 255));
    optQQ->setChecked(false);
    optQQ->hide();
    // The only option button of its group: once selected it stays selected.
    // Alone, a Qt radio button would toggle off on the next click.
    auto* group = new QButtonGroup(this);
    group->addButton(optQQ);

    auto timer = [this](const char* name, int interval) {
        auto* t = Named(new QTimer(this), name);
        t->setInterval(interval);
        return t;
    };
    tmrMove = timer("tmrMove", 1);
    tmrCheck = timer("tmrCheck", 50);
    tmrClipboard = timer("tmrClipboard", 0);

    connect(chkOntop, &QCheckBox::clicked, this, [this] {
        emit OntopClicked(chkOntop->isChecked());
        WriteInt16(context_.settings, keys::kSetTop, chkOntop->isChecked() ? 1 : 0);
    });
    connect(chkClipboard, &QCheckBox::clicked, this,
            [this] { WriteInt16(context_.settings, keys::kClipboard, chkClipboard->isChecked() ? 1 : 0); });
    connect(chkShowIP, &QCheckBox::clicked, this, [this] {
        if (chkShowIP->isChecked()) {
            ShowPublicIP();
        } else {
            lblIP->hide();
            // A re-query still pending from a copy would show the label again.
            tmrClipboard->stop();
            ip_query_again_ = false;
        }
        WriteInt16(context_.settings, keys::kShowIP, chkShowIP->isChecked() ? 1 : 0);
    });
    OnDoubleClick(lblIP, [this] { CopyIp(); });
    connect(&ip_query_, &BackgroundRequest::RunningChanged, chkShowIP,
            [this](bool on) { chkShowIP->setEnabled(!on); });
    connect(tmrClipboard, &QTimer::timeout, this, [this] {
        ShowPublicIP();
        tmrClipboard->stop();
    });
}

void OptionsStrip::Unfold(bool out) {
    QRect strip = geometry();
    strip.setHeight(controls::TwipsToPixels(static_cast<double>(out ? kHeightOut : kHeightIn)));
    setGeometry(strip);
    for (QWidget* w : std::initializer_list<QWidget*>{chkOntop, chkClipboard, chkShowIP, optQQ})
        w->setVisible(out);
}

void OptionsStrip::SetCheck(QCheckBox* box, bool checked) {
    if (box->isChecked() == checked) return;
    box->setChecked(checked);
    emit box->clicked(checked);
}

void OptionsStrip::CopyIp() {
    if (!web::CanCopyIpCaption(lblIP->text().toStdU16String())) return;
    PutOnClipboard(lblIP->text());
    lblIP->setText(Q(web::kIpCopied));
    tmrClipboard->setInterval(web::kIpRequeryMs);
    tmrClipboard->start();
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
    if (ip_query_.Running()) {
        ip_query_again_ = true;
        return;
    }
    StartIpQuery();
}

void OptionsStrip::StartIpQuery() {
    const std::u16string echo = ReadText(context_.settings, keys::kIpEcho).toStdU16String();
    context_.status.Show(QStringLiteral("正在查询公网IP地址…"));
    ip_query_.Start<IpQuery>(
        [echo](const web::RequestAbort& abort) { return RunIpQuery(echo, abort); },
        [this, echo](IpQuery q) {
            context_.status.Show(q.url.empty() || q.caption
                                     ? QString()
                                     : FailureText({QStringLiteral("IP查询服务"), echo, &keys::kIpEcho},
                                                   q.download, web::kRequestTimeLimit));
            // Turned off meanwhile: the label stays hidden.
            if (q.caption && chkShowIP->isChecked()) {
                ShowPlain(lblIP, Q(*q.caption));
                lblIP->show();
            }
            if (std::exchange(ip_query_again_, false)) StartIpQuery();
        });
}

}  // namespace tessel::shell
