// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/msgbox_placement.h"

#include <QApplication>
#include <QEvent>

#include "text/vbstring.h"

namespace tessel::shell {

QPoint CenterOver(const ScreenRect& m, const ScreenRect& b) {
    const double x = (m.right - m.left) / 2.0 + m.left - (b.right - b.left) / 2.0;
    const double y = (m.bottom - m.top) / 2.0 + m.top - (b.bottom - b.top) / 2.0;
    return {static_cast<int>(text::RoundHalfEven(x)), static_cast<int>(text::RoundHalfEven(y))};
}

ScreenRect OuterRect(const QWidget& w) {
    const QRect r = w.frameGeometry();
    return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

MsgBoxPlacement::MsgBoxPlacement(QWidget* mainWindow) : QObject(mainWindow), main_(mainWindow) {}

MsgBoxPlacement::~MsgBoxPlacement() { Disarm(); }

void MsgBoxPlacement::Arm() {
    if (armed_) return;
    armed_ = true;
    qApp->installEventFilter(this);
}

void MsgBoxPlacement::Disarm() {
    if (!armed_) return;
    armed_ = false;
    if (qApp) qApp->removeEventFilter(this);
}

bool MsgBoxPlacement::eventFilter(QObject* watched, QEvent* event) {
    // Show comes after the dialog has its size and before the window system
    // maps it, so the move lands before the box is ever seen elsewhere.
    if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(watched);
    if (!w->isWindow() || w == main_) return false;
    // A tooltip or a menu popping up in between is not the box.
    if (w->windowType() == Qt::ToolTip || w->windowType() == Qt::Popup) return false;
    Disarm();
    if (main_) w->move(CenterOver(OuterRect(*main_), OuterRect(*w)));
    return false;
}

}  // namespace tessel::shell
