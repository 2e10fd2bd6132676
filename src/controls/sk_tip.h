// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The button's own tooltip window: a standard rectangular tip or a balloon,
// with an optional bold title and icon, text wrapped at 240 pixels.  It is
// armed when the button turns hot and shows after the usual hover delay
// while the pointer stays over the button.

#include <QColor>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

class QLabel;

namespace tessel::controls {

class SkTip : public QWidget {
    Q_OBJECT

 public:
    static constexpr int kMaxTextWidth = 240;

    struct Content {
        QString text;
        QString title;
        int icon = 0;  // 0 none, 1 information, 2 warning, 3 error
        bool balloon = false;
        QColor background;  // invalid: the platform's tooltip colour
        bool rightToLeft = false;
    };

    SkTip(QWidget* tool, const Content& content);
    ~SkTip() override;

    // Starts the hover delay; the tip shows at the pointer when it runs out
    // while the pointer is still over the tool.
    void Arm();
    // Shows at once below/at `globalPos`.
    void ShowAt(const QPoint& globalPos);
    const Content& content() const { return content_; }

 protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

 private:
    QPointer<QWidget> tool_;
    Content content_;
    QLabel* label_ = nullptr;
    QTimer wake_;
    QTimer pop_;
};

}  // namespace tessel::controls
