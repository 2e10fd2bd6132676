// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where the caption, the picture and the drop-down symbol of a skinned button
// go, computed from a snapshot of the button alone.  The painter draws into
// these boxes, the size hint asks them what the content needs, and the
// button answers questions about its caption and picture from them.

#include <QRect>
#include <QSize>

#include "controls/sk_button_props.h"

namespace tessel::controls {

// Everything the look of a button depends on, taken at one moment.
struct ButtonLook {
    StoredButton props;
    SkState state = SkState::Normal;
    bool hasFocus = false;
    bool parentActive = false;
    bool displayAsDefault = false;
    QSize size;
};

// The state a button is drawn in: a selected check or option button shows
// its Down look in every style except 0 and 6.
SkState DrawnState(const ButtonLook& look);

// The picture for the drawn state (a null picture when there is none).
const QPixmap& CurrentPicture(const ButtonLook& look);

bool HasDropDownPart(const ButtonProps& p);

// Text layout of the caption: centred lines, broken at words and ideographs,
// "&" marking the access key.
int CaptionTextFlags();

struct ContentBoxes {
    // Caption box edges, right and bottom excluded (they may cross: a caption
    // pushed aside by a picture keeps its width in the box's arithmetic).
    int left = 0, top = 0, right = 0, bottom = 0;
    QRect picture;       // empty without a picture
    QRect symbol;        // the drop-down symbol's box, empty without one
    bool moved = false;  // everything moved (1, 1) for the pressed look

    QRect Caption() const { return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)); }
};

ContentBoxes LayoutContent(const ButtonLook& look);

// The size that shows the caption on one line beside its picture and
// drop-down part, never below the classic 75 x 23.
QSize ContentSizeHint(const ButtonLook& look);

}  // namespace tessel::controls
