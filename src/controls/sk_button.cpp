// SPDX-License-Identifier: GPL-3.0-or-later
// SkButton: creation, properties, shape, drawing and stored properties.
// Activation is in sk_button_activation.cpp, input in sk_button_input.cpp.
#include "controls/sk_button.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPainter>
#include <QResizeEvent>
#include <QUrl>
#include <algorithm>

#include "controls/property_bag.h"
#include "controls/sk_button_painter.h"
#include "controls/sk_input_codes.h"
#include "controls/sk_style_table.h"
#include "controls/sk_tip.h"
#include "controls/twips.h"

namespace tessel::controls {

namespace {

constexpr int kMinSizePixels = 15;  // 220 twips, shown at the nearest pixel

QFont ButtonFont(const QFont& ambient) {
    // The face the buttons were designed with; where it is not installed the
    // nearest sans face of the desktop stands in (CJK glyphs fall back on
    // their own).  Installed means a face of that name: hasFamily() would
    // also count a name fontconfig merely substitutes, and asks fontconfig
    // to apply its rules (a quarter millisecond on the way to the window).
    // Looked up once: a window builds its buttons by the dozen.
    static const QString tahoma = QStringLiteral("Tahoma");
    static const bool haveTahoma = QFontDatabase::families().contains(tahoma, Qt::CaseInsensitive);
    QFont f = ambient;
    if (haveTahoma) {
        f.setFamily(tahoma);
    } else {
        f.setFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
        f.setStyleHint(QFont::SansSerif);
    }
    f.setPointSizeF(8.25);
    return f;
}

}  // namespace

// ---------------------------------------------------------------------------
// Creation

SkButton::SkButton(QWidget* parent, const QString& name) : QAbstractButton(parent) {
    setObjectName(name);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(kMinSizePixels, kMinSizePixels);
    setFont(ButtonFont(parent ? parent->font() : QApplication::font()));
    resize(75, 23);
    connect(this, &QAbstractButton::clicked, this, &SkButton::Click);
    setText(name);
    DeriveAccessKey();
    ApplyStyleRules();
    RebuildShape();
    Refresh();
}

SkButton::~SkButton() {
    // The tooltip is a top-level window of its own; it goes with the button.
    tip_.reset();
}

void SkButton::Changed(const QString& name) { emit PropertyChanged(name); }

template <class T>
void SkButton::SetProp(T ButtonProps::*member, const char* name, T v) {
    p_.*member = v;
    Changed(QLatin1String(name));
    Refresh();
}

QFont SkButton::AmbientFont() const { return parentWidget() ? parentWidget()->font() : QApplication::font(); }

// ---------------------------------------------------------------------------
// Style and colours

void SkButton::ApplyStyleRules() {
    const StyleTraits& t = Traits(p_.style);
    if (t.scheme == SchemeRule::Two)
        p_.scheme = 2;
    else if (t.scheme == SchemeRule::Zero)
        p_.scheme = 0;
    p_.showFocusRect = t.showFocusRect;
    if (t.picturePushOnHover) p_.picturePushOnHover = true;
    ApplySchemeColors();
}

void SkButton::ApplySchemeColors() {
    p_.foreColor = kButtonText;
    if (p_.scheme != 3) p_.backColor = SchemeBackColor(p_.style, p_.scheme);
}

void SkButton::setButtonStyle(int style) {
    if (style < 0 || style > kLastStyle) return;
    p_.style = style;
    ApplyStyleRules();
    Changed(QStringLiteral("ButtonStyle"));
    RebuildShape();
    Refresh();
}

void SkButton::setColorScheme(int scheme) {
    if (scheme < 0 || scheme > 3) return;
    p_.scheme = scheme;
    ApplySchemeColors();
    Changed(QStringLiteral("ColorScheme"));
    Refresh();
}

void SkButton::setBackColor(OleColor c) {
    p_.backColor = c;
    if (p_.style != 4) p_.scheme = 3;
    Changed(QStringLiteral("BackColor"));
    Refresh();
}

void SkButton::setForeColor(OleColor c) { SetProp(&ButtonProps::foreColor, "ForeColor", c); }
void SkButton::setForeColorHover(OleColor c) { SetProp(&ButtonProps::foreColorHover, "ForeColorHover", c); }

void SkButton::RebuildShape() {
    const int W = width(), H = height();
    shape_size_ = size();
    const StyleShape shape = Traits(p_.style).shape;
    const int cut = shape == StyleShape::Round3 ? 1 : shape == StyleShape::Round4 ? 2 : 0;
    if (cut == 0 || W <= 2 * cut || H <= 2 * cut) {
        clearMask();
        return;
    }
    // The rounded corners of the round-rectangle region: a 3 x 3 corner
    // ellipse takes away the corner pixel, a 4 x 4 one the corner pixel and
    // its two neighbours along the edges.
    QRegion r(0, 0, W, H);
    auto corner = [&](int x, int y, int dx, int dy) {
        r -= QRegion(x, y, 1, 1);
        if (cut == 2) {
            r -= QRegion(x + dx, y, 1, 1);
            r -= QRegion(x, y + dy, 1, 1);
        }
    };
    corner(0, 0, 1, 1);
    corner(W - 1, 0, -1, 1);
    corner(0, H - 1, 1, -1);
    corner(W - 1, H - 1, -1, -1);
    setMask(r);
}

// ---------------------------------------------------------------------------
// Simple properties

void SkButton::setCaption(const QString& caption) {
    setText(caption);
    DeriveAccessKey();
    Changed(QStringLiteral("Caption"));
    Refresh();
}

void SkButton::setCaptionAlign(int a) {
    SetProp(&ButtonProps::captionAlign, "CaptionAlign", button_store::Clamp("CaptionAlign", a));
}

void SkButton::setCaptionEffects(int e) {
    SetProp(&ButtonProps::captionEffects, "CaptionEffects", button_store::Clamp("CaptionEffects", e));
}

void SkButton::setRightToLeft(bool on) {
    tip_.reset();  // the next tip is built mirrored
    SetProp(&ButtonProps::rightToLeft, "RightToLeft", on);
}

void SkButton::setPictureNormal(const QPixmap& p) {
    p_.pictureNormal = p;
    Changed(QStringLiteral("PictureNormal"));
    if (p.isNull()) {
        p_.pictureHot = QPixmap();
        p_.pictureDown = QPixmap();
        RebuildShape();
    }
    Refresh();
}

void SkButton::setPictureHot(const QPixmap& p) {
    if (p_.pictureNormal.isNull()) {
        setPictureNormal(p);
        return;
    }
    SetProp(&ButtonProps::pictureHot, "PictureHot", p);
}

void SkButton::setPictureDown(const QPixmap& p) {
    if (p_.pictureNormal.isNull()) {
        setPictureNormal(p);
        return;
    }
    SetProp(&ButtonProps::pictureDown, "PictureDown", p);
}

void SkButton::setPictureAlign(int a) {
    p_.pictureAlign = button_store::Clamp("PictureAlign", a);
    Changed(QStringLiteral("PictureAlign"));
    if (!p_.pictureNormal.isNull()) Refresh();
}

void SkButton::setUseMaskColor(bool on) {
    p_.useMaskColor = on;
    Changed(QStringLiteral("UseMaskColor"));
    if (!p_.pictureNormal.isNull()) Refresh();
}

void SkButton::setPictureShadow(bool on) { SetProp(&ButtonProps::pictureShadow, "PictureShadow", on); }
void SkButton::setPictureOpacity(int a) {
    SetProp(&ButtonProps::pictureOpacity, "PictureOpacity", button_store::Clamp("PictureOpacity", a));
}
void SkButton::setPictureOpacityOnOver(int a) {
    SetProp(&ButtonProps::pictureOpacityOnOver, "PictureOpacityOnOver",
            button_store::Clamp("PictureOpacityOnOver", a));
}
void SkButton::setDisabledPictureMode(int m) {
    SetProp(&ButtonProps::disabledPictureMode, "DisabledPictureMode",
            button_store::Clamp("DisabledPictureMode", m));
}
void SkButton::setPicturePushOnHover(bool on) {
    SetProp(&ButtonProps::picturePushOnHover, "PicturePushOnHover", on);
}
void SkButton::setPictureEffectOnOver(int e) {
    SetProp(&ButtonProps::pictureEffectOnOver, "PictureEffectOnOver", e);
}
void SkButton::setPictureEffectOnDown(int e) {
    SetProp(&ButtonProps::pictureEffectOnDown, "PictureEffectOnDown", e);
}
void SkButton::setMaskColor(OleColor c) { SetProp(&ButtonProps::maskColor, "MaskColor", c); }
void SkButton::setDropDownSymbol(int s) { SetProp(&ButtonProps::dropDownSymbol, "DropDownSymbol", s); }
void SkButton::setDropDownSeparator(bool on) {
    SetProp(&ButtonProps::dropDownSeparator, "DropDownSeparator", on);
}
void SkButton::setToolTipText(const QString& text) { SetProp(&ButtonProps::toolTip, "ToolTip", text); }
void SkButton::setTooltipTitle(const QString& title) {
    SetProp(&ButtonProps::tooltipTitle, "TooltipTitle", title);
}
void SkButton::setToolTipIcon(int icon) {
    SetProp(&ButtonProps::toolTipIcon, "ToolTipIcon", button_store::Clamp("TooltipIcon", icon));
}
void SkButton::setToolTipType(int type) {
    SetProp(&ButtonProps::toolTipType, "ToolTipType", button_store::Clamp("TooltipType", type));
}
void SkButton::setTooltipBackColor(OleColor c) {
    SetProp(&ButtonProps::tooltipBackColor, "TooltipBackColor", c);
}

void SkButton::setMousePointer(int code) {
    p_.mousePointer = code;
    Changed(QStringLiteral("MousePointer"));
    ApplyCursor();
}

void SkButton::setHandPointer(bool on) {
    // Qt always has a hand cursor, so the value sticks.
    p_.handPointer = on;
    Changed(QStringLiteral("HandPointer"));
    ApplyCursor();
    Refresh();
}

void SkButton::setMouseIcon(const QPixmap& icon) {
    p_.mouseIcon = icon;
    Changed(QStringLiteral("MouseIcon"));
    if (!icon.isNull()) {
        if (p_.handPointer) {
            p_.handPointer = false;
            Changed(QStringLiteral("HandPointer"));
        }
        p_.mousePointer = 99;
    } else {
        p_.mousePointer = 0;
    }
    ApplyCursor();
}

void SkButton::ApplyCursor() {
    if (p_.handPointer)
        setCursor(Qt::PointingHandCursor);
    else if (p_.mousePointer == 99 && !p_.mouseIcon.isNull())
        setCursor(QCursor(p_.mouseIcon));
    else if (p_.mousePointer == 0)
        unsetCursor();
    else
        setCursor(input::PointerShape(p_.mousePointer));
}

void SkButton::setGeometryTwips(const QRectF& twips) {
    QRectF t = twips;
    t.setWidth(std::max(t.width(), 220.0));
    t.setHeight(std::max(t.height(), 220.0));
    setGeometry(TwipsToPixels(t));
}

QSize SkButton::sizeHint() const { return ContentSizeHint(Look()); }
QSize SkButton::minimumSizeHint() const { return QSize(kMinSizePixels, kMinSizePixels); }

QWidget* SkButton::TooltipWindow() const { return tip_.get(); }

// ---------------------------------------------------------------------------
// Drawing

ButtonLook SkButton::Look() const {
    ButtonLook look;
    static_cast<ButtonProps&>(look.props) = p_;
    look.props.caption = text();
    look.props.enabled = isEnabled();
    look.props.font = font();
    look.props.value = isChecked();
    look.state = state_;
    look.hasFocus = has_focus_;
    look.parentActive = parent_active_;
    look.displayAsDefault = display_as_default_;
    look.size = size();
    return look;
}

void SkButton::Refresh() {
    if (p_.style == 13) {
        // No theme engine here: the button becomes style 2 with scheme 0 for
        // good, and takes that scheme's colours.  This happens at once, not when
        // the pixels are drawn, because the properties show it.
        p_.style = 2;
        p_.scheme = 0;
        ApplySchemeColors();
        RebuildShape();
    }
    // The pixels wait for the next paint (or a read of the back buffer): a
    // window sets up dozens of properties on buttons nobody sees yet, and a
    // button on a tab that is not shown may never need them.
    surface_stale_ = true;
    update();
}

const QImage& SkButton::Surface() {
    // A hidden widget gets its resize event only when shown, so the size may
    // have changed without one.
    if (shape_size_ != size()) RebuildShape();
    const qreal ratio = devicePixelRatioF();
    if (surface_stale_ || surface_size_ != size() || surface_ratio_ != ratio) {
        surface_ = PaintButton(Look(), ratio);
        surface_size_ = size();
        surface_ratio_ = ratio;
        surface_stale_ = false;
    }
    return surface_;
}

QImage SkButton::RenderAt(qreal ratio) const { return PaintButton(Look(), ratio); }

QRect SkButton::CaptionRect() const { return LayoutContent(Look()).Caption(); }
QRect SkButton::PictureRect() const { return LayoutContent(Look()).picture; }

void SkButton::resizeEvent(QResizeEvent* e) {
    RebuildShape();
    Refresh();
    QAbstractButton::resizeEvent(e);
}

void SkButton::paintEvent(QPaintEvent* /*e*/) {
    const QImage& s = Surface();
    QPainter p(this);
    p.drawImage(0, 0, s);
}

// ---------------------------------------------------------------------------
// Methods

void SkButton::About() {
    QMessageBox box(QMessageBox::Information, QStringLiteral("About"),
                    QStringLiteral("SkButton\nA self-drawn push, check and option button with "
                                   "fourteen looks, pictures, a drop-down menu and its own tooltip.\n"
                                   "Part of Tessel."),
                    QMessageBox::Ok, this);
    box.exec();
}

bool SkButton::OpenWebsite(const QString& address) {
    const QUrl url = QUrl::fromUserInput(address);
    if (!url.isValid()) return false;
    return QDesktopServices::openUrl(url);
}

// ---------------------------------------------------------------------------
// Stored properties

void SkButton::ReadProperties(const PropertyBag& bag) {
    const StoredButton s = ReadButton(bag, AmbientFont());
    p_ = s;
    setFont(s.font);
    setText(s.caption);
    setCheckable(s.mode != 0);
    JoinOptionGroup();
    setChecked(s.mode != 0 && s.value);
    setEnabled(s.enabled);
    DeriveAccessKey();
    ApplyCursor();
    RebuildShape();
    Refresh();
}

void SkButton::WriteProperties(PropertyBag& bag) const { WriteButton(Look().props, bag, AmbientFont()); }

}  // namespace tessel::controls
