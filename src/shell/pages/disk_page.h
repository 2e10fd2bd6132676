// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The 115 page ("fra115"): a share link or pick code in, the telecom, netcom
// and backup addresses out, each with its copy command.

#include "shell/pages/service_page.h"

class QLineEdit;

namespace tessel::shell {

class DiskPage final : public ServicePage {
    Q_OBJECT
 public:
    DiskPage(PageContext context, QWidget* parent);

    // The extraction (the click on skbPickcode).  The fetch runs beside the
    // window; the boxes change when it ends.
    void Extract();
    // A share link or pick code for txtPickcode (a copied or opened link).
    void SetPickcode(std::u16string_view text);
    // Trimmed clipboard text into txtPickcode (a double-click on it).
    void PastePickcode();

 private:
    // One of the three addresses: what its caption calls it, and its box.
    struct Address {
        QString name;
        QLineEdit* box;
    };
    // The address onto the clipboard, selected.
    void CopyAddress(const Address& address);

    QLineEdit* txtPickcode_ = nullptr;
    Address tel_{}, cnc_{}, bak_{};
};

}  // namespace tessel::shell
