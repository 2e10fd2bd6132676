// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The options strip ("FraIP") below the pages: the public IP label and the
// four options the fold-out button shows, with the docking timers.

#include <QTimer>

#include "shell/pages/service_page.h"

class QCheckBox;
class QLabel;
class QRadioButton;

namespace tessel::shell {

class OptionsStrip final : public ServicePage {
    Q_OBJECT
 public:
    // Heights of the strip with the options folded in and out, in twips.
    static constexpr int kHeightIn = 975;
    static constexpr int kHeightOut = 855;

    OptionsStrip(PageContext context, QWidget* parent);

    // Shows or hides the four options and sets the strip's height.
    void Unfold(bool out);
    bool Unfolded() const { return unfolded_; }
    // The three stored options as the settings hold them, each set the way
    // a click would (its handler runs); the public IP is then asked again.
    void RestoreChecks();
    // Sets a check box the way a user's click would: its click handler runs
    // when `checked` differs from its state.
    static void SetCheck(QCheckBox* box, bool checked);

    // chkClipboard: copied texts are routed to the pages.
    bool WatchesClipboard() const;
    // optQQ: the window docks at the screen's edges.
    bool DockChosen() const;
    // The docking timers: tmrCheck (50 ms) and tmrMove (1 ms).
    QTimer& CheckTimer() { return tmrCheck_; }
    QTimer& MoveTimer() { return tmrMove_; }

    // The public IP query (a click on chkShowIP, the load, the re-query).  It
    // runs beside the window; a call while one runs is run after it.
    void ShowPublicIP();
    // Number of ShowPublicIP calls so far.
    int PublicIpQueries() const { return public_ip_queries_; }
    // The IP caption onto the clipboard (a double-click on lblIP).
    void CopyIp();

 signals:
    // chkOntop was clicked; the window goes into or out of the topmost band.
    void OntopClicked(bool on);
    // optQQ was clicked.
    void DockClicked();

 private:
    void StartIpQuery();

    QLabel* lblIP_ = nullptr;
    // The four options the fold-out shows.
    struct {
        QCheckBox *chkOntop, *chkClipboard, *chkShowIP;
        QRadioButton* optQQ;
    } options_{};
    QTimer tmrMove_{this};
    QTimer tmrCheck_{this};
    // Not about the clipboard: the one-shot re-query of the public IP after
    // its caption was copied.  The name is the one the settings and the rest
    // of the program have always used for it.
    QTimer tmrClipboard_{this};
    bool unfolded_ = false;
    int public_ip_queries_ = 0;
    bool ip_query_again_ = false;
};

}  // namespace tessel::shell
