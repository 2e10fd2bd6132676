// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The status line in the band at the bottom of the window, left of the
// fold-out button, seen whether the options are folded out or not.  It says
// what is happening ("正在解析…") and what went wrong; the text stays until
// the next one replaces it or it is cleared.  A text longer than the line is
// cut with "…" and shown whole in the tooltip.
//
//   window.ShowStatus(QStringLiteral("正在解析…"));

#include <QLabel>
#include <QString>

namespace tessel::shell {

class StatusLine final : public QLabel {
    Q_OBJECT
 public:
    explicit StatusLine(QWidget* parent);

    void Show(const QString& text);
    void Clear() { Show(QString()); }
    // The whole text last shown ("" when cleared).
    QString Text() const { return text_; }

 signals:
    void Shown(const QString& text);
    // A click on a line about aria2 (its hand-offs and their trouble), which
    // leads to the download settings.
    void Aria2Clicked();

 protected:
    void resizeEvent(QResizeEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

 private:
    void Elide();

    QString text_;
};

}  // namespace tessel::shell
