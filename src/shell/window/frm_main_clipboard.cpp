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
    if (!options_->WatchesClipboard()) return;
    links::RoutingInput in = RoutingInputFor(txtMessage->text());
    in.watcherOn = true;
    ApplyRouting(links::RouteClipboardText(in));
    qCDebug(lcWindow, "routed at %lld us", MonotonicMicros());
}

links::RoutingInput FrmMain::RoutingInputFor(const QString& text) {
    links::RoutingInput in;
    in.txtMessage = text.toStdU16String();
    in.txtOutput = Link().OutputText();
    in.txtFlvlink = Video().FlvlinkText();
    in.linkActiveTabIsOne = ReadsAsOne(settings_, keys::kLinkActiveTab);
    in.uDownActiveTabIsOne = ReadsAsOne(settings_, keys::kUDownActiveTab);
    in.diskServiceDomain = ReadText(settings_, keys::kDiskServiceDomain).toStdU16String();
    return in;
}

void FrmMain::ApplyRouting(const links::RoutingResult& result) {
    if (result.txtPickcode) disk_->SetPickcode(*result.txtPickcode);
    if (result.txtOnlineflv) Video().SetOnlineflv(*result.txtOnlineflv);
    if (result.txtInput) Link().SetInput(*result.txtInput);
    if (result.activateTab) safeTabs->setActiveTab(*result.activateTab);
    if (result.storeLinkActiveTab) WriteInt16(settings_, keys::kLinkActiveTab, 1);
    if (result.storeUDownActiveTab) WriteInt16(settings_, keys::kUDownActiveTab, 1);
}

}  // namespace tessel::shell
