// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Centring a message box over the main window.
//
// The placement is one-shot: Arm() right before a box is shown, and the first
// top-level window that is shown afterwards is moved so that its centre lies
// on the main window's centre; then the placement disarms itself.  A box
// shown without a fresh Arm() stays where Qt puts it.

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace tessel::shell {

// Rectangles as the window system reports them: right and bottom exclusive.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Top-left corner for `box` centred over `main`: each coordinate is
// (main extent)/2 + main origin - (box extent)/2, computed in double
// precision and rounded to the nearest integer, halves to the even one.
QPoint CenterOver(const ScreenRect& main, const ScreenRect& box);

// The outer rectangle of a top-level widget (frame included when known).
ScreenRect OuterRect(const QWidget& w);

class MsgBoxPlacement final : public QObject {
    Q_OBJECT
 public:
    explicit MsgBoxPlacement(QWidget* mainWindow);
    ~MsgBoxPlacement() override;

    void Arm();
    bool Armed() const { return armed_; }

 protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

 private:
    void Disarm();

    QPointer<QWidget> main_;
    bool armed_ = false;
};

}  // namespace tessel::shell
