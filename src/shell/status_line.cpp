// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/status_line.h"

#include <QFontMetrics>

#include "shell/page_parts.h"

namespace tessel::shell {

StatusLine::StatusLine(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("lblStatus"));
    White(this);
    setTextFormat(Qt::PlainText);
    // A grey a shade darker than the placeholders, so it reads as a remark.
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor(0x50, 0x50, 0x50));
    setPalette(p);
}

void StatusLine::Show(const QString& text) {
    // One line: a service's text may carry line breaks of its own.
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    text_ = line;
    Elide();
    emit Shown(text_);
}

void StatusLine::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    Elide();
}

void StatusLine::Elide() {
    const QString shown = fontMetrics().elidedText(text_, Qt::ElideRight, width());
    setText(shown);
    setToolTip(shown == text_ ? QString() : text_);
}

}  // namespace tessel::shell
