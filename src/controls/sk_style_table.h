// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What each of the fourteen button looks (ButtonStyle 0-13) implies: the
// routine that draws it, the window shape, whether the content moves when
// pressed, the defaults a newly chosen style applies, and for the gradient
// looks 3-10 their palette.  Every rule that depends on the style reads this
// one table.

#include <array>
#include <cstdint>

#include "controls/ole_color.h"

namespace tessel::controls {

enum class StyleFamily : std::uint8_t {
    Classic,   // 0, 1, 11, 12: flat fill and three-dimensional edges
    Glossy,    // 2 (and 13, which is drawn as 2 here)
    Gradient,  // 3-10: in the manner of style 2, each with its own palette
};

// The window shape: a rectangle, or a rounded rectangle whose corner
// ellipse (3 x 3 or 4 x 4) cuts one or three pixels from each corner.
enum class StyleShape : std::uint8_t { Rect, Round3, Round4 };

// The colour scheme a newly chosen style takes.
enum class SchemeRule : std::uint8_t { Zero, Two, Keep };

// Palette of a gradient look, as Shift steps of the back colour.
struct GradientLook {
    bool glossy;     // two halves (light top, darker bottom) instead of one ramp
    float top;       // ramp start (glossy: top half start)
    float bottom;    // ramp end (glossy: bottom half end)
    float frame;     // outer frame = Shift(back, frame)
    bool orangeHot;  // the warm hot frame of style 2, else a lighter own frame
    bool flat;       // no frame or relief until hot or pressed
};

struct StyleTraits {
    StyleFamily family;
    StyleShape shape;
    bool contentMoves;             // caption, picture and symbol move (1, 1) when Down
    bool symbolMovesAgain;         // the drop-down symbol moves once more when Down
    bool selectedShowsDown;        // a check/option button with Value True is drawn Down
    bool showFocusRect;            // ShowFocusRect after choosing the style
    bool picturePushOnHover;       // forced on when the style is chosen
    bool lightFrameCorners;        // gradient looks: corner pixels Shift(frame, 0.3)
    SchemeRule scheme;             // ColorScheme after choosing the style
    bool schemePalette;            // false: every scheme takes the button face
    std::array<OleColor, 3> back;  // BackColor of schemes 0, 1, 2
    GradientLook look;
};

namespace style_detail {
constexpr GradientLook kNoLook{false, 0, 0, 0, false, false};
constexpr std::array<OleColor, 3> kFace{kButtonFace, kButtonFace, kButtonFace};
}  // namespace style_detail

// clang-format off
inline constexpr std::array<StyleTraits, 14> kStyleTraits = {{
    // family                shape               moves  sym2   selDn  focus  push   light  scheme            palette back                                                              look
    {StyleFamily::Classic,  StyleShape::Rect,   true,  true,  false, true,  false, false, SchemeRule::Zero, false, style_detail::kFace,                                                  style_detail::kNoLook},  // 0
    {StyleFamily::Classic,  StyleShape::Rect,   true,  true,  true,  true,  false, false, SchemeRule::Zero, false, style_detail::kFace,                                                  style_detail::kNoLook},  // 1
    {StyleFamily::Glossy,   StyleShape::Round3, false, false, true,  false, false, false, SchemeRule::Zero, true,  {Rgb(236, 235, 231), Rgb(243, 238, 219), Rgb(240, 241, 252)},         style_detail::kNoLook},  // 2
    // 3 scheme 2 is Shift(RGB(212, 212, 212), 0.06); 5 scheme 2 is Shift(RGB(160, 158, 186), 0.15).
    {StyleFamily::Gradient, StyleShape::Round3, false, false, true,  false, false, true,  SchemeRule::Two,  true,  {Rgb(224, 236, 253), Rgb(232, 237, 222), Rgb(227, 227, 227)},         {true, 0.12f, 0.04f, -0.45f, true, false}},    // 3
    {StyleFamily::Gradient, StyleShape::Rect,   false, false, true,  false, true,  false, SchemeRule::Zero, false, style_detail::kFace,                                                  {false, 0.06f, -0.02f, -0.30f, false, true}},  // 4
    {StyleFamily::Gradient, StyleShape::Rect,   true,  false, true,  false, false, false, SchemeRule::Keep, true,  {Rgb(202, 225, 252), Rgb(212, 214, 186), Rgb(198, 196, 224)},         {false, 0.12f, -0.04f, -0.50f, true, false}},  // 5
    {StyleFamily::Gradient, StyleShape::Round4, true,  true,  false, false, false, true,  SchemeRule::Zero, false, style_detail::kFace,                                                  {true, 0.16f, -0.02f, -0.55f, false, false}},  // 6
    {StyleFamily::Gradient, StyleShape::Round3, true,  true,  true,  false, false, true,  SchemeRule::Zero, false, style_detail::kFace,                                                  {false, 0.10f, -0.05f, -0.45f, false, false}}, // 7
    {StyleFamily::Gradient, StyleShape::Rect,   false, false, true,  false, false, false, SchemeRule::Zero, true,  {Rgb(173, 209, 255), Rgb(212, 214, 186), Rgb(224, 223, 227)},         {true, 0.14f, 0.03f, -0.40f, false, false}},   // 8
    {StyleFamily::Gradient, StyleShape::Round3, false, false, true,  true,  false, true,  SchemeRule::Two,  true,  {Rgb(173, 209, 255), Rgb(212, 214, 186), Rgb(213, 214, 225)},         {false, 0.09f, -0.06f, -0.55f, true, false}},  // 9
    {StyleFamily::Gradient, StyleShape::Round4, true,  false, true,  false, false, true,  SchemeRule::Zero, true,  {Rgb(173, 209, 255), Rgb(212, 214, 186), Rgb(224, 223, 227)},         {true, 0.25f, 0.00f, -0.50f, false, false}},   // 10
    {StyleFamily::Classic,  StyleShape::Rect,   true,  true,  true,  false, false, false, SchemeRule::Keep, false, style_detail::kFace,                                                  style_detail::kNoLook},  // 11
    {StyleFamily::Classic,  StyleShape::Rect,   true,  true,  true,  false, false, false, SchemeRule::Keep, false, style_detail::kFace,                                                  style_detail::kNoLook},  // 12
    // 13 follows the desktop theme; without a theme engine it becomes style 2
    // at its first drawing, so until then it has style 2's shape.
    {StyleFamily::Glossy,   StyleShape::Round3, false, false, true,  false, false, false, SchemeRule::Keep, false, style_detail::kFace,                                                  style_detail::kNoLook},  // 13
}};
// clang-format on

inline constexpr int kLastStyle = static_cast<int>(kStyleTraits.size()) - 1;

constexpr const StyleTraits& Traits(int style) {
    return kStyleTraits[static_cast<std::size_t>(style < 0 || style > kLastStyle ? 2 : style)];
}

// The BackColor a style gives colour scheme 0-2 (scheme 3 is the user's own
// colour and has none).
constexpr OleColor SchemeBackColor(int style, int scheme) {
    const StyleTraits& t = Traits(style);
    if (!t.schemePalette) return kButtonFace;
    return t.back[static_cast<std::size_t>(scheme < 0 ? 0 : scheme > 2 ? 2 : scheme)];
}

}  // namespace tessel::controls
