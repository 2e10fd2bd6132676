// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The conversion page ("fraLink"): the link commands, paste and copy, the
// Rayfile link, URL encoding and the fingerprint of a file dropped on the
// output box.

#include "shell/jobs/background_request.h"
#include "shell/ui/page_context.h"
#include "shell/ui/page_parts.h"

class QLineEdit;
class QMimeData;
class QPlainTextEdit;

namespace tessel::links {
struct CommandResult;
}  // namespace tessel::links

namespace tessel::shell {

class LinkPage final : public FrameBox {
    Q_OBJECT
 public:
    LinkPage(PageContext context, QWidget* parent);

    void PasteInput();
    void CopyOutput();
    // The Rayfile command; its size fetch runs beside the window and the
    // command goes on when it ends.
    void ToRayfile();
    bool Busy() const { return size_fetch_.Running(); }
    // The fingerprint of the file at `path` into the output box.
    void DropOnOutput(const QString& path);
    // True while a dropped file's checksum runs.
    bool FingerprintBusy() const { return fingerprint_busy_; }

    QGroupBox* fraInput = nullptr;
    QPlainTextEdit* txtInput = nullptr;
    controls::SkButton* skbInput = nullptr;
    QGroupBox* fraOutput = nullptr;
    QPlainTextEdit* txtOutput = nullptr;
    controls::SkButton* skbOutput = nullptr;
    QGroupBox* fraOperate = nullptr;
    controls::SkButton* skbTogeneral = nullptr;
    controls::SkButton* skbTothunder = nullptr;
    controls::SkButton* skbToflashget = nullptr;
    controls::SkButton* skbToqqdl = nullptr;
    controls::SkButton* skbToRayfile = nullptr;
    controls::SkButton* skbURL = nullptr;
    QLineEdit* txtFilesize = nullptr;  // hidden; the size the Rayfile fetch announced

 protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

 private:
    void ApplyCommand(const links::CommandResult& result);
    // The end of the Rayfile command, once the size is known or must be asked.
    void FinishRayfile(const std::u16string& address);
    static QString FirstLocalFile(const QMimeData* mime);

    PageContext context_;
    BackgroundRequest size_fetch_{this};
    bool fingerprint_busy_ = false;
};

}  // namespace tessel::shell
