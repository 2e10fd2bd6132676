// SPDX-License-Identifier: GPL-3.0-or-later
// The online-video page's download-manager buttons: the media address, the
// video page and the title go to the hand-off command, which asks through our
// message boxes when a manager looks absent; what went wrong is told in a
// message box, and the program goes on.
#include <QLabel>
#include <QPlainTextEdit>

#include "controls/sk_button.h"
#include "handoff/handoff_command.h"
#include "shell/frm_main.h"
#include "shell/prompts.h"
#include "shell/settings_store.h"

namespace tessel::shell {

namespace {

QString Q(std::u16string_view s) { return QString::fromStdU16String(std::u16string(s)); }

void Handoff(FrmMain& w, handoff::HandoffButton button) {
    const SettingsStore& settings = w.Settings();
    const handoff::HandoffRequest request{FrmMain::BoxText(w.txtFlvlink),
                                          FrmMain::BoxText(w.txtOnlineflv),
                                          w.imgTip->toolTip().toStdU16String(),
                                          ReadText(settings, keys::kParseHome).toStdU16String(),
                                          {ReadText(settings, keys::kAria2Rpc).toStdU16String(),
                                           ReadText(settings, keys::kAria2Secret).toStdU16String()}};
    Prompts& prompts = w.Dialogs();
    const auto ask = [&prompts](const handoff::Question& q) {
        return prompts.Message(Q(q.text), Q(q.title), Prompts::Buttons::YesNo, Prompts::Icon::Information) ==
                       Prompts::Answer::Yes
                   ? handoff::Answer::Yes
                   : handoff::Answer::No;
    };
    const handoff::HandoffOutcome outcome = handoff::RunHandoff(button, request, ask);
    if (outcome.notice)
        prompts.Message(Q(outcome.notice->text), Q(outcome.notice->title), Prompts::Buttons::Ok,
                        Prompts::Icon::Warning);
}

}  // namespace

void FrmMain::WireHandoff() {
    using handoff::HandoffButton;
    const std::pair<SkButton*, HandoffButton> buttons[] = {{skbFlvthunder, HandoffButton::skbFlvthunder},
                                                           {skbFlvflashget, HandoffButton::skbFlvflashget},
                                                           {skbQqdl, HandoffButton::skbQqdl}};
    for (const auto& [button, which] : buttons)
        connect(button, &SkButton::Click, this, [this, which] { Handoff(*this, which); });
}

}  // namespace tessel::shell
