// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/safe_tabs.h"

#include <QChildEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
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
    // Reached with Tab like Qt's tab bar; a click on a tab does not take the
    // focus from the text box being typed in.
    setFocusPolicy(Qt::TabFocus);
    skin_ = BuildSkin(back_color_, 1.0);
    Refresh();
}

SafeTabs::~SafeTabs() = default;

QImage SafeTabs::BuildSkin(OleColor back, qreal ratio) {
    QImage skin = MakeBuffer(kSkinWidth, kSkinHeight, ratio, kWhite);
    // Rows 0-5: top of an inactive tab, near-white inside.
    const OleColor inactiveTop[5] = {Rgb(254, 254, 254), Rgb(254, 254, 254), Rgb(253, 253, 253),
                                     Rgb(253, 253, 253), Rgb(252, 252, 252)};
    TopBand(skin, 0, 6, inactiveTop);
    // Rows 6-23: body of an inactive tab, 242 down to 240.
    Gradient(skin, 0, 6, kSkinWidth, 18, Rgb(242, 242, 242), Rgb(240, 240, 240));
    // Rows 24-28: top of the active tab, a cyan band darkening downwards.
    const OleColor activeTop[4] = {Rgb(177, 221, 234), Rgb(158, 211, 227), Rgb(147, 206, 223),
                                   Rgb(136, 201, 219)};
    TopBand(skin, 24, 5, activeTop);
    // Rows 29-52: body of the active tab, light blue fading to white at row 49.
    Gradient(skin, 0, 29, kSkinWidth, 21, Rgb(212, 234, 248), kWhite);
    for (int r : {0, 24})
        for (const auto& p : kCornerPixels) SetPixel(skin, p[0], r + p[1], back);
    return skin;
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
    MeasureLater(tab);
    Refresh();
}

void SafeTabs::setBackColor(OleColor c) {
    if (c == back_color_ && !skin_.isNull()) return;  // the skin is drawn for it already
    back_color_ = c;
    skin_ = BuildSkin(back_color_, 1.0);
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
    return index >= 0 && index < TabCount() ? Measured(index).width : 0;
}

int SafeTabs::TabTextOffset(int index) const {
    return index >= 0 && index < TabCount() ? Measured(index).text_offset : 0;
}

QRect SafeTabs::TabRect(int index) const {
    int left = 1 + kTabGap;
    for (int j = 0; j < index && j < TabCount(); ++j) left += Measured(j).width + kTabGap;
    const int top =
        index == active_ ? kHeaderBottom - kActiveTabHeight + 1 : kHeaderBottom - kInactiveTabHeight + 1;
    return QRect(QPoint(left, top), QPoint(left + TabWidth(index) - 1, kHeaderBottom + 1));
}

QSize SafeTabs::minimumSizeHint() const {
    // The last tab, the baseline after it and the panel's right border.
    return QSize(TabRect(TabCount() - 1).right() + 2, kHeaderBottom + 3);
}

QSize SafeTabs::sizeHint() const {
    // The tabs, and the panel around the page that is shown (the other pages
    // lie far to the left or right).
    QRect shown;
    for (QObject* o : children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w && !w->isWindow() && w->x() >= 0 && w->x() < kShiftTwips / kTwipsPerPixel)
            shown |= w->geometry();
    }
    const QSize panel = shown.isEmpty() ? QSize() : QSize(shown.right() + 2, shown.bottom() + 2);
    return minimumSizeHint().expandedTo(panel);
}

void SafeTabs::MeasureLater(TabItem& tab) const {
    tab.font = font();
    tab.measured = false;
}

const SafeTabs::TabItem& SafeTabs::Measured(int index) const {
    const TabItem& tab = tabs_[static_cast<size_t>(index)];
    if (tab.measured) return tab;
    // The width the caption takes in the strip's font, in pixels, as an
    // auto-sizing label would report it.
    const double t = QFontMetricsF(tab.font).horizontalAdvance(tab.caption);
    tab.width = static_cast<int>(tessel::text::RoundHalfEven(t + kCaptionMargin));
    if (tab.width < kMinTabWidth) tab.width = kMinTabWidth;
    tab.text_offset = static_cast<int>(tessel::text::RoundHalfEven((tab.width - t) / 2));
    tab.measured = true;
    return tab;
}

void SafeTabs::LoadTabs(const QStringList& captions, int activeTab) {
    if (!setTabCount(std::max<int>(1, static_cast<int>(captions.size())))) return;
    for (int i = 0; i < captions.size() && i < TabCount(); ++i) {
        TabItem& tab = tabs_[static_cast<size_t>(i)];
        tab.caption = captions[i];
        MeasureLater(tab);
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
    const qreal ratio = devicePixelRatioF();
    if (surface_.stale || surface_.size != size() || surface_.ratio != ratio)
        surface_ = {Render(ratio), false, size(), ratio};
    return surface_.image;
}

const QImage& SafeTabs::Band() {
    const qreal ratio = devicePixelRatioF();
    if (band_.stale || band_.size != size() || band_.ratio != ratio)
        band_ = {Render(ratio, BandRows()), false, size(), ratio};
    return band_.image;
}

QImage SafeTabs::RenderAt(qreal ratio) const { return Render(ratio); }

void SafeTabs::Refresh() {
    // Setting up a strip changes it several times before anyone sees it; the
    // pixels are drawn once, when they are needed.
    surface_.stale = true;
    band_.stale = true;
    update();
}

int SafeTabs::BandRows() const {
    int rows = kHeaderBottom + 2;  // down to the baseline under the tabs
    for (const bool bold : {false, true}) {
        QFont f = font();
        f.setBold(bold);
        f.setItalic(!bold && font_italic_);
        rows = std::max(rows, 13 + QFontMetrics(f).height() + 1);  // the lower captions' top is row 13
    }
    return std::min(rows, height());
}

QImage SafeTabs::Render(qreal ratio, int rows) const {
    const int W = width(), H = height();
    if (W <= 0 || H <= 0) return QImage();
    constexpr int B = kHeaderBottom, A = kActiveTabHeight, I = kInactiveTabHeight;
    constexpr OleColor C = kOutlineColor;
    QImage surface = MakeBuffer(W, rows > 0 ? std::min(rows, H) : H, ratio, back_color_);
    const QImage skin = ratio == 1.0 ? skin_ : BuildSkin(back_color_, ratio);
    FillRect(surface, 0, B + 1, W - 1, H - 1, kPanel);

    // Bands are stretched with nearest-neighbour sampling, one source pixel
    // per device pixel, so the corner pixels stay at both ends.
    auto stretch = [&](int srcTop, int rows, int left, int top, int w) {
        const int sy0 = DeviceEdge(skin, srcTop), srcRows = DeviceEdge(skin, srcTop + rows) - sy0;
        const int dx0 = DeviceEdge(surface, left), cols = DeviceEdge(surface, left + w) - dx0;
        const int dy0 = DeviceEdge(surface, top), dstRows = DeviceEdge(surface, top + rows) - dy0;
        for (int dy = 0; dy < dstRows; ++dy) {
            const int y = dy0 + dy;
            if (y < 0 || y >= surface.height()) continue;
            const int sy = sy0 + static_cast<int>((2LL * dy + 1) * srcRows / (2LL * dstRows));
            const auto* in = reinterpret_cast<const QRgb*>(skin.constScanLine(sy));
            auto* out = reinterpret_cast<QRgb*>(surface.scanLine(y));
            for (int dx = 0; dx < cols; ++dx) {
                const int x = dx0 + dx;
                if (x < 0 || x >= surface.width()) continue;
                out[x] = in[static_cast<int>((2LL * dx + 1) * skin.width() / (2LL * cols))];
            }
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
        const TabItem& tab = Measured(i);
        const QRect r = TabRect(i);
        const int left = r.left(), w = r.width();
        Line(surface, x, B + 1, left, B + 1, C);  // the baseline under the gap
        if (i == active_) {
            stretch(24, 5, left, B - A + 1, w);
            stretch(29, A - 5, left, B - A + 6, w);
            Line(surface, left, 6, left, B + 2, C);
            Line(surface, left + w - 1, 6, left + w - 1, B + 2, C);
            Line(surface, left + 1, B + 1, left + w - 1, B + 1, kWhite);
            captions.push_back({tab.caption, left + tab.text_offset, 12, font_blod_, false});
        } else {
            stretch(0, 6, left, B - I + 1, w);
            stretch(6, I - 6, left, B - I + 7, w);
            Line(surface, left, 9, left, B + 1, C);
            Line(surface, left, B + 1, left + w - 1, B + 1, C);
            Line(surface, left + w - 1, B + 1, left + w - 1, 9, C);
            captions.push_back({tab.caption, left + tab.text_offset, 13, false, font_italic_});
        }
        x = left + w;
    }
    Line(surface, x, B + 1, W - 1, B + 1, C);
    Line(surface, W - 1, B + 1, W - 1, H - 1, C);
    Line(surface, W - 1, H - 1, 0, H - 1, C);
    Line(surface, 0, H - 1, 0, B, C);
    if (hasFocus()) {
        // Where the keyboard is: a dotted frame inside the active tab.
        const QRect r = TabRect(active_);
        DrawFocusRect(surface, r.left() + 3, 9, r.right() - 2, B);
    }

    QPainter p(&surface);
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
    return surface;
}

void SafeTabs::paintEvent(QPaintEvent* /*event*/) {
    const QImage& band = Band();
    QPainter p(this);
    if (band.isNull()) {
        p.fillRect(rect(), ToQColor(back_color_));
        return;
    }
    p.drawImage(0, 0, band);
    PaintPanel(p, band.height());
}

void SafeTabs::PaintPanel(QPainter& p, int top) const {
    // Render fills the panel up to the outline's last row and column, then
    // draws the outline over its left, right and bottom edges.  Painted in
    // device pixels, so every ratio gets exactly Render's pixels.
    const qreal ratio = devicePixelRatioF();
    const auto edge = [ratio](int e) { return ratio == 1.0 ? e : qRound(e * ratio); };
    const int right = edge(width()), bottom = edge(height());
    if (top >= bottom) return;
    p.save();
    p.scale(1 / ratio, 1 / ratio);
    p.fillRect(QRect(0, top, right, bottom - top), ToQColor(kOutlineColor));
    const int inLeft = edge(1), inRight = edge(width() - 1), inBottom = edge(height() - 1);
    if (inRight > inLeft && inBottom > top)
        p.fillRect(QRect(inLeft, top, inRight - inLeft, inBottom - top), ToQColor(kPanel));
    p.restore();
}

void SafeTabs::resizeEvent(QResizeEvent* /*event*/) { Refresh(); }

void SafeTabs::changeEvent(QEvent* event) {
    // A new font changes nothing stored: the widths were measured when the
    // captions were set, as before.  Only the drawing is renewed.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) Refresh();
    QWidget::changeEvent(event);
}

// ---------------------------------------------------------------------------
// Mouse

int SafeTabs::HitTest(int x, int y) const {
    // Inactive tabs answer from row 9, below their rounded tops.
    if (y < kHitTop || y > kHeaderBottom + 1) return -1;
    for (int i = 0; i < TabCount(); ++i) {
        const QRect r = TabRect(i);
        if (i != active_ && x >= r.left() && x <= r.right()) return i;
    }
    return -1;
}

void SafeTabs::keyPressEvent(QKeyEvent* event) {
    // Keys the pages left unused travel up to the strip; only with the focus
    // on the strip itself do they choose tabs.
    if (!hasFocus() || event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            setActiveTab(active_ - 1);
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            setActiveTab(active_ + 1);
            break;
        case Qt::Key_Home:
            setActiveTab(0);
            break;
        case Qt::Key_End:
            setActiveTab(TabCount() - 1);
            break;
        default:
            QWidget::keyPressEvent(event);
            break;
    }
}

void SafeTabs::focusInEvent(QFocusEvent* event) {
    Refresh();
    QWidget::focusInEvent(event);
}

void SafeTabs::focusOutEvent(QFocusEvent* event) {
    Refresh();
    QWidget::focusOutEvent(event);
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
            tab.measured = true;
            tab.width = kMinTabWidth;
            tab.text_offset = 0;
        } else {
            MeasureLater(tab);
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
