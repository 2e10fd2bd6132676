// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The skinned button's properties as plain values, and their stored form:
// one table of key, member, default and limits that both reading and
// writing walk, each in its own fixed order.

#include <QFont>
#include <QPixmap>
#include <QString>
#include <array>
#include <cstdint>
#include <string_view>
#include <variant>

#include "controls/ole_color.h"
#include "controls/sk_style_table.h"

namespace tessel::controls {

class PropertyBag;

// The visual state of a button.
enum class SkState { Normal = 0, Hot = 1, Down = 2 };

// The properties the button keeps itself.  The values are those of a freshly
// placed button; the stored defaults are in the table below.
struct ButtonProps {
    int style = 13;
    int scheme = 0;
    OleColor backColor = kButtonFace;
    OleColor foreColor = kButtonText;
    OleColor foreColorHover = kBlack;
    bool showFocusRect = false;
    int captionAlign = 1;  // 0 left, 1 centre, 2 right
    int captionEffects = 0;
    bool rightToLeft = false;
    int mode = 0;  // 0 push, 1 check, 2 option
    QPixmap pictureNormal, pictureHot, pictureDown;
    int pictureAlign = 1;
    bool pictureShadow = false;
    int pictureOpacity = 255;
    int pictureOpacityOnOver = 255;
    int disabledPictureMode = 0;
    bool picturePushOnHover = false;
    int pictureEffectOnOver = 0;
    int pictureEffectOnDown = 0;
    OleColor maskColor = Rgb(224, 224, 224);
    bool useMaskColor = true;
    int dropDownSymbol = 0;
    bool dropDownSeparator = false;
    int mousePointer = 0;
    bool handPointer = false;
    QPixmap mouseIcon;
    QString toolTip;
    QString tooltipTitle;
    int toolTipIcon = 0;
    int toolTipType = 0;
    OleColor tooltipBackColor = 0;  // 0: the platform's tooltip colour
};

// Everything one stored button holds: its own properties and the four that
// Qt's button keeps for it (text, enabled, font, checked).
struct StoredButton : ButtonProps {
    QString caption;
    bool enabled = true;
    QFont font;
    bool value = false;
};

namespace button_store {

using Field = std::variant<int StoredButton::*, bool StoredButton::*, OleColor StoredButton::*,
                           QString StoredButton::*, QPixmap StoredButton::*, QFont StoredButton::*>;

struct Row {
    const char* key;
    Field field;
    std::int64_t def;  // numbers, Booleans and colours; pictures: none; font: the ambient font
    const char* text;  // text default
    int lo, hi;        // limits of an enumeration (lo > hi: none)
    bool always;       // written even when it equals its default
    int readAt;        // position in the reading order
};

template <class T>
constexpr Field F(T StoredButton::*m) {
    return m;
}

constexpr int kNone = -1;
constexpr std::int64_t kTipBack = static_cast<std::int64_t>(SystemColor(kColorInfoBk));

// In the writing order; readAt gives the reading order.
// clang-format off
inline constexpr std::array<Row, 37> kRows = {{
    {"ButtonStyle",          F<int>(&StoredButton::style),                1,            "",          0, kLastStyle, false, 0},
    {"ShowFocusRect",        F<bool>(&StoredButton::showFocusRect),       0,            "",          0, kNone, false, 1},
    {"Enabled",              F<bool>(&StoredButton::enabled),             1,            "",          0, kNone, false, 4},
    {"Font",                 F<QFont>(&StoredButton::font),               0,            "",          0, kNone, false, 2},
    {"BackColor",            F<OleColor>(&StoredButton::backColor),       kButtonFace,  "",          0, kNone, false, 3},
    {"Caption",              F<QString>(&StoredButton::caption),          0,            "skbutton1", 0, kNone, false, 5},
    {"ForeColor",            F<OleColor>(&StoredButton::foreColor),       kButtonText,  "",          0, kNone, false, 26},
    {"ForeColorHover",       F<OleColor>(&StoredButton::foreColorHover),  kButtonText,  "",          0, kNone, false, 27},
    {"Mode",                 F<int>(&StoredButton::mode),                 0,            "",          0, 2,     false, 23},
    {"Value",                F<bool>(&StoredButton::value),               0,            "",          0, kNone, false, 6},
    {"MousePointer",         F<int>(&StoredButton::mousePointer),         0,            "",          0, kNone, false, 7},
    {"HandPointer",          F<bool>(&StoredButton::handPointer),         0,            "",          0, kNone, false, 8},
    {"MouseIcon",            F<QPixmap>(&StoredButton::mouseIcon),        0,            "",          0, kNone, false, 9},
    {"PictureNormal",        F<QPixmap>(&StoredButton::pictureNormal),    0,            "",          0, kNone, false, 10},
    {"PictureHot",           F<QPixmap>(&StoredButton::pictureHot),       0,            "",          0, kNone, false, 11},
    {"PictureDown",          F<QPixmap>(&StoredButton::pictureDown),      0,            "",          0, kNone, false, 12},
    {"PictureAlign",         F<int>(&StoredButton::pictureAlign),         1,            "",          0, 8,     false, 24},
    {"PictureEffectOnOver",  F<int>(&StoredButton::pictureEffectOnOver),  1,            "",          0, kNone, false, 18},
    {"PictureEffectOnDown",  F<int>(&StoredButton::pictureEffectOnDown),  2,            "",          0, kNone, false, 19},
    {"PicturePushOnHover",   F<bool>(&StoredButton::picturePushOnHover),  0,            "",          0, kNone, false, 17},
    {"PictureShadow",        F<bool>(&StoredButton::pictureShadow),       0,            "",          0, kNone, false, 13},
    {"PictureOpacity",       F<int>(&StoredButton::pictureOpacity),       255,          "",          0, 255,   false, 14},
    {"PictureOpacityOnOver", F<int>(&StoredButton::pictureOpacityOnOver), 255,          "",          0, 255,   false, 15},
    {"DisabledPictureMode",  F<int>(&StoredButton::disabledPictureMode),  0,            "",          0, 1,     false, 16},
    {"CaptionEffects",       F<int>(&StoredButton::captionEffects),       0,            "",          0, 5,     true,  22},
    {"UseMaskColor",         F<bool>(&StoredButton::useMaskColor),        1,            "",          0, kNone, false, 21},
    {"MaskColor",            F<OleColor>(&StoredButton::maskColor),       Rgb(224, 224, 224), "",    0, kNone, false, 20},
    {"CaptionAlign",         F<int>(&StoredButton::captionAlign),         1,            "",          0, 2,     false, 25},
    {"ToolTip",              F<QString>(&StoredButton::toolTip),          0,            "",          0, kNone, false, 30},
    {"TooltipType",          F<int>(&StoredButton::toolTipType),          0,            "",          0, 1,     false, 32},
    {"TooltipIcon",          F<int>(&StoredButton::toolTipIcon),          0,            "",          0, 3,     false, 31},
    {"TooltipTitle",         F<QString>(&StoredButton::tooltipTitle),     0,            "",          0, kNone, false, 29},
    {"TooltipBackColor",     F<OleColor>(&StoredButton::tooltipBackColor), kTipBack,    "",          0, kNone, false, 33},
    {"RightToLeft",          F<bool>(&StoredButton::rightToLeft),         0,            "",          0, kNone, false, 34},
    {"DropDownSymbol",       F<int>(&StoredButton::dropDownSymbol),       0,            "",          0, kNone, false, 35},
    {"DropDownSeparator",    F<bool>(&StoredButton::dropDownSeparator),   0,            "",          0, kNone, false, 28},
    {"ColorScheme",          F<int>(&StoredButton::scheme),               0,            "",          0, 3,     false, 36},
}};
// clang-format on

// The rows in reading order.
std::array<const Row*, kRows.size()> ReadingOrder();

// The row of a key (exact spelling), or nullptr.
const Row* Find(std::string_view key);

// `v` within the limits of the key's row (unchanged when it has none).
int Clamp(std::string_view key, int v);

}  // namespace button_store

// Reads every key in the reading order; a missing or unreadable value takes
// the key's default (the ambient font for "Font").  Values are taken as
// stored: no style or scheme rule is applied.
StoredButton ReadButton(const PropertyBag& bag, const QFont& ambient);
// Writes every key in the writing order, omitting values equal to their
// default; a picture that is not set removes an older record of its key.
void WriteButton(const StoredButton& b, PropertyBag& bag, const QFont& ambient);

}  // namespace tessel::controls
