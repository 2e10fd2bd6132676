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
#include "shell/pages/disk_page.h"
#include "shell/pages/link_page.h"
#include "shell/pages/options_strip.h"
#include "shell/pages/video_page.h"
#include "shell/settings/settings_store.h"
#include "shell/ui/page_parts.h"
#include "shell/window/clipboard_text_box.h"
#include "shell/window/frm_main.h"

namespace tessel::shell {

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
    const QString text = ClipboardText();
    if (ClipboardTextBox::TooLong(text))
        qCDebug(lcWindow, "clipboard text of %lld characters not routed at %lld us",
                static_cast<long long>(text.size()), MonotonicMicros());
    txtMessage->setText(text);
}

void FrmMain::OnMessageChanged() {
    links::RoutingInput in;
    in.watcherOn = options_->chkClipboard->isChecked();
    if (!in.watcherOn) return;
    in.txtMessage = txtMessage->text().toStdU16String();
    in.txtOutput = BoxText(link_->txtOutput);
    in.txtFlvlink = BoxText(video_->txtFlvlink);
    in.linkActiveTabIsOne = ReadsAsOne(settings_, keys::kLinkActiveTab);
    in.uDownActiveTabIsOne = ReadsAsOne(settings_, keys::kUDownActiveTab);
    in.diskServiceDomain = ReadText(settings_, keys::kDiskServiceDomain).toStdU16String();

    const links::RoutingResult out = links::RouteClipboardText(in);
    if (out.txtPickcode) SetBoxText(disk_->txtPickcode, *out.txtPickcode);
    if (out.txtOnlineflv) SetBoxText(video_->txtOnlineflv, *out.txtOnlineflv);
    if (out.txtInput) SetBoxText(link_->txtInput, *out.txtInput);
    if (out.activateTab) safeTabs->setActiveTab(*out.activateTab);
    if (out.storeLinkActiveTab) WriteInt16(settings_, keys::kLinkActiveTab, 1);
    if (out.storeUDownActiveTab) WriteInt16(settings_, keys::kUDownActiveTab, 1);
    qCDebug(lcWindow, "routed at %lld us", MonotonicMicros());
}

}  // namespace tessel::shell
