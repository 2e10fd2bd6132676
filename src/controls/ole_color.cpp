// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ole_color.h"

#include <QGuiApplication>
#include <QPalette>

namespace tessel::controls {

namespace {

// The window system's colour indices mapped onto the palette roles that
// play the same part here.
bool SystemRole(int index, QPalette::ColorGroup* group, QPalette::ColorRole* role) {
    *group = QPalette::Active;
    switch (index) {
        case 0:
            *role = QPalette::Dark;
            return true;  // scroll bar
        case 1:
            *role = QPalette::Window;
            return true;  // desktop
        case 2:
            *role = QPalette::Highlight;
            return true;  // active caption
        case 3:
            *role = QPalette::Mid;
            return true;  // inactive caption
        case 4:
            *role = QPalette::Window;
            return true;  // menu
        case 5:
            *role = QPalette::Base;
            return true;  // window
        case 6:
            *role = QPalette::Shadow;
            return true;  // window frame
        case 7:
            *role = QPalette::WindowText;
            return true;  // menu text
        case 8:
            *role = QPalette::Text;
            return true;  // window text
        case 9:
            *role = QPalette::HighlightedText;
            return true;  // caption text
        case 10:
            *role = QPalette::Button;
            return true;  // active border
        case 11:
            *role = QPalette::Button;
            return true;  // inactive border
        case kColorAppWorkspace:
            *role = QPalette::Dark;
            return true;
        case 13:
            *role = QPalette::Highlight;
            return true;
        case 14:
            *role = QPalette::HighlightedText;
            return true;
        case kColorBtnFace:
            *role = QPalette::Button;
            return true;
        case 16:
            *role = QPalette::Dark;
            return true;  // button shadow
        case kColorGrayText:
            *group = QPalette::Disabled;
            *role = QPalette::WindowText;
            return true;
        case kColorBtnText:
            *role = QPalette::ButtonText;
            return true;
        case 19:
            *role = QPalette::WindowText;
            return true;  // inactive caption text
        case 20:
            *role = QPalette::Light;
            return true;  // button highlight
        case 21:
            *role = QPalette::Shadow;
            return true;  // 3D dark shadow
        case 22:
            *role = QPalette::Midlight;
            return true;  // 3D light
        case 23:
            *role = QPalette::ToolTipText;
            return true;
        case kColorInfoBk:
            *role = QPalette::ToolTipBase;
            return true;
        case 26:
            *role = QPalette::Link;
            return true;  // hot-tracked item
        case 27:
            *role = QPalette::Highlight;
            return true;  // gradient active caption
        case 28:
            *role = QPalette::Mid;
            return true;  // gradient inactive caption
        case 29:
            *role = QPalette::Highlight;
            return true;  // menu highlight
        case 30:
            *role = QPalette::Window;
            return true;  // menu bar
        default:
            return false;
    }
}

}  // namespace

qint64 TranslateColor(OleColor c) {
    if ((c & 0x80000000u) != 0) {
        QPalette::ColorGroup group;
        QPalette::ColorRole role;
        if ((c & 0x7FFF0000u) != 0 || !SystemRole(static_cast<int>(c & 0xFFFF), &group, &role)) return -1;
        return FromQColor(QGuiApplication::palette().color(group, role));
    }
    if ((c & 0xFF000000u) != 0) return -1;
    return c;
}

QColor ToQColor(OleColor c) {
    const qint64 t = TranslateColor(c);
    const OleColor v = t < 0 ? 0xFFFFFFu : static_cast<OleColor>(t);
    return QColor(RedOf(v), GreenOf(v), BlueOf(v));
}

OleColor FromQColor(const QColor& c) { return Rgb(c.red(), c.green(), c.blue()); }

}  // namespace tessel::controls
