// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/link_opener.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

#include "controls/safe_tabs.h"
#include "handoff/aria2_follow.h"
#include "handoff/handoff_command.h"
#include "handoff/open_link.h"
#include "shell/disk_page.h"
#include "shell/download_follower.h"
#include "shell/frm_main.h"
#include "shell/link_page.h"
#include "shell/page_parts.h"
#include "shell/prompts.h"
#include "shell/settings_store.h"
#include "shell/video_page.h"
#include "text/prompt_title.h"

namespace tessel::shell {

LinkOpener::LinkOpener(FrmMain& window, QObject* parent) : QObject(parent), w_(window) {}

void LinkOpener::Open(const QStringList& texts) {
    BringToFront();
    for (const QString& t : texts) {
        if (pending_.size() >= kMaxPending) {
            ++dropped_;
            continue;
        }
        pending_.push_back(t);
    }
    // A question open right now (the nested loop of a message box) finishes
    // first; the loop below picks the new texts up afterwards.
    if (!busy_) QTimer::singleShot(0, this, &LinkOpener::Drain);
}

void LinkOpener::BringToFront() {
    if (w_.isMinimized()) w_.setWindowState(w_.windowState() & ~Qt::WindowMinimized);
    w_.show();
    w_.raise();
    w_.activateWindow();
}

void LinkOpener::Drain() {
    if (busy_) return;
    busy_ = true;
    while (!pending_.empty()) {
        const QString text = pending_.front();
        pending_.pop_front();
        OpenOne(text);
    }
    busy_ = false;
    emit Idle();
}

void LinkOpener::OpenOne(const QString& text) {
    SettingsStore& settings = w_.Settings();
    handoff::OpenLinkInput in;
    in.argument = text.toStdU16String();
    in.txtOutput = BoxText(w_.Link().txtOutput);
    in.txtFlvlink = BoxText(w_.Video().txtFlvlink);
    in.linkActiveTabIsOne = ReadsAsOne(settings, keys::kLinkActiveTab);
    in.uDownActiveTabIsOne = ReadsAsOne(settings, keys::kUDownActiveTab);
    in.diskServiceDomain = ReadText(settings, keys::kDiskServiceDomain).toStdU16String();
    const handoff::OpenLinkPlan plan = handoff::PlanOpenLink(in);

    const links::RoutingResult& r = plan.routing;
    if (r.txtPickcode) SetBoxText(w_.Disk().txtPickcode, *r.txtPickcode);
    if (r.txtOnlineflv) SetBoxText(w_.Video().txtOnlineflv, *r.txtOnlineflv);
    if (r.txtInput) SetBoxText(w_.Link().txtInput, *r.txtInput);
    if (r.storeLinkActiveTab) WriteInt16(settings, keys::kLinkActiveTab, 1);
    if (r.storeUDownActiveTab) WriteInt16(settings, keys::kUDownActiveTab, 1);
    if (plan.showTab) w_.safeTabs->setActiveTab(*plan.showTab);
    if (plan.txtOutput) SetBoxText(w_.Link().txtOutput, *plan.txtOutput);
    BringToFront();
    if (!plan.offer) return;

    Prompts& prompts = w_.Dialogs();
    const Prompts::Answer answer =
        prompts.Message(Q(handoff::OpenLinkQuestion(plan.offerName)), Q(text::kPromptTitle),
                        Prompts::Buttons::YesNoDefaultNo, Prompts::Icon::Question);
    if (answer != Prompts::Answer::Yes) return;
    const handoff::Aria2Settings aria2{ReadText(settings, keys::kAria2Rpc).toStdU16String(),
                                       ReadText(settings, keys::kAria2Secret).toStdU16String(),
                                       ReadText(settings, keys::kAria2CaFile).toStdU16String()};
    try {
        const std::string gid = handoff::SendToAria2(aria2, *plan.offer, u"tessel");
        std::u16string name = handoff::Aria2OutName(plan.offer->title);
        if (name.empty()) name = handoff::FileNameOf(plan.offer->link);
        w_.ShowStatus(QStringLiteral("已交给 aria2：") + Q(name));
        w_.Downloads().Follow({gid, name, aria2});
    } catch (const handoff::AutomationError& error) {
        const handoff::Notice notice = handoff::FailureNotice(error);
        prompts.Message(Q(notice.text), Q(notice.title), Prompts::Buttons::Ok, Prompts::Icon::Warning);
    } catch (const std::exception& error) {
        prompts.Message(QStringLiteral("没能把任务交给 aria2：") + QString::fromUtf8(error.what()),
                        Q(text::kPromptTitle), Prompts::Buttons::Ok, Prompts::Icon::Warning);
    }
}

}  // namespace tessel::shell
