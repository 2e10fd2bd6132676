// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The conversion page ("fraLink"): the link commands, paste and copy, the
// Rayfile link, URL encoding and the fingerprint of a file dropped on the
// output box.

#include "shell/pages/service_page.h"
#include "web/download.h"

class QLineEdit;
class QMimeData;
class QPlainTextEdit;

namespace tessel::links {
struct CommandResult;
}  // namespace tessel::links

namespace tessel::shell {

class LinkPage final : public ServicePage {
    Q_OBJECT
 public:
    LinkPage(PageContext context, QWidget* parent);

    // The text of txtOutput, in the program's form (lines apart by CR LF).
    std::u16string OutputText() const;
    // Texts for the boxes (a copied or opened link, its decoded address).
    void SetInput(std::u16string_view text);
    void SetOutput(std::u16string_view text);

    void PasteInput();
    // The Rayfile command; its size fetch runs beside the window and the
    // command goes on when it ends.
    void ToRayfile();
    // The fingerprint of the file at `path` into the output box.
    void DropOnOutput(const QString& path);
    // True while a dropped file's checksum runs.
    bool FingerprintBusy() const { return fingerprint_busy_; }

 protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

 private:
    void ApplyCommand(const links::CommandResult& result);
    // The end of the Rayfile command, once the size is known or must be asked.
    void FinishRayfile(const std::u16string& address);
    static QString FirstLocalFile(const QMimeData* mime);

    QPlainTextEdit* txtInput_ = nullptr;
    QPlainTextEdit* txtOutput_ = nullptr;
    // Hidden; shows announced_size_, as it always has.
    QLineEdit* txtFilesize_ = nullptr;
    // Kept from one Rayfile command to the next, until a fetch announces
    // another.
    web::Long announced_size_ = 0;
    bool fingerprint_busy_ = false;
};

}  // namespace tessel::shell
