// SPDX-License-Identifier: GPL-3.0-or-later
// Stored properties and per-style rules of the skinned button, as values.
#include "controls/sk_button_props.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "controls/property_bag.h"
#include "controls/raster.h"
#include "controls/sk_style_table.h"

namespace tessel::controls {
namespace {

TEST(ButtonStore, StoredValuesOutsideTheirRangeAreClampedAndUnreadableOnesTakeTheDefault) {
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("mode"), 7);
    bag.WriteProperty(QStringLiteral("PictureOpacity"), 300);
    bag.WriteProperty(QStringLiteral("ButtonStyle"), -4);
    bag.WriteProperty(QStringLiteral("CaptionAlign"), QStringLiteral("centre"));
    bag.WriteProperty(QStringLiteral("BackColor"), QStringLiteral("blue"));
    bag.WriteProperty(QStringLiteral("DropDownSymbol"), 46);  // no range: any digit string
    const StoredButton b = ReadButton(bag, QApplication::font());
    EXPECT_EQ(b.mode, 2);
    EXPECT_EQ(b.pictureOpacity, 255);
    EXPECT_EQ(b.style, 0);
    EXPECT_EQ(b.captionAlign, 1);
    EXPECT_EQ(b.backColor, kButtonFace);
    EXPECT_EQ(b.dropDownSymbol, 46);
    // Read defaults differ from a new button's where the stored form says so.
    EXPECT_EQ(b.pictureEffectOnOver, 1);
    EXPECT_EQ(b.pictureEffectOnDown, 2);
    EXPECT_EQ(b.foreColorHover, kButtonText);
    EXPECT_EQ(b.tooltipBackColor, SystemColor(kColorInfoBk));
    EXPECT_EQ(b.caption, QStringLiteral("skbutton1"));
    EXPECT_EQ(b.font, QApplication::font());
}

TEST(ButtonStore, AnUnsetPictureRemovesAnOlderRecordAndTheFontDefaultIsTheAmbientOne) {
    PropertyBag bag;
    QPixmap old(2, 2);
    old.fill(Qt::red);
    bag.WriteProperty(QStringLiteral("PictureHot"), old);
    StoredButton b = ReadButton(PropertyBag(), QApplication::font());
    QFont ambient = QApplication::font();
    ambient.setPointSize(ambient.pointSize() + 3);
    b.font = ambient;
    WriteButton(b, bag, ambient);
    EXPECT_FALSE(bag.Contains(QStringLiteral("PictureHot")));
    EXPECT_FALSE(bag.Contains(QStringLiteral("Font")));
    WriteButton(b, bag, QApplication::font());
    EXPECT_TRUE(bag.Contains(QStringLiteral("Font")));
}

TEST(ButtonStyles, PaletteColoursFollowTheirShiftRules) {
    // Two scheme colours are Shift steps of a base colour, written out.
    EXPECT_EQ(SchemeBackColor(3, 2), Shift(Rgb(212, 212, 212), 0.06f));
    EXPECT_EQ(SchemeBackColor(5, 2), Shift(Rgb(160, 158, 186), 0.15f));
    // Styles without a palette take the button face in every scheme.
    for (int style : {0, 1, 4, 6, 7, 11, 12, 13})
        for (int scheme = 0; scheme <= 2; ++scheme) EXPECT_EQ(SchemeBackColor(style, scheme), kButtonFace);
}

}  // namespace
}  // namespace tessel::controls
