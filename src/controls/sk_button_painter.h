// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Drawing of a skinned button from a snapshot of its look: one routine that
// paints the whole button.  Each look draws its background, then the content
// (caption, picture, drop-down parts), then its frame lines.

#include <QImage>

#include "controls/ole_color.h"
#include "controls/sk_button_layout.h"

namespace tessel::controls {

// The button as `look` describes it, in a buffer of look.size pixels for a
// screen of device pixel ratio `ratio`.
QImage PaintButton(const ButtonLook& look, qreal ratio = 1.0);

// The content of the button, drawn by every look between its background and
// its frame lines.  `back` is the translated back colour.
void PaintContent(QImage& img, const ButtonLook& look, const ContentBoxes& boxes, OleColor back);

}  // namespace tessel::controls
