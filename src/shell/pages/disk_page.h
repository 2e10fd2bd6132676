// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The 115 page ("fra115"): a share link or pick code in, the telecom, netcom
// and backup addresses out, each with its copy command.

#include "shell/jobs/background_request.h"
#include "shell/ui/page_context.h"
#include "shell/ui/page_parts.h"

class QLabel;
class QLineEdit;

namespace tessel::shell {

class DiskPage final : public FrameBox {
    Q_OBJECT
 public:
    DiskPage(PageContext context, QWidget* parent);

    // The extraction (the click on skbPickcode).  The fetch runs beside the
    // window; the boxes change when it ends.
    void Extract();
    bool Busy() const { return fetch_.Running(); }
    // Trimmed clipboard text into txtPickcode (a double-click on it).
    void PastePickcode();
    // The address of `box` onto the clipboard, selected.
    void CopyAddress(QLineEdit* box);

    QLabel* lblPickcode = nullptr;
    QLineEdit* txtPickcode = nullptr;
    controls::SkButton* skbPickcode = nullptr;
    QLabel* lblTel = nullptr;
    QLineEdit* txtTel = nullptr;
    controls::SkButton* skbTelcopy = nullptr;
    QLabel* lblCnc = nullptr;
    QLineEdit* txtCnc = nullptr;
    controls::SkButton* skbCnccopy = nullptr;
    QLabel* lblBak = nullptr;
    QLineEdit* txtBak = nullptr;
    controls::SkButton* skbBakcopy = nullptr;

 private:
    PageContext context_;
    BackgroundRequest fetch_{this};
};

}  // namespace tessel::shell
