// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/status_line.h"

#include <QFontMetrics>
#include <QMouseEvent>

#include "shell/ui/page_parts.h"
#include "shell/ui/plain_text.h"

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

namespace {
bool AboutAria2(const QString& text) { return text.contains(QStringLiteral("aria2")); }
}  // namespace

void StatusLine::mouseReleaseEvent(QMouseEvent* e) {
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && AboutAria2(text_)) emit Aria2Clicked();
}

void StatusLine::Show(const QString& text) {
    // One line: a service's text may carry line breaks of its own.  Cut
    // first: eliding lays out the whole text, and aria2 or yt-dlp may report
    // megabytes.
    QString line = PlainCut(text);
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    text_ = line;
    // A line about aria2 leads to the download settings.
    setCursor(AboutAria2(text_) ? Qt::PointingHandCursor : Qt::ArrowCursor);
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
    SetPlainTip(this, shown == text_ ? QString() : text_);
}

}  // namespace tessel::shell
