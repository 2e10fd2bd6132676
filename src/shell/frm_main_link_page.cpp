// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion page: the link commands, paste and copy, the Rayfile link,
// URL encoding and the fingerprint of a file dropped on the output box.  The
// rules live in the links library; here the boxes are read and written.
#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>

#include "controls/sk_button.h"
#include "controls/twips.h"
#include "links/commands.h"
#include "links/fingerprint.h"
#include "shell/frm_main.h"
#include "shell/prompts.h"

namespace tessel::shell {

namespace {
QString Q(std::u16string_view s) { return QString::fromStdU16String(std::u16string(s)); }
}  // namespace

void FrmMain::WireLinkPage() {
    using Command = links::CommandResult (*)(std::u16string_view);
    const std::pair<SkButton*, Command> commands[] = {{skbTogeneral, &links::ToGeneral},
                                                      {skbTothunder, &links::ToThunder},
                                                      {skbToflashget, &links::ToFlashGet},
                                                      {skbToqqdl, &links::ToQqdl},
                                                      {skbURL, &links::UrlCommand}};
    for (const auto& [button, command] : commands)
        connect(button, &SkButton::Click, this,
                [this, command] { ApplyCommand(command(BoxText(txtInput))); });
    connect(skbToRayfile, &SkButton::Click, this, &FrmMain::OnToRayfile);

    connect(skbInput, &SkButton::Click, this, &FrmMain::PasteInput);
    OnDoubleClick(txtInput->viewport(), [this] { PasteInput(); });
    connect(skbOutput, &SkButton::Click, this, &FrmMain::CopyOutput);
    OnDoubleClick(txtOutput->viewport(), [this] { CopyOutput(); });

    // Files dropped on the output box get their fingerprint (see eventFilter).
    txtOutput->setAcceptDrops(true);
    txtOutput->viewport()->setAcceptDrops(true);
}

void FrmMain::ApplyCommand(const links::CommandResult& result) {
    SetBoxText(txtInput, result.input);
    SetBoxText(txtOutput, result.output);
}

void FrmMain::PasteInput() {
    const std::u16string text = links::PasteText(ClipboardText().toStdU16String());
    if (!text.empty()) SetBoxText(txtInput, text);
}

void FrmMain::CopyOutput() {
    const std::u16string text = BoxText(txtOutput);
    if (text.empty()) return;
    PutOnClipboard(Q(text));
    txtOutput->setFocus();
    txtOutput->selectAll();
}

void FrmMain::OnToRayfile() {
    const links::RayfileStart start = links::RayfileBegin(BoxText(txtInput));
    SetBoxText(txtInput, start.input);
    if (start.output) {
        SetBoxText(txtOutput, *start.output);
        return;
    }
    const auto answer = prompts_->Message(Q(links::kRayfileQuestion), Q(links::kPromptTitle),
                                          Prompts::Buttons::YesNo, Prompts::Icon::Information);
    if (answer == Prompts::Answer::Yes) {
        const links::RayfileFetchOutcome fetched = FetchRayfileSize(start.address);
        if (fetched.output) SetBoxText(txtOutput, *fetched.output);
        if (!fetched.askForSize) return;
    }
    const QRectF outer = OuterTwips();
    const links::TwipsPoint at =
        links::RayfileInputBoxPos({outer.left(), outer.top(), outer.width(), outer.height()});
    const auto typed = prompts_->Input(Q(links::kRayfileSizePrompt), Q(links::kRayfileSizeTitle), QString(),
                                       QPoint(controls::TwipsToPixels(static_cast<double>(at.x)),
                                              controls::TwipsToPixels(static_cast<double>(at.y))));
    SetBoxText(txtOutput, links::RayfileFinish(start.address, typed.value_or(QString()).toStdU16String()));
}

QString FrmMain::FirstLocalFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return {};
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

void FrmMain::DropOnOutput(const QString& path) {
    // The checksum lets window events run between blocks; a second drop in
    // that time is refused rather than started inside the first.
    fingerprint_busy_ = true;
    const std::u16string text = links::FingerprintText(path.toStdString(), &FrmMain::PumpEvents);
    fingerprint_busy_ = false;
    SetBoxText(txtOutput, text);
}

}  // namespace tessel::shell
