// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/window/page_keys.h"

#include <QApplication>
#include <QShortcut>

#include "controls/safe_tabs.h"
#include "shell/pages/about_page.h"
#include "shell/pages/disk_page.h"
#include "shell/pages/link_page.h"
#include "shell/pages/video_page.h"
#include "shell/window/frm_main.h"

namespace tessel::shell {

namespace {

// The first control of `page` that Tab would reach.
QWidget* FirstFocusable(QWidget* page) {
    for (QWidget* w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain()) {
        if (!page->isAncestorOf(w)) continue;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled()) return w;
    }
    return nullptr;
}

}  // namespace

PageKeys::PageKeys(FrmMain& window) : QObject(&window), window_(window) {
    // The window hides the pages it builds later that are not in front.
    controls::SafeTabs* tabs = &window.Tabs();
    connect(tabs, &controls::SafeTabs::TabSwitch, this, &PageKeys::OnTabSwitch);

    // Every tabbed program's page keys.  Shift+Tab arrives as Backtab.
    const std::pair<QKeyCombination, int> steps[] = {
        {Qt::CTRL | Qt::Key_Tab, +1},
        {Qt::CTRL | Qt::Key_PageDown, +1},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, -1},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, -1},
        {Qt::CTRL | Qt::Key_PageUp, -1},
    };
    for (const auto& [keys, direction] : steps) {
        auto* s = new QShortcut(QKeySequence(keys), &window);
        connect(s, &QShortcut::activated, this, [this, direction = direction] { Step(direction); });
    }
}

QWidget* PageKeys::Page(int tab) const {
    switch (tab) {
        case 0:
            return &window_.Disk();
        case 1:
            return &window_.Link();
        case 2:
            return &window_.Video();
        case 3:
            return &window_.About();
        default:
            return nullptr;
    }
}

void PageKeys::Step(int direction) {
    controls::SafeTabs* tabs = &window_.Tabs();
    const int n = tabs->TabCount();
    tabs->setActiveTab(((tabs->ActiveTab() + direction) % n + n) % n);
}

void PageKeys::ShowOnly(int tab) {
    for (int i = 0; i < kPages; ++i) Page(i)->setVisible(i == tab);
}

void PageKeys::OnTabSwitch(int previous) {
    const int active = window_.Tabs().ActiveTab();
    QWidget* from = Page(previous);
    QWidget* to = Page(active);
    if (to) to->show();
    // Focus inside the page going away follows to the page coming in (where
    // it last was there, else its first control), as in any tabbed window;
    // focus on the strip or the options stays where it is.
    QWidget* focus = QApplication::focusWidget();
    if (from && to && focus && from->isAncestorOf(focus)) {
        QWidget* target = to->focusWidget();
        if (!target || !target->isVisible() || !(target->focusPolicy() & Qt::TabFocus))
            target = FirstFocusable(to);
        if (target)
            target->setFocus(Qt::TabFocusReason);
        else
            window_.Tabs().setFocus(Qt::TabFocusReason);
    }
    ShowOnly(active);
}

}  // namespace tessel::shell
