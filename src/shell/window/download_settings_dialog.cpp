// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/window/download_settings_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "handoff/aria2_engine.h"
#include "handoff/download_settings.h"
#include "shell/jobs/aria2_engine_process.h"
#include "shell/settings/settings_store.h"

namespace tessel::shell {

namespace {

QString Q(std::u16string_view s) { return QString::fromStdU16String(std::u16string(s)); }

QLineEdit* Box(const char* name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

}  // namespace

DownloadSettingsDialog::DownloadSettingsDialog(SettingsStore& settings, Aria2Engine* engine, QWidget* parent)
    : QDialog(parent), settings_(settings), engine_(engine) {
    setObjectName(QStringLiteral("DownloadSettingsDialog"));
    setWindowTitle(QStringLiteral("下载设置"));
    optOwnEngine = new QRadioButton(QStringLiteral("Tessel 自己的 aria2（没有 aria2 在听时自动启动）"), this);
    optOwnEngine->setObjectName(QStringLiteral("optOwnEngine"));
    optOtherEngine = new QRadioButton(QStringLiteral("另一个 aria2："), this);
    optOtherEngine->setObjectName(QStringLiteral("optOtherEngine"));
    txtAria2Rpc = Box("txtAria2Rpc", this);
    txtAria2Secret = Box("txtAria2Secret", this);
    txtAria2Secret->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    txtAria2CaFile = Box("txtAria2CaFile", this);
    txtAria2CaFile->setPlaceholderText(QStringLiteral("https 地址用自签证书时填写"));
    txtDownloadDir = Box("txtDownloadDir", this);
    txtDownloadDir->setPlaceholderText(QStringLiteral("留空：桌面的下载文件夹"));
    auto* chooseDir = new QPushButton(QStringLiteral("选择…"), this);
    chooseDir->setObjectName(QStringLiteral("cmdChooseDir"));
    lblComplaint = new QLabel(this);
    lblComplaint->setObjectName(QStringLiteral("lblComplaint"));
    lblComplaint->setTextFormat(Qt::PlainText);
    lblComplaint->setWordWrap(true);
    lblComplaint->setStyleSheet(QStringLiteral("color: #c00000"));

    auto* other = new QFormLayout;
    other->addRow(QStringLiteral("地址："), txtAria2Rpc);
    other->addRow(QStringLiteral("密钥："), txtAria2Secret);
    other->addRow(QStringLiteral("证书文件："), txtAria2CaFile);
    other->setContentsMargins(20, 0, 0, 0);
    auto* dir = new QHBoxLayout;
    dir->addWidget(txtDownloadDir, 1);
    dir->addWidget(chooseDir);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("下载交给："), this));
    layout->addWidget(optOwnEngine);
    layout->addWidget(optOtherEngine);
    layout->addLayout(other);
    layout->addWidget(new QLabel(QStringLiteral("下载文件夹（Tessel 自己的 aria2）："), this));
    layout->addLayout(dir);
    layout->addWidget(lblComplaint);
    layout->addWidget(buttons);
    resize(460, sizeHint().height());

    connect(optOwnEngine, &QRadioButton::toggled, this, &DownloadSettingsDialog::SyncEnabled);
    connect(chooseDir, &QPushButton::clicked, this, [this] {
        const QString chosen =
            QFileDialog::getExistingDirectory(this, QStringLiteral("选择下载文件夹"), txtDownloadDir->text());
        if (!chosen.isEmpty()) txtDownloadDir->setText(chosen);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (Apply()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Load();
}

void DownloadSettingsDialog::Load() {
    // The file may have been edited since it was read.
    settings_.Reload();
    const bool own = handoff::ParseAria2Start(ReadText(settings_, keys::kAria2Start).toStdU16String()) ==
                     handoff::Aria2StartMode::Auto;
    (own ? optOwnEngine : optOtherEngine)->setChecked(true);
    txtAria2Rpc->setText(ReadText(settings_, keys::kAria2Rpc));
    txtAria2Secret->setText(ReadText(settings_, keys::kAria2Secret));
    txtAria2CaFile->setText(ReadText(settings_, keys::kAria2CaFile));
    txtDownloadDir->setText(ReadText(settings_, keys::kDownloadDir));
    SyncEnabled();
}

void DownloadSettingsDialog::SyncEnabled() {
    const bool other = optOtherEngine->isChecked();
    for (QLineEdit* box : {txtAria2Rpc, txtAria2Secret, txtAria2CaFile}) box->setEnabled(other);
}

QString DownloadSettingsDialog::Complaint() const { return lblComplaint->text(); }

bool DownloadSettingsDialog::Apply() {
    handoff::DownloadSettingsForm form;
    form.ownEngine = optOwnEngine->isChecked();
    form.rpc = txtAria2Rpc->text().trimmed().toStdU16String();
    form.secret = txtAria2Secret->text().toStdU16String();
    form.caFile = txtAria2CaFile->text().trimmed().toStdU16String();
    form.downloadDir = txtDownloadDir->text().trimmed().toStdU16String();
    const handoff::DownloadSettingsProblem problem = handoff::CheckDownloadSettings(form);
    lblComplaint->setText(Q(problem.text));
    if (!problem.text.empty()) {
        if (auto* box = findChild<QLineEdit*>(Q(problem.field))) box->setFocus();
        return false;
    }
    // A folder typed here is made now, or refused with the message a
    // hand-off would give, while the user can still choose another.
    if (form.ownEngine && !form.downloadDir.empty()) {
        std::string folder;
        if (const QString trouble = Aria2Engine::PrepareDownloadFolder(Q(form.downloadDir), folder);
            !trouble.isEmpty()) {
            lblComplaint->setText(trouble);
            txtDownloadDir->setFocus();
            return false;
        }
    }
    WriteText(settings_, keys::kAria2Start,
              form.ownEngine ? QStringLiteral("auto") : QStringLiteral("never"));
    if (form.ownEngine) {
        // Tessel starts its own aria2 only for a loopback address; its secret
        // stays the one Tessel made.
        if (!handoff::OwnEnginePort(form.rpc))
            WriteText(settings_, keys::kAria2Rpc, Q(handoff::kAria2RpcDefault));
    } else {
        WriteText(settings_, keys::kAria2Rpc, Q(form.rpc));
        WriteText(settings_, keys::kAria2Secret, Q(form.secret));
        WriteText(settings_, keys::kAria2CaFile, Q(form.caFile));
    }
    WriteText(settings_, keys::kDownloadDir, Q(form.downloadDir));
    settings_.Flush();
    if (engine_) engine_->ApplyDownloadFolder();
    return true;
}

}  // namespace tessel::shell
