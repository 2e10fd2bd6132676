// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// SafeTabs: a row of tabs across the top and a white panel below.  Every
// widget placed directly on the strip belongs to one tab and is kept in
// twips; switching tabs moves all of them horizontally by
// (new tab - previous tab) * 10000 twips, so only the active tab's widgets
// lie inside the visible area.  The strip draws itself, pixel by pixel, into
// a back buffer that paintEvent copies.
//
// Typical set-up of a four-page window:
//
//   auto* tabs = new SafeTabs(window);
//   tabs->setGeometry(...);                       // pixels, like any widget
//   tabs->LoadTabs({QStringLiteral("115网盘"), QStringLiteral("专链转换"),
//                   QStringLiteral("在线视频"), QStringLiteral("关于")});  // tab 0 active
//   tabs->setBackColor(Rgb(255, 255, 255));
//   for (int i = 0; i < 4; ++i)
//     tabs->AddTabChild(page[i], i, QRectF(80, 400, 6000, 4000));  // home twips
//   connect(tabs, &SafeTabs::TabSwitch, ...);
//
// AddTabChild takes the page's home rectangle (where it shows while its tab
// is active) and places it at home.left + (ActiveTab - tab) * 10000.  A
// caller that already has the stored coordinates for the current ActiveTab
// (tab 1 at -9920 while tab 0 is active, ...) uses AddChildTwips instead.
// A widget that is parented to the strip without either call is adopted at
// its first move, its pixel geometry taken as its twips * 15; so is a child
// that its owner has moved in pixels since the strip last placed it.

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

#include "controls/ole_color.h"

class QPainter;

namespace tessel::controls {

class PropertyBag;

class SafeTabs : public QWidget {
    Q_OBJECT

 public:
    // Geometry of the drawing, in pixels.
    static constexpr int kActiveTabHeight = 29;
    static constexpr int kInactiveTabHeight = 24;
    static constexpr int kTabGap = 4;
    static constexpr int kHeaderBottom = 29;
    static constexpr int kMinTabWidth = 80;
    static constexpr int kCaptionMargin = 12;
    static constexpr int kHitTop = 9;
    static constexpr int kShiftTwips = 10000;
    static constexpr OleColor kOutlineColor = Rgb(174, 218, 231);

    // A new strip: three tabs with empty captions, tab 0 active, white
    // BackColor, FontBlod and FontItalic off.
    explicit SafeTabs(QWidget* parent = nullptr);
    ~SafeTabs() override;

    // --- properties --------------------------------------------------------
    int TabCount() const { return static_cast<int>(tabs_.size()); }
    // Resizes the tab list (new tabs: empty caption, width 80); when the active
    // tab falls off the end, the last tab becomes active, TabSwitch(previous)
    // is raised and the children move.  Refuses n < 1 (and n > 32767) and
    // returns false, changing nothing.  Setting the current count does nothing.
    [[nodiscard]] bool setTabCount(int n);

    int ActiveTab() const { return active_; }
    // Clamped to 0 .. TabCount-1.  When the index changes: TabSwitch(previous)
    // is raised (ActiveTab already holds the new index), then the strip is
    // redrawn and the children move.  The same index does nothing.
    void setActiveTab(int index);

    // Caption of the ACTIVE tab.  Setting it measures it: Width =
    // max(80, t + 12), TextOffset = (Width - t) / 2, rounded half to even.
    QString Caption() const;
    void setCaption(const QString& caption);

    OleColor BackColor() const { return back_color_; }
    void setBackColor(OleColor c);

    bool FontBlod() const { return font_blod_; }
    void setFontBlod(bool on);
    bool FontItalic() const { return font_italic_; }
    void setFontItalic(bool on);

    // Per-tab data (read-only views; a tab's caption is set by making it
    // active, or through LoadTabs / ReadProperties).
    QString TabCaption(int index) const;
    int TabWidth(int index) const;
    int TabTextOffset(int index) const;
    // The rectangle tab i is drawn in: from its left edge, 5 + the sum over
    // j < i of (width j + 4), across its width; from row 1 (the active tab)
    // or 6 down to the baseline row 30.  Drawing, hit test and size hint all
    // place the tabs by it.
    QRect TabRect(int index) const;
    int TabLeft(int index) const { return TabRect(index).left(); }

    // The initial set-up in one call, the way a stored strip loads: the count
    // becomes captions.size() (at least 1), every caption is measured, and
    // `activeTab` (clamped) becomes active without an event and without moving
    // anything.  Children added afterwards with AddTabChild land where they
    // belong.
    void LoadTabs(const QStringList& captions, int activeTab = 0);

    // --- children ---------------------------------------------------------
    // Reparents `child` to the strip as a widget of tab `tab` whose home
    // rectangle (while that tab is active) is `homeTwips`; it is placed at
    // homeTwips.left + (ActiveTab - tab) * 10000 twips and shown.
    void AddTabChild(QWidget* child, int tab, const QRectF& homeTwips);
    // Reparents `child` with its CURRENT coordinates in twips (the stored
    // form: for the active tab 0, the widget of tab 1 at left -9920, ...).
    void AddChildTwips(QWidget* child, const QRectF& twips);
    // The child's current rectangle in twips (adopting it if needed); an empty
    // rectangle for a widget that is not a child of the strip.
    QRectF ChildTwips(QWidget* child);

    // --- methods ----------------------------------------------------------
    // Marks the back buffer stale and schedules a repaint; the strip is drawn
    // again before it is next painted or its buffer is read.
    void Refresh();
    // The whole strip (W x H pixels at the widget's device pixel ratio), as
    // a paint shows it, redrawn first when a redraw is pending or the size or
    // ratio changed (a hidden widget gets no resize event).
    const QImage& Surface();
    // The strip drawn for a screen of another device pixel ratio.
    QImage RenderAt(qreal ratio) const;
    // The 80 x 53 template with the corner pixels in the current BackColor.
    const QImage& Skin() const { return skin_; }
    // Index of the inactive tab hit at (x, y) pixels, or -1.
    int HitTest(int x, int y) const;

    // Stored properties: "tabcount", "caption0".., "ActiveTab", "backcolor",
    // "fontblod", "fontitalic" in that order.
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // Wide enough for every tab and the panel's border.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

 signals:
    void TabSwitch(int PreviousTab);

 protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // With the keyboard focus, the arrows (and Home, End) choose the tab.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

 private:
    struct TabItem {
        QString caption;
        // Measured when first asked for, in the font the caption was set in:
        // the first text measure loads the font, which a window being built
        // need not wait for before it is shown.
        QFont font;
        mutable bool measured = true;
        mutable int width = kMinTabWidth;
        mutable int text_offset = 0;
    };
    struct Child {
        QPointer<QWidget> widget;
        QRectF twips;
    };

    // Keeps the strip's font for the tab's caption, to be measured in.
    void MeasureLater(TabItem& tab) const;
    const TabItem& Measured(int index) const;
    void ShiftContainedControls(int previous);
    Child* FindChild(QWidget* w);
    Child& Adopt(QWidget* w);
    void Place(const Child& c);
    static QImage BuildSkin(OleColor back, qreal ratio);
    // The strip, or its top `rows` logical rows (drawn for the full height
    // and cut there).
    QImage Render(qreal ratio, int rows = -1) const;
    // Logical rows from the top that hold more than the plain panel: the
    // tabs, the baseline and any caption reaching below it.
    int BandRows() const;
    // What a paint shows above the plain panel, kept between paints.
    const QImage& Band();
    // The panel from device row `top` down, inside its outline, device pixel
    // for device pixel what Render gives it.
    void PaintPanel(QPainter& p, int top) const;

    std::vector<TabItem> tabs_;
    int active_ = 0;
    OleColor back_color_ = kWhite;
    bool font_blod_ = false;
    bool font_italic_ = false;
    QImage skin_;
    // Drawn when asked for and kept until the strip changes.  A paint keeps
    // only the band above the panel: the rest is plain colour, and a whole
    // strip kept at rest would be 400 KiB for nothing.
    struct Cached {
        QImage image;
        bool stale = true;
        QSize size;  // the size and ratio it was drawn for
        qreal ratio = 0;
    };
    Cached surface_;
    Cached band_;
    std::vector<Child> children_;
};

}  // namespace tessel::controls
