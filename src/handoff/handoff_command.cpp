// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/handoff_command.h"

#include <exception>

#include "handoff/aria2_objects.h"
#include "tessel_version.h"
#include "text/codepage.h"
#include "text/prompt_title.h"
#include "text/vbstring.h"
#include "web/video_parse.h"

namespace tessel::handoff {
namespace {

using Status = HandoffOutcome::Status;

// True when the manager is there or the user wants to go on without it.
bool PresentOrConfirmed(bool present, Manager manager, const AskYesNo& ask) {
    if (present) return true;
    return ask(Question{std::u16string(text::kPromptTitle), std::u16string(AbsentQuestion(manager))}) ==
           Answer::Yes;
}

void Call(ObjectFactory& factory, std::u16string_view progId, std::u16string_view method,
          std::initializer_list<Variant> args) {
    const auto object = CreateObject(factory, progId);
    object->Invoke(method, std::span<const Variant>(args.begin(), args.size()));
}

// Returns false when the user declined.
bool Send(HandoffButton button, const HandoffRequest& request, const AskYesNo& ask, const RegReader& read,
          ObjectFactory& factory) {
    const std::u16string& link = request.txtFlvlink;
    const std::u16string& page = request.txtOnlineflv;
    const std::u16string& title = request.imgTipToolTip;
    const std::u16string comment = HandoffComment(request.parseHome);

    switch (button) {
        case HandoffButton::skbFlvthunder:
            if (!PresentOrConfirmed(IsThunderInstalled(read), Manager::Thunder, ask)) return false;
            SetThunderAgentTask(factory, link, title, u"", comment, page, -1, 0, -1);
            return true;

        case HandoffButton::skbFlvflashget: {
            FlashGetGeneration generation = DetectFlashGet(read);
            if (generation == FlashGetGeneration::None) {
                if (!PresentOrConfirmed(false, Manager::FlashGet, ask)) return false;
                generation = FlashGetGeneration::V3_7;
            }
            switch (generation) {
                case FlashGetGeneration::V3_7:
                case FlashGetGeneration::None:
                    SetJetCarNetscapeTask(factory, link, comment, page, u"FlashGet3", u"", 0, 3);
                    break;
                case FlashGetGeneration::V2_4:
                    Call(factory, kFlashGetNetscapeExProgId, u"AddUrlEx",
                         {link, comment, page, u"FlashGet", kEmpty, std::int16_t{0}});
                    break;
                case FlashGetGeneration::V1_4:
                    Call(factory, kFlashGetNetscapeProgId, u"AddUrlEx",
                         {link, comment, page, u"FlashGetMini", kEmpty, std::int16_t{0}});
                    break;
                case FlashGetGeneration::V1_96:
                case FlashGetGeneration::V1_73:
                    Call(factory, kJetCarNetscapeProgId, u"AddUrl", {link, comment, page});
                    break;
            }
            return true;
        }

        case HandoffButton::skbQqdl:
            if (!PresentOrConfirmed(IsQqDownloadInstalled(read), Manager::QqDownload, ask)) return false;
            Call(factory, kQqRightClickProgId, u"SendUrl4",
                 {link, page, comment, u"strCookie", std::int16_t{0}, kEmpty, u"", u"", title});
            return true;
    }
    return false;
}

std::u16string Aria2FailureText(const Aria2Error& error) {
    const Aria2Reply& reply = error.Reply();
    const std::u16string rpc = Aria2RpcAddress(error.Settings());
    const std::u16string command = Aria2StartCommand(error.Settings());
    const std::u16string detail = text::FromUtf8(reply.error);
    switch (reply.status) {
        case Aria2Status::SecretRefused:
            return u"没能把任务交给 aria2：aria2（" + rpc +
                   u"）拒绝了设置 Aria2Secret 里的密钥。\n\n请让设置里的密钥与 aria2 的 --rpc-secret "
                   u"一致，或用下面的命令重新启动 aria2：\n" +
                   command;
        case Aria2Status::Error:
            return u"aria2 没有接受这个下载任务：" + detail +
                   u"\n\n如需重新启动 aria2，可以用下面的命令：\n" + command;
        case Aria2Status::Certificate:
            return u"没能把任务交给 aria2：" + rpc + u" 的证书被拒绝（" + detail +
                   u"）。\n\n请在设置 Aria2CaFile 里写上 aria2 的 --rpc-certificate 所用的证书文件。";
        case Aria2Status::NotAria2:
            return u"没能把任务交给 aria2：" + rpc + u" 的回答不是 aria2 的（" + detail +
                   u"）。\n\n请检查设置 Aria2Rpc 的地址，并用下面的命令启动 aria2：\n" + command;
        case Aria2Status::NoAnswer:
        case Aria2Status::Ok:
            break;
    }
    return u"没能把任务交给 aria2：" + rpc + u" 没有回答（" + detail +
           u"）。\n\n下载由 aria2 完成，请先在终端里启动它：\n" + command + u"\n启动后再点一次按钮。";
}

}  // namespace

std::u16string HandoffComment(std::u16string_view parseHome) {
    return u"Tessel V" TESSEL_VERSION_MAJOR u" 调用" + std::u16string(parseHome) + u"/" + u"解析";
}

Notice FailureNotice(const AutomationError& error) {
    if (const auto* aria2 = dynamic_cast<const Aria2Error*>(&error)) {
        return Notice{std::u16string(text::kPromptTitle), Aria2FailureText(*aria2)};
    }
    return Notice{std::u16string(text::kPromptTitle), u"没能把任务交给下载工具：" + error.Description() +
                                                          u"（错误 " + text::ToDecimal(error.Number()) +
                                                          u"，" + error.Source() + u"）。"};
}

HandoffOutcome RunHandoff(HandoffButton button, const HandoffRequest& request, const AskYesNo& ask,
                          const RegReader& read, ObjectFactory& factory) {
    if (!web::IsSingleHttpLine(request.txtFlvlink)) return {};
    try {
        if (!Send(button, request, ask, read, factory)) return {Status::Declined, std::nullopt};
        return {Status::Sent, std::nullopt};
    } catch (const AutomationError& error) {
        return {Status::Failed, FailureNotice(error)};
    } catch (const std::exception& error) {
        // Whatever else goes wrong, the click ends with a message, not with the program.
        return {Status::Failed, Notice{std::u16string(text::kPromptTitle),
                                       u"没能把任务交给下载工具：" + text::FromUtf8(error.what())}};
    }
}

HandoffOutcome RunHandoff(HandoffButton button, const HandoffRequest& request, const AskYesNo& ask) {
    Aria2ObjectFactory factory(request.aria2, request.media);
    return RunHandoff(button, request, ask, RegReadValue, factory);
}

}  // namespace tessel::handoff
