// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The options strip ("FraIP") below the pages: the public IP label and the
// four options the fold-out button shows, with the docking timers.

#include "shell/jobs/background_request.h"
#include "shell/ui/page_context.h"
#include "shell/ui/page_parts.h"

class QCheckBox;
class QLabel;
class QRadioButton;
class QTimer;

namespace tessel::shell {

class OptionsStrip final : public FrameBox {
    Q_OBJECT
 public:
    // Heights of the strip with the options folded in and out, in twips.
    static constexpr int kHeightIn = 975;
    static constexpr int kHeightOut = 855;

    OptionsStrip(PageContext context, QWidget* parent);

    // Shows or hides the four options and sets the strip's height.
    void Unfold(bool out);
    // Sets a check box the way a user's click would: its click handler runs
    // when `checked` differs from its state.
    static void SetCheck(QCheckBox* box, bool checked);

    // The public IP query (a click on chkShowIP, the load, the re-query).  It
    // runs beside the window; a call while one runs is run after it.
    void ShowPublicIP();
    bool Busy() const { return ip_query_.Running(); }
    // Number of ShowPublicIP calls so far.
    int PublicIpQueries() const { return public_ip_queries_; }
    // The IP caption onto the clipboard (a double-click on lblIP).
    void CopyIp();

    QLabel* lblIP = nullptr;
    QCheckBox* chkOntop = nullptr;
    QCheckBox* chkClipboard = nullptr;
    QCheckBox* chkShowIP = nullptr;
    QRadioButton* optQQ = nullptr;
    QTimer* tmrMove = nullptr;   // 1 ms, docking
    QTimer* tmrCheck = nullptr;  // 50 ms, docking
    // Not about the clipboard: the one-shot re-query of the public IP after
    // its caption was copied.  The name is the one the settings and the rest
    // of the program have always used for it.
    QTimer* tmrClipboard = nullptr;

 signals:
    // chkOntop was clicked; the window goes into or out of the topmost band.
    void OntopClicked(bool on);

 private:
    void StartIpQuery();

    PageContext context_;
    BackgroundRequest ip_query_{this};
    int public_ip_queries_ = 0;
    bool ip_query_again_ = false;
};

}  // namespace tessel::shell
