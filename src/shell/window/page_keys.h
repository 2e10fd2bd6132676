// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window's keyboard: only the page in front takes part in the focus
// chain, Ctrl+Tab / Ctrl+PgDn and Ctrl+Shift+Tab / Ctrl+PgUp step through
// the pages (wrapping).  (The items that act on a double-click also act on
// Enter or Space once Tab has reached them: the pages see to that, ActOnKeys
// in page_parts.h.)
//
// The tab strip keeps placing every page by its own rule (pages of other
// tabs lie 10000 twips per tab to the side); on top of that the pages that
// are not in front are hidden, which takes their controls out of the focus
// chain and out of what accessibility tools are shown, without moving them.

#include <QObject>

class QWidget;

namespace tessel::shell {

class FrmMain;

class PageKeys final : public QObject {
    Q_OBJECT
 public:
    // Lives as long as `window`, whose first page is on its tab strip; the
    // others are asked of the window, which builds them when need be.
    explicit PageKeys(FrmMain& window);

    // Makes the active page the next (+1) or previous (-1) one, wrapping.
    void Step(int direction);

 private:
    static constexpr int kPages = 4;
    // The page of tab `tab` (built now if it was not yet), or null.
    QWidget* Page(int tab) const;
    void OnTabSwitch(int previous);
    void ShowOnly(int tab);

    FrmMain& window_;
};

}  // namespace tessel::shell
