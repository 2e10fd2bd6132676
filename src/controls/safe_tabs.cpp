// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/safe_tabs.h"

#include <QChildEvent>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

#include "controls/property_bag.h"
#include "controls/raster.h"
#include "controls/twips.h"
#include "text/vbstring.h"

namespace tessel::controls {

namespace {

constexpr int kSkinWidth = 80;
constexpr int kSkinHeight = 53;
constexpr OleColor kPanel = kWhite;
constexpr int kMaxTabs = 32767;

// Pixels of a top band (starting at row r) that lie outside its rounded
// corners and take the strip's BackColor.
constexpr int kCornerPixels[12][2] = {{0, 0},  {1, 0},  {2, 0},  {0, 1},  {1, 1},  {0, 2},
                                      {77, 0}, {78, 0}, {79, 0}, {78, 1}, {79, 1}, {79, 2}};

OleColor Mix(OleColor a, OleColor b, int num, int den) {
    auto ch = [&](int x, int y) { return x + (y - x) * num / den; };
    return Rgb(ch(RedOf(a), RedOf(b)), ch(GreenOf(a), GreenOf(b)), ch(BlueOf(a), BlueOf(b)));
}

// A top band: outline across row r from x 3 to 76, rounding through (2, r+1)
// and (1, r+2), straight sides at x 0 / 79 for rows r+3 .. r+h-1.
void TopBand(QImage& skin, int r, int h, const OleColor* interior) {
    const OleColor c = SafeTabs::kOutlineColor;
    for (int y = r + 1; y < r + h; ++y) FillRect(skin, 0, y, kSkinWidth, y + 1, interior[y - r - 1]);
    FillRect(skin, 3, r, 77, r + 1, c);
    SetPixel(skin, 2, r + 1, c);
    SetPixel(skin, 77, r + 1, c);
    SetPixel(skin, 1, r + 2, c);
    SetPixel(skin, 78, r + 2, c);
    for (int y = r + 3; y < r + h; ++y) {
        SetPixel(skin, 0, y, c);
        SetPixel(skin, 79, y, c);
    }
}

}  // namespace

SafeTabs::SafeTabs(QWidget* parent) : QWidget(parent), tabs_(3) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    BuildSkin();
    w_ = width();
    h_ = height();
    Refresh();
}

SafeTabs::~SafeTabs() = default;

void SafeTabs::BuildSkin() {
    skin_ = QImage(kSkinWidth, kSkinHeight, QImage::Format_RGB32);
    skin_.fill(Qt::white);
    // Rows 0-5: top of an inactive tab, near-white inside.
    const OleColor inactiveTop[5] = {Rgb(254, 254, 254), Rgb(254, 254, 254), Rgb(253, 253, 253),
                                     Rgb(253, 253, 253), Rgb(252, 252, 252)};
    TopBand(skin_, 0, 6, inactiveTop);
    // Rows 6-23: body of an inactive tab, 242 down to 240.
    for (int y = 6; y <= 23; ++y) {
        const int v = 242 - (y - 6) * 2 / 17;
        FillRect(skin_, 0, y, kSkinWidth, y + 1, Rgb(v, v, v));
    }
    // Rows 24-28: top of the active tab, a cyan band darkening downwards.
    const OleColor activeTop[4] = {Rgb(177, 221, 234), Rgb(158, 211, 227), Rgb(147, 206, 223),
                                   Rgb(136, 201, 219)};
    TopBand(skin_, 24, 5, activeTop);
    // Rows 29-52: body of the active tab, light blue fading to white at row 49.
    for (int y = 29; y <= 52; ++y) {
        const OleColor c = y >= 49 ? kWhite : Mix(Rgb(212, 234, 248), kWhite, y - 29, 20);
        FillRect(skin_, 0, y, kSkinWidth, y + 1, c);
    }
    for (int r : {0, 24})
        for (const auto& p : kCornerPixels) SetPixel(skin_, p[0], r + p[1], back_color_);
}

// ---------------------------------------------------------------------------
// Properties

bool SafeTabs::setTabCount(int n) {
    if (n < 1 || n > kMaxTabs) return false;
    if (n == TabCount()) return true;
    tabs_.resize(static_cast<size_t>(n));
    if (active_ > n - 1) {
        const int previous = active_;
        active_ = n - 1;
        emit TabSwitch(previous);
        ShiftContainedControls(previous);
    }
    Refresh();
    return true;
}

void SafeTabs::setActiveTab(int index) {
    const int clamped = std::clamp(index, 0, TabCount() - 1);
    if (clamped == active_) return;
    const int previous = active_;
    active_ = clamped;
    emit TabSwitch(previous);
    Refresh();
    ShiftContainedControls(previous);
}

QString SafeTabs::Caption() const { return tabs_[static_cast<size_t>(active_)].caption; }

void SafeTabs::setCaption(const QString& caption) {
    TabItem& tab = tabs_[static_cast<size_t>(active_)];
    tab.caption = caption;
    MeasureCaption(tab);
    Refresh();
}

void SafeTabs::setBackColor(OleColor c) {
    back_color_ = c;
    BuildSkin();
    Refresh();
}

void SafeTabs::setFontBlod(bool on) {
    font_blod_ = on;
    Refresh();
}

void SafeTabs::setFontItalic(bool on) {
    font_italic_ = on;
    Refresh();
}

QString SafeTabs::TabCaption(int index) const {
    return index >= 0 && index < TabCount() ? tabs_[static_cast<size_t>(index)].caption : QString();
}

int SafeTabs::TabWidth(int index) const {
    return index >= 0 && index < TabCount() ? tabs_[static_cast<size_t>(index)].width : 0;
}

int SafeTabs::TabTextOffset(int index) const {
    return index >= 0 && index < TabCount() ? tabs_[static_cast<size_t>(index)].text_offset : 0;
}

int SafeTabs::TabLeft(int index) const {
    int left = 1 + kTabGap;
    for (int j = 0; j < index && j < TabCount(); ++j) left += tabs_[static_cast<size_t>(j)].width + kTabGap;
    return left;
}

void SafeTabs::MeasureCaption(TabItem& tab) const {
    // The width the caption takes in the strip's font, in pixels, as an
    // auto-sizing label would report it.
    const double t = QFontMetricsF(font()).horizontalAdvance(tab.caption);
    tab.width = static_cast<int>(tessel::text::RoundHalfEven(t + kCaptionMargin));
    if (tab.width < kMinTabWidth) tab.width = kMinTabWidth;
    tab.text_offset = static_cast<int>(tessel::text::RoundHalfEven((tab.width - t) / 2));
}

void SafeTabs::LoadTabs(const QStringList& captions, int activeTab) {
    if (!setTabCount(std::max<int>(1, static_cast<int>(captions.size())))) return;
    for (int i = 0; i < captions.size() && i < TabCount(); ++i) {
        TabItem& tab = tabs_[static_cast<size_t>(i)];
        tab.caption = captions[i];
        MeasureCaption(tab);
    }
    // The stored active tab is taken as it is: the children of a loading
    // strip are created afterwards, already where that tab wants them.
    active_ = std::clamp(activeTab, 0, TabCount() - 1);
    Refresh();
}

// ---------------------------------------------------------------------------
// Children

SafeTabs::Child* SafeTabs::FindChild(QWidget* w) {
    for (auto& c : children_)
        if (c.widget == w) return &c;
    return nullptr;
}

SafeTabs::Child& SafeTabs::Adopt(QWidget* w) {
    if (Child* c = FindChild(w)) return *c;
    // Forget widgets that have been deleted or moved elsewhere.
    std::erase_if(children_,
                  [this](const Child& c) { return !c.widget || c.widget->parentWidget() != this; });
    children_.push_back(Child{w, PixelsToTwips(w->geometry())});
    return children_.back();
}

void SafeTabs::Place(const Child& c) {
    if (c.widget) c.widget->setGeometry(TwipsToPixels(c.twips));
}

void SafeTabs::AddTabChild(QWidget* child, int tab, const QRectF& homeTwips) {
    QRectF twips = homeTwips;
    twips.moveLeft(homeTwips.left() + static_cast<double>(active_ - tab) * kShiftTwips);
    AddChildTwips(child, twips);
}

void SafeTabs::AddChildTwips(QWidget* child, const QRectF& twips) {
    if (!child || child == this) return;
    if (child->parentWidget() != this) child->setParent(this);
    Child& c = Adopt(child);
    c.twips = twips;
    Place(c);
    child->show();
}

QRectF SafeTabs::ChildTwips(QWidget* child) {
    if (!child || child->parentWidget() != this) return {};
    return Adopt(child).twips;
}

void SafeTabs::SetChildTwips(QWidget* child, const QRectF& twips) {
    if (!child || child->parentWidget() != this) return;
    Child& c = Adopt(child);
    c.twips = twips;
    Place(c);
}

void SafeTabs::ShiftContainedControls(int previous) {
    // Every widget on the strip moves, including ones placed without our
    // help; the shift is computed in single precision like the form engine.
    const float delta = static_cast<float>(active_ - previous) * static_cast<float>(kShiftTwips);
    for (QObject* o : children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w->isWindow()) continue;
        Child& c = Adopt(w);
        // A child moved in pixels by its owner since we placed it: take its
        // new place as the truth.
        if (w->geometry() != TwipsToPixels(c.twips)) c.twips = PixelsToTwips(w->geometry());
        c.twips.moveLeft(static_cast<double>(static_cast<float>(c.twips.left()) + delta));
        Place(c);
    }
}

// ---------------------------------------------------------------------------
// Drawing

const QImage& SafeTabs::Surface() {
    if (surface_stale_ || w_ != width() || h_ != height()) Render();
    return surface_;
}

void SafeTabs::Refresh() {
    // Setting up a strip changes it several times before anyone sees it; the
    // pixels are drawn once, when they are needed.
    surface_stale_ = true;
    update();
}

void SafeTabs::Render() {
    w_ = width();
    h_ = height();
    surface_stale_ = false;
    const int W = w_, H = h_;
    if (W <= 0 || H <= 0) {
        surface_ = QImage();
        return;
    }
    constexpr int B = kHeaderBottom, A = kActiveTabHeight, I = kInactiveTabHeight, G = kTabGap;
    constexpr OleColor C = kOutlineColor;
    surface_ = QImage(W, H, QImage::Format_RGB32);
    surface_.fill(ToQColor(back_color_));
    FillRect(surface_, 0, B + 1, W - 1, H - 1, kPanel);

    // Bands are stretched with nearest-neighbour sampling, one source column
    // per destination column, so the corner pixels stay at both ends.
    auto stretch = [this](int srcTop, int rows, int left, int top, int w) {
        for (int dx = 0; dx < w; ++dx) {
            const int sx = static_cast<int>((2LL * dx + 1) * kSkinWidth / (2LL * w));
            for (int r = 0; r < rows; ++r)
                SetPixel(surface_, left + dx, top + r, FromQRgb(skin_.pixel(sx, srcTop + r)));
        }
    };

    struct CaptionJob {
        QString text;
        int x, y;
        bool bold, italic;
    };
    std::vector<CaptionJob> captions;
    int x = 1;
    for (int i = 0; i < TabCount(); ++i) {
        const TabItem& tab = tabs_[static_cast<size_t>(i)];
        const int w = tab.width;
        Line(surface_, x, B + 1, x + G, B + 1, C);
        const int left = x + G;
        if (i == active_) {
            stretch(24, 5, left, B - A + 1, w);
            stretch(29, A - 5, left, B - A + 6, w);
            Line(surface_, left, 6, left, B + 2, C);
            Line(surface_, left + w - 1, 6, left + w - 1, B + 2, C);
            Line(surface_, left + 1, B + 1, left + w - 1, B + 1, kWhite);
            captions.push_back({tab.caption, left + tab.text_offset, 12, font_blod_, false});
        } else {
            stretch(0, 6, left, B - I + 1, w);
            stretch(6, I - 6, left, B - I + 7, w);
            Line(surface_, left, 9, left, B + 1, C);
            Line(surface_, left, B + 1, left + w - 1, B + 1, C);
            Line(surface_, left + w - 1, B + 1, left + w - 1, 9, C);
            captions.push_back({tab.caption, left + tab.text_offset, 13, false, font_italic_});
        }
        x = left + w;
    }
    Line(surface_, x, B + 1, W - 1, B + 1, C);
    Line(surface_, W - 1, B + 1, W - 1, H - 1, C);
    Line(surface_, W - 1, H - 1, 0, H - 1, C);
    Line(surface_, 0, H - 1, 0, B, C);

    QPainter p(&surface_);
    p.setPen(palette().color(QPalette::WindowText));
    for (const CaptionJob& job : captions) {
        if (job.text.isEmpty()) continue;
        QFont f = font();
        f.setBold(job.bold);
        f.setItalic(job.italic);
        p.setFont(f);
        const QFontMetrics fm(f);
        p.drawText(QPoint(job.x, job.y + fm.ascent()), job.text);
    }
}

void SafeTabs::paintEvent(QPaintEvent* /*event*/) {
    Surface();
    QPainter p(this);
    if (surface_.isNull())
        p.fillRect(rect(), ToQColor(back_color_));
    else
        p.drawImage(0, 0, surface_);
}

void SafeTabs::resizeEvent(QResizeEvent* event) {
    w_ = event->size().width();
    h_ = event->size().height();
    Refresh();
}

void SafeTabs::changeEvent(QEvent* event) {
    // A new font changes nothing stored: the widths were measured when the
    // captions were set, as before.  Only the drawing is renewed.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) Refresh();
    QWidget::changeEvent(event);
}

// ---------------------------------------------------------------------------
// Mouse

int SafeTabs::HitTest(int x, int y) const {
    int left = 1 + kTabGap;
    for (int i = 0; i < TabCount(); ++i) {
        const int w = tabs_[static_cast<size_t>(i)].width;
        if (i != active_ && x >= left && x <= left + w - 1 && y >= kHitTop && y <= kHeaderBottom + 1)
            return i;
        left += w + kTabGap;
    }
    return -1;
}

void SafeTabs::mousePressEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    const int hit = HitTest(static_cast<int>(std::floor(pos.x())), static_cast<int>(std::floor(pos.y())));
    if (hit >= 0) setActiveTab(hit);
    QWidget::mousePressEvent(event);
}

// ---------------------------------------------------------------------------
// Stored properties

void SafeTabs::ReadProperties(const PropertyBag& bag) {
    bool ok = false;
    const int count = bag.ReadProperty(QStringLiteral("tabcount"), 3).toInt(&ok);
    // A broken count keeps the tabs we have rather than failing the load.
    if (ok) (void)setTabCount(count);
    for (int i = 0; i < TabCount(); ++i) {
        TabItem& tab = tabs_[static_cast<size_t>(i)];
        tab.caption = bag.ReadProperty(QStringLiteral("caption") + QString::number(i), QString()).toString();
        if (tab.caption.isEmpty()) {
            tab.width = kMinTabWidth;
            tab.text_offset = 0;
        } else {
            MeasureCaption(tab);
        }
    }
    active_ = std::clamp(bag.ReadProperty(QStringLiteral("ActiveTab"), 0).toInt(), 0, TabCount() - 1);
    setBackColor(bag.ReadProperty(QStringLiteral("backcolor"), kButtonFace).toUInt());
    setFontBlod(bag.ReadProperty(QStringLiteral("fontblod"), false).toBool());
    setFontItalic(bag.ReadProperty(QStringLiteral("fontitalic"), false).toBool());
}

void SafeTabs::WriteProperties(PropertyBag& bag) const {
    bag.WriteProperty(QStringLiteral("tabcount"), TabCount(), 3);
    for (int i = 0; i < TabCount(); ++i)
        bag.WriteProperty(QStringLiteral("caption") + QString::number(i),
                          tabs_[static_cast<size_t>(i)].caption, QString());
    bag.WriteProperty(QStringLiteral("ActiveTab"), active_, 0);
    bag.WriteProperty(QStringLiteral("backcolor"), back_color_, kButtonFace);
    bag.WriteProperty(QStringLiteral("fontblod"), font_blod_, false);
    bag.WriteProperty(QStringLiteral("fontitalic"), font_italic_, false);
}

}  // namespace tessel::controls
