// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The three hand-off buttons of the online-video page as one pure command.
//
// The window reads its boxes into a HandoffRequest, calls RunHandoff with a
// callback that shows the Yes/No question, and shows the returned notice, if
// any, in a message box:
//
//   HandoffRequest r{txtFlvlink, txtOnlineflv, imgTip tooltip, ParseHome,
//                    {Aria2Rpc, Aria2Secret}};
//   HandoffOutcome o = RunHandoff(HandoffButton::skbFlvthunder, r, ask);
//   if (o.notice) show o.notice->title / o.notice->text
//
// Nothing is shown on success: the download engine takes over.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "handoff/aria2_objects.h"
#include "handoff/aria2_rpc.h"
#include "handoff/automation.h"
#include "handoff/probes.h"
#include "handoff/reg_work.h"

namespace tessel::handoff {

enum class HandoffButton { skbFlvthunder, skbFlvflashget, skbQqdl };

enum class Answer { Yes, No };

// A Yes/No question with the information icon.
struct Question {
    std::u16string title;
    std::u16string text;
};

// A message with a single OK button and the exclamation icon.
struct Notice {
    std::u16string title;
    std::u16string text;
};

using AskYesNo = std::function<Answer(const Question&)>;

struct HandoffRequest {
    std::u16string txtFlvlink;     // the media address
    std::u16string txtOnlineflv;   // the video page, sent as referring page
    std::u16string imgTipToolTip;  // the parsed title, may be empty
    std::u16string parseHome;      // services/ParseHome, for the task comment
    Aria2Settings aria2;           // services/Aria2Rpc and services/Aria2Secret
    MediaHeaders media{};          // what the video engine says the address needs
};

struct HandoffOutcome {
    enum class Status {
        NotApplicable,  // the box holds no single http(s) address: nothing happened
        Declined,       // the manager looked absent and the user said No
        Sent,           // the task was handed over
        Failed,         // handing over failed; notice says why and what to do
    };
    Status status = Status::NotApplicable;
    std::optional<Notice> notice;
};

// "Tessel V2 调用" + the parse service home + "/" + "解析".
std::u16string HandoffComment(std::u16string_view parseHome);

// The message for a failed hand-off (title text::kPromptTitle).
Notice FailureNotice(const AutomationError& error);

// With the registry and the objects given (tests pass a prefix of their own
// and a recording factory).
HandoffOutcome RunHandoff(HandoffButton button, const HandoffRequest& request, const AskYesNo& ask,
                          const RegReader& read, ObjectFactory& factory);

// As the window calls it: the Wine prefix's registry and the aria2 objects.
HandoffOutcome RunHandoff(HandoffButton button, const HandoffRequest& request, const AskYesNo& ask);

}  // namespace tessel::handoff
