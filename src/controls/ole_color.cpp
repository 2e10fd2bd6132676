// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ole_color.h"

#include <QGuiApplication>
#include <QPalette>
#include <iterator>

namespace tessel::controls {

namespace {

struct PaletteEntry {
    QPalette::ColorRole role;
    QPalette::ColorGroup group = QPalette::Active;
};

// The window system's colour indices 0 to 30 mapped onto the palette roles
// that play the same part here.
constexpr PaletteEntry kSystemColors[] = {
    {QPalette::Dark},                            // 0 scroll bar
    {QPalette::Window},                          // 1 desktop
    {QPalette::Highlight},                       // 2 active caption
    {QPalette::Mid},                             // 3 inactive caption
    {QPalette::Window},                          // 4 menu
    {QPalette::Base},                            // 5 window
    {QPalette::Shadow},                          // 6 window frame
    {QPalette::WindowText},                      // 7 menu text
    {QPalette::Text},                            // 8 window text
    {QPalette::HighlightedText},                 // 9 caption text
    {QPalette::Button},                          // 10 active border
    {QPalette::Button},                          // 11 inactive border
    {QPalette::Dark},                            // 12 application workspace
    {QPalette::Highlight},                       // 13 highlight
    {QPalette::HighlightedText},                 // 14 highlighted text
    {QPalette::Button},                          // 15 button face
    {QPalette::Dark},                            // 16 button shadow
    {QPalette::WindowText, QPalette::Disabled},  // 17 grey text
    {QPalette::ButtonText},                      // 18 button text
    {QPalette::WindowText},                      // 19 inactive caption text
    {QPalette::Light},                           // 20 button highlight
    {QPalette::Shadow},                          // 21 3D dark shadow
    {QPalette::Midlight},                        // 22 3D light
    {QPalette::ToolTipText},                     // 23 tool tip text
    {QPalette::ToolTipBase},                     // 24 tool tip background
    {QPalette::NoRole},                          // 25 names no colour
    {QPalette::Link},                            // 26 hot-tracked item
    {QPalette::Highlight},                       // 27 gradient active caption
    {QPalette::Mid},                             // 28 gradient inactive caption
    {QPalette::Highlight},                       // 29 menu highlight
    {QPalette::Window},                          // 30 menu bar
};

bool SystemRole(int index, QPalette::ColorGroup* group, QPalette::ColorRole* role) {
    if (index < 0 || index >= static_cast<int>(std::size(kSystemColors))) return false;
    const PaletteEntry& entry = kSystemColors[index];
    if (entry.role == QPalette::NoRole) return false;
    *group = entry.group;
    *role = entry.role;
    return true;
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
