// SPDX-License-Identifier: GPL-3.0-or-later
// The clipboard watcher: every change of the clipboard's text lands in the
// hidden box txtMessage, and a change of that box routes the text to the
// page that handles it.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "controls/safe_tabs.h"
#include "links/routing.h"
#include "shell/clipboard_text_box.h"
#include "shell/frm_main.h"
#include "shell/settings_store.h"

namespace tessel::shell {

namespace {

bool FlagIsOne(const SettingsStore& store, const SettingKey& key) {
    const auto v = store.Read(QString::fromLatin1(key.group), QString::fromLatin1(key.name));
    return v && links::SettingReadsAsOne(v->toStdU16String());
}

}  // namespace

void FrmMain::WireClipboard() {
    // Only a real change of the box's text routes, so the same text copied
    // twice is routed once.
    connect(txtMessage, &ClipboardTextBox::textChanged, this, &FrmMain::OnMessageChanged);
    connect(chkClipboard, &QCheckBox::clicked, this, &FrmMain::OnClipboardCheckClick);
}

void FrmMain::SubscribeClipboard() {
    if (clipboard_connection_) return;
    clipboard_connection_ =
        connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &FrmMain::OnClipboardChanged);
}

void FrmMain::UnsubscribeClipboard() {
    if (clipboard_connection_) disconnect(clipboard_connection_);
    clipboard_connection_ = {};
}

void FrmMain::OnClipboardChanged() {
    // Untrimmed, and empty for an image or anything else that is not text.
    txtMessage->setText(ClipboardText());
}

void FrmMain::OnClipboardCheckClick() {
    WriteInt16(settings_, keys::kClipboard, chkClipboard->isChecked() ? 1 : 0);
}

void FrmMain::OnMessageChanged() {
    links::RoutingInput in;
    in.watcherOn = chkClipboard->isChecked();
    if (!in.watcherOn) return;
    in.txtMessage = txtMessage->text().toStdU16String();
    in.txtOutput = BoxText(txtOutput);
    in.txtFlvlink = BoxText(txtFlvlink);
    in.linkActiveTabIsOne = FlagIsOne(settings_, keys::kLinkActiveTab);
    in.uDownActiveTabIsOne = FlagIsOne(settings_, keys::kUDownActiveTab);
    in.diskServiceDomain = ReadText(settings_, keys::kDiskServiceDomain).toStdU16String();

    const links::RoutingResult out = links::RouteClipboardText(in);
    if (out.txtPickcode) SetBoxText(txtPickcode, *out.txtPickcode);
    if (out.txtOnlineflv) SetBoxText(txtOnlineflv, *out.txtOnlineflv);
    if (out.txtInput) SetBoxText(txtInput, *out.txtInput);
    if (out.activateTab) safeTabs->setActiveTab(*out.activateTab);
    if (out.storeLinkActiveTab) WriteInt16(settings_, keys::kLinkActiveTab, 1);
    if (out.storeUDownActiveTab) WriteInt16(settings_, keys::kUDownActiveTab, 1);
    qCDebug(lcWindow, "routed at %lld us", MonotonicMicros());
}

}  // namespace tessel::shell
