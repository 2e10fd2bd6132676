// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/sk_button.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QShortcut>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "controls/property_bag.h"
#include "controls/raster.h"
#include "controls/sk_tip.h"
#include "controls/twips.h"
#include "text/vbstring.h"

namespace tessel::controls {

namespace {

constexpr int kMinSizePixels = 15;  // 220 twips, shown at the nearest pixel

// Virtual-key numbers of the keys the button and its handlers care about.
int VirtualKey(const QKeyEvent* e) {
    const int k = e->key();
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 'A' + (k - Qt::Key_A);
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return '0' + (k - Qt::Key_0);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return 112 + (k - Qt::Key_F1);
    switch (k) {
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Shift:
            return 16;
        case Qt::Key_Control:
            return 17;
        case Qt::Key_Alt:
            return 18;
        case Qt::Key_Pause:
            return 19;
        case Qt::Key_CapsLock:
            return 20;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Space:
            return 32;
        case Qt::Key_PageUp:
            return 33;
        case Qt::Key_PageDown:
            return 34;
        case Qt::Key_End:
            return 35;
        case Qt::Key_Home:
            return 36;
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        case Qt::Key_Insert:
            return 45;
        case Qt::Key_Delete:
            return 46;
        case Qt::Key_Menu:
            return 93;
        default:
            return 0;
    }
}

int ShiftState(Qt::KeyboardModifiers m) {
    int s = 0;
    if (m & Qt::ShiftModifier) s |= 1;
    if (m & Qt::ControlModifier) s |= 2;
    if (m & Qt::AltModifier) s |= 4;
    return s;
}

int ButtonCode(Qt::MouseButton b) {
    switch (b) {
        case Qt::LeftButton:
            return 1;
        case Qt::RightButton:
            return 2;
        case Qt::MiddleButton:
            return 4;
        default:
            return 0;
    }
}

int ButtonsCode(Qt::MouseButtons b) {
    int s = 0;
    if (b & Qt::LeftButton) s |= 1;
    if (b & Qt::RightButton) s |= 2;
    if (b & Qt::MiddleButton) s |= 4;
    return s;
}

Qt::CursorShape PointerShape(int code) {
    switch (code) {
        case 2:
            return Qt::CrossCursor;
        case 3:
            return Qt::IBeamCursor;
        case 5:
        case 15:
            return Qt::SizeAllCursor;
        case 6:
            return Qt::SizeBDiagCursor;
        case 7:
            return Qt::SizeVerCursor;
        case 8:
            return Qt::SizeFDiagCursor;
        case 9:
            return Qt::SizeHorCursor;
        case 10:
            return Qt::UpArrowCursor;
        case 11:
            return Qt::WaitCursor;
        case 12:
            return Qt::ForbiddenCursor;
        case 13:
            return Qt::BusyCursor;
        case 14:
            return Qt::WhatsThisCursor;
        default:
            return Qt::ArrowCursor;
    }
}

QFont ButtonFont(const QFont& ambient) {
    // The face the buttons were designed with; where it is not installed the
    // nearest sans face of the desktop stands in (CJK glyphs fall back on
    // their own).  Looked up once: each look-up asks fontconfig again, and a
    // window builds its buttons by the dozen.
    static const QString tahoma = QStringLiteral("Tahoma");
    static const bool haveTahoma = QFontDatabase::hasFamily(tahoma);
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

SkButton::SkButton(QWidget* parent, const QString& name) : QWidget(parent) {
    setObjectName(name);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(kMinSizePixels, kMinSizePixels);
    setFont(ButtonFont(parent ? parent->font() : QApplication::font()));
    resize(75, 23);
    caption_ = name;
    DeriveAccessKey();
    style_ = 13;
    ApplyStyleRules();
    RebuildShape();
    Refresh();
}

SkButton::~SkButton() {
    // The tooltip is a top-level window of its own; it goes with the button.
    tip_.reset();
}

void SkButton::Changed(const QString& name) { emit PropertyChanged(name); }

// ---------------------------------------------------------------------------
// Style and colours

void SkButton::ApplyStyleRules() {
    if (style_ == 3 || style_ == 9)
        scheme_ = 2;
    else if (style_ <= 10 && style_ != 5)
        scheme_ = 0;
    show_focus_rect_ = style_ == 0 || style_ == 1 || style_ == 9;
    if (style_ == 4) picture_push_on_hover_ = true;
    ApplySchemeColors();
}

void SkButton::ApplySchemeColors() {
    fore_color_ = kButtonText;
    if (scheme_ == 3) return;
    const int s = std::clamp(scheme_, 0, 2);
    switch (style_) {
        case 2: {
            const OleColor c[3] = {Rgb(236, 235, 231), Rgb(243, 238, 219), Rgb(240, 241, 252)};
            back_color_ = c[s];
            break;
        }
        case 3: {
            const OleColor c[3] = {Rgb(224, 236, 253), Rgb(232, 237, 222), Shift(Rgb(212, 212, 212), 0.06f)};
            back_color_ = c[s];
            break;
        }
        case 5: {
            const OleColor c[3] = {Rgb(202, 225, 252), Rgb(212, 214, 186), Shift(Rgb(160, 158, 186), 0.15f)};
            back_color_ = c[s];
            break;
        }
        case 8:
        case 10: {
            const OleColor c[3] = {Rgb(173, 209, 255), Rgb(212, 214, 186), Rgb(224, 223, 227)};
            back_color_ = c[s];
            break;
        }
        case 9: {
            const OleColor c[3] = {Rgb(173, 209, 255), Rgb(212, 214, 186), Rgb(213, 214, 225)};
            back_color_ = c[s];
            break;
        }
        default:
            back_color_ = kButtonFace;
            break;
    }
}

void SkButton::setButtonStyle(int style) {
    if (style < 0 || style > 13) return;
    style_ = style;
    ApplyStyleRules();
    Changed(QStringLiteral("ButtonStyle"));
    RebuildShape();
    Refresh();
}

void SkButton::setColorScheme(int scheme) {
    if (scheme < 0 || scheme > 3) return;
    scheme_ = scheme;
    ApplySchemeColors();
    Changed(QStringLiteral("ColorScheme"));
    Refresh();
}

void SkButton::setBackColor(OleColor c) {
    back_color_ = c;
    if (style_ != 4) scheme_ = 3;
    Changed(QStringLiteral("BackColor"));
    Refresh();
}

void SkButton::setForeColor(OleColor c) {
    fore_color_ = c;
    Changed(QStringLiteral("ForeColor"));
    Refresh();
}

void SkButton::setForeColorHover(OleColor c) {
    fore_color_hover_ = c;
    Changed(QStringLiteral("ForeColorHover"));
    Refresh();
}

void SkButton::RebuildShape() {
    const int W = width(), H = height();
    shape_size_ = size();
    int cut = 0;  // pixels cut from each corner along both edges
    switch (style_) {
        case 2:
        case 3:
        case 7:
        case 9:
        case 13:  // drawn as style 2 here
            cut = 1;
            break;
        case 6:
        case 10:
            cut = 2;
            break;
        default:
            break;
    }
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
    caption_ = caption;
    DeriveAccessKey();
    Changed(QStringLiteral("Caption"));
    Refresh();
}

void SkButton::setCaptionAlign(int a) {
    caption_align_ = std::clamp(a, 0, 2);
    Changed(QStringLiteral("CaptionAlign"));
    Refresh();
}

void SkButton::setCaptionEffects(int e) {
    caption_effects_ = std::clamp(e, 0, 5);
    Changed(QStringLiteral("CaptionEffects"));
    Refresh();
}

void SkButton::setRightToLeft(bool on) {
    right_to_left_ = on;
    tip_.reset();  // the next tip is built mirrored
    Changed(QStringLiteral("RightToLeft"));
    Refresh();
}

void SkButton::setMode(int mode) {
    mode_ = std::clamp(mode, 0, 2);
    if (mode_ == 0) state_ = Normal;
    Refresh();
    Changed(QStringLiteral("Value"));
    Changed(QStringLiteral("Mode"));
}

void SkButton::setValue(bool value) {
    if (mode_ == 0) {
        state_ = Normal;
    } else {
        value_ = value;
        if (!value) state_ = Normal;
    }
    Changed(QStringLiteral("Value"));
    Refresh();
}

void SkButton::setPictureNormal(const QPixmap& p) {
    picture_normal_ = p;
    Changed(QStringLiteral("PictureNormal"));
    if (p.isNull()) {
        picture_hot_ = QPixmap();
        picture_down_ = QPixmap();
        RebuildShape();
    }
    Refresh();
}

void SkButton::setPictureHot(const QPixmap& p) {
    if (picture_normal_.isNull()) {
        setPictureNormal(p);
        return;
    }
    picture_hot_ = p;
    Changed(QStringLiteral("PictureHot"));
    Refresh();
}

void SkButton::setPictureDown(const QPixmap& p) {
    if (picture_normal_.isNull()) {
        setPictureNormal(p);
        return;
    }
    picture_down_ = p;
    Changed(QStringLiteral("PictureDown"));
    Refresh();
}

void SkButton::setPictureAlign(int a) {
    picture_align_ = std::clamp(a, 0, 8);
    Changed(QStringLiteral("PictureAlign"));
    if (!picture_normal_.isNull()) Refresh();
}

void SkButton::setUseMaskColor(bool on) {
    use_mask_color_ = on;
    Changed(QStringLiteral("UseMaskColor"));
    if (!picture_normal_.isNull()) Refresh();
}

#define SK_SIMPLE_SETTER(Name, member, Type, expr) \
    void SkButton::set##Name(Type v) {             \
        member = expr;                             \
        Changed(QStringLiteral(#Name));            \
        Refresh();                                 \
    }

SK_SIMPLE_SETTER(PictureShadow, picture_shadow_, bool, v)
SK_SIMPLE_SETTER(PictureOpacity, picture_opacity_, int, std::clamp(v, 0, 255))
SK_SIMPLE_SETTER(PictureOpacityOnOver, picture_opacity_on_over_, int, std::clamp(v, 0, 255))
SK_SIMPLE_SETTER(DisabledPictureMode, disabled_picture_mode_, int, std::clamp(v, 0, 1))
SK_SIMPLE_SETTER(PicturePushOnHover, picture_push_on_hover_, bool, v)
SK_SIMPLE_SETTER(PictureEffectOnOver, picture_effect_on_over_, int, v)
SK_SIMPLE_SETTER(PictureEffectOnDown, picture_effect_on_down_, int, v)
SK_SIMPLE_SETTER(MaskColor, mask_color_, OleColor, v)
SK_SIMPLE_SETTER(DropDownSymbol, drop_down_symbol_, int, v)
SK_SIMPLE_SETTER(DropDownSeparator, drop_down_separator_, bool, v)
SK_SIMPLE_SETTER(TooltipTitle, tooltip_title_, const QString&, v)
SK_SIMPLE_SETTER(ToolTipIcon, tooltip_icon_, int, std::clamp(v, 0, 3))
SK_SIMPLE_SETTER(ToolTipType, tooltip_type_, int, std::clamp(v, 0, 1))
SK_SIMPLE_SETTER(TooltipBackColor, tooltip_back_color_, OleColor, v)

#undef SK_SIMPLE_SETTER

void SkButton::setToolTipText(const QString& text) {
    tooltip_ = text;
    Changed(QStringLiteral("ToolTip"));
    Refresh();
}

void SkButton::setMousePointer(int code) {
    mouse_pointer_ = code;
    Changed(QStringLiteral("MousePointer"));
    ApplyCursor();
}

void SkButton::setHandPointer(bool on) {
    // Qt always has a hand cursor, so the value sticks.
    hand_pointer_ = on;
    Changed(QStringLiteral("HandPointer"));
    ApplyCursor();
    Refresh();
}

void SkButton::setMouseIcon(const QPixmap& icon) {
    mouse_icon_ = icon;
    Changed(QStringLiteral("MouseIcon"));
    if (!icon.isNull()) {
        if (hand_pointer_) {
            hand_pointer_ = false;
            Changed(QStringLiteral("HandPointer"));
        }
        mouse_pointer_ = 99;
    } else {
        mouse_pointer_ = 0;
    }
    ApplyCursor();
}

void SkButton::ApplyCursor() {
    if (hand_pointer_)
        setCursor(Qt::PointingHandCursor);
    else if (mouse_pointer_ == 99 && !mouse_icon_.isNull())
        setCursor(QCursor(mouse_icon_));
    else if (mouse_pointer_ == 0)
        unsetCursor();
    else
        setCursor(PointerShape(mouse_pointer_));
}

void SkButton::setDisplayAsDefault(bool on) {
    if (display_as_default_ == on) return;
    display_as_default_ = on;
    UpdateShortcuts();
    Refresh();
}

void SkButton::setCancel(bool on) {
    cancel_ = on;
    UpdateShortcuts();
}

void SkButton::setGeometryTwips(const QRectF& twips) {
    QRectF t = twips;
    t.setWidth(std::max(t.width(), 220.0));
    t.setHeight(std::max(t.height(), 220.0));
    setGeometry(TwipsToPixels(t));
}

QSize SkButton::sizeHint() const { return QSize(75, 23); }
QSize SkButton::minimumSizeHint() const { return QSize(kMinSizePixels, kMinSizePixels); }

QWidget* SkButton::TooltipWindow() const { return tip_.get(); }

void SkButton::SyncSurface() {
    // A hidden widget gets its resize event only when shown, so the size may
    // have changed without one.
    if (shape_size_ != size()) RebuildShape();
    if (surface_stale_ || surface_.size() != QSize(std::max(width(), 1), std::max(height(), 1))) Render();
}

const QImage& SkButton::Surface() {
    SyncSurface();
    return surface_;
}

QRect SkButton::CaptionRect() {
    SyncSurface();
    return caption_rect_;
}

QRect SkButton::PictureRect() {
    SyncSurface();
    return picture_rect_;
}

// ---------------------------------------------------------------------------
// Access key, default and cancel keys

void SkButton::DeriveAccessKey() {
    access_key_ = QChar();
    const QString& c = caption_;
    if (c.size() > 1) {
        const qsizetype amp = c.indexOf(QLatin1Char('&'));
        if (amp >= 0 && amp < c.size() - 1) {
            if (c[amp + 1] != QLatin1Char('&')) {
                access_key_ = c[amp + 1].toLower();
            } else {
                // "&&" is a literal ampersand; the key may follow a later single one.
                const qsizetype next = c.indexOf(QLatin1Char('&'), amp + 2);
                if (next >= 0 && next < c.size() - 1 && c[next + 1] != QLatin1Char('&'))
                    access_key_ = c[next + 1].toLower();
            }
        }
    }
    UpdateShortcuts();
}

void SkButton::UpdateShortcuts() {
    delete access_shortcut_;
    access_shortcut_ = nullptr;
    if (!access_key_.isNull()) {
        const QKeySequence seq(QStringLiteral("Alt+") + QString(access_key_).toUpper());
        if (!seq.isEmpty()) {
            access_shortcut_ = new QShortcut(seq, this);
            access_shortcut_->setContext(Qt::WindowShortcut);
            connect(access_shortcut_, &QShortcut::activated, this, [this] { ActivateByKey(0); });
        }
    }
    delete default_shortcut_;
    default_shortcut_ = nullptr;
    if (display_as_default_) {
        default_shortcut_ = new QShortcut(QKeySequence(Qt::Key_Return), this);
        default_shortcut_->setContext(Qt::WindowShortcut);
        connect(default_shortcut_, &QShortcut::activated, this, [this] { ActivateByKey(13); });
    }
    delete cancel_shortcut_;
    cancel_shortcut_ = nullptr;
    if (cancel_) {
        cancel_shortcut_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
        cancel_shortcut_->setContext(Qt::WindowShortcut);
        connect(cancel_shortcut_, &QShortcut::activated, this, [this] { ActivateByKey(27); });
    }
}

void SkButton::ActivateByKey(int keyCode) {
    if (!isEnabled()) return;
    space_held_ = false;
    state_ = Normal;
    if (mode_ != 0 && (keyCode == 27 || keyCode == 13)) {
        Refresh();
        return;
    }
    if (mode_ == 1) {
        value_ = !value_;
    } else if (mode_ == 2) {
        ClearOtherOptions();
        value_ = true;
    }
    Refresh();
    // Let the new look reach the screen before the handler runs.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    emit Click();
}

void SkButton::ClearOtherOptions() {
    QWidget* container = parentWidget();
    if (!container) return;
    for (SkButton* other : container->findChildren<SkButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (other != this && other->mode_ == 2 && other->value_) other->setValue(false);
    }
}

// ---------------------------------------------------------------------------
// State

void SkButton::SetState(State s, bool redrawIfChanged) {
    if (state_ == s) return;
    state_ = s;
    if (redrawIfChanged) Refresh();
}

bool SkButton::PointerOverSelf(const QPoint& local) const {
    if (!rect().contains(local)) return false;
    const QRegion m = mask();
    return m.isEmpty() || m.contains(local);
}

// ---------------------------------------------------------------------------
// Mouse

void SkButton::mouseMoveEvent(QMouseEvent* e) {
    if (hand_pointer_) ApplyCursor();
    const QPoint local = e->position().toPoint();
    if (PointerOverSelf(local)) {
        mouse_over_ = true;
        emit MouseEnter();
    } else {
        mouse_over_ = false;
    }
    if (!space_held_) {
        if (mouse_over_ && !mouse_held_ && state_ != Hot) {
            SetState(Hot);
            ShowTooltip();
        } else if (mouse_over_ && mouse_held_) {
            SetState(Down);
        } else if (!mouse_over_ && state_ != Normal) {
            SetState(Normal);
        }
    }
    emit MouseMove(ButtonsCode(e->buttons()), ShiftState(e->modifiers()),
                   static_cast<float>(e->position().x()), static_cast<float>(e->position().y()));
}

void SkButton::PressLeft(int button, int shift, float x, float y) {
    has_focus_ = true;
    mouse_held_ = true;
    if (!space_held_) SetState(Down);
    if (popup_set_) {
        if (!popup_closed_over_) ShowPopup();
    } else {
        emit MouseDown(button, shift, x, y);
    }
}

void SkButton::mousePressEvent(QMouseEvent* e) {
    last_button_ = ButtonCode(e->button());
    last_shift_ = ShiftState(e->modifiers());
    last_x_ = static_cast<float>(e->position().x());
    last_y_ = static_cast<float>(e->position().y());
    if (hand_pointer_) ApplyCursor();
    HideTooltip();
    if (last_button_ == 1 || popup_closed_over_) PressLeft(last_button_, last_shift_, last_x_, last_y_);
}

void SkButton::mouseReleaseEvent(QMouseEvent* e) {
    if (hand_pointer_) ApplyCursor();
    const int button = ButtonCode(e->button());
    const int shift = ShiftState(e->modifiers());
    const auto x = static_cast<float>(e->position().x());
    const auto y = static_cast<float>(e->position().y());
    if (popup_set_) {
        mouse_held_ = false;
        popup_closed_over_ = false;
        state_ = Normal;
        Refresh();
        return;
    }
    if (button == 1) {
        mouse_held_ = false;
        // Column 0 and row 0 are part of the button, so a release there counts.
        if (x >= 0 && x < static_cast<float>(width()) && y >= 0 && y < static_cast<float>(height())) {
            if (mode_ == 1) {
                value_ = !value_;
                Refresh();
            } else if (mode_ == 2) {
                ClearOtherOptions();
                value_ = true;
            }
            state_ = Normal;
            Refresh();
            emit Click();
        }
    }
    emit MouseUp(button, shift, x, y);
}

void SkButton::mouseDoubleClickEvent(QMouseEvent* e) {
    if (hand_pointer_) ApplyCursor();
    last_button_ = ButtonCode(e->button());
    last_shift_ = ShiftState(e->modifiers());
    last_x_ = static_cast<float>(e->position().x());
    last_y_ = static_cast<float>(e->position().y());
    if (last_button_ != 1) {
        // Any other button: an ordinary press.
        if (popup_closed_over_) PressLeft(last_button_, last_shift_, last_x_, last_y_);
        return;
    }
    state_ = Down;
    Refresh();
    PressLeft(last_button_, last_shift_, last_x_, last_y_);
    // The press above has already shown a drop-down menu when one is set.
    if (!popup_set_) emit DblClick();
}

void SkButton::leaveEvent(QEvent* e) {
    mouse_over_ = false;
    if (popup_set_) {
        if (popup_showing_) {
            popup_showing_ = false;
            popup_closed_over_ = true;
            QWidget::leaveEvent(e);
            return;
        }
        popup_closed_over_ = false;
    }
    HideTooltip();
    if (!space_held_) {
        SetState(Normal);
        emit MouseLeave();
    }
    QWidget::leaveEvent(e);
}

// ---------------------------------------------------------------------------
// Keyboard

void SkButton::keyPressEvent(QKeyEvent* e) {
    const int vk = VirtualKey(e);
    const int shift = ShiftState(e->modifiers());
    if (vk == 32 && (shift & 4)) return;  // Alt+space belongs to the window menu
    if (vk == 13) {
        emit Click();
    } else if (vk == 32) {
        // A held space bar repeats its key-down; only the first one acts, or a
        // check button would flicker between its values.
        if (!e->isAutoRepeat()) {
            if (mouse_held_) {
                SetState(mouse_over_ ? Down : Normal);
            } else {
                space_held_ = true;
                if (mode_ == 1) {
                    value_ = !value_;
                } else if (mode_ == 2) {
                    ClearOtherOptions();
                    value_ = true;
                }
                state_ = Down;
                Refresh();
            }
            if (QWidget::mouseGrabber() != this && isVisible()) grabMouse();
        }
    } else if (vk == 37 || vk == 38) {
        focusNextPrevChild(false);
    } else if (vk == 39 || vk == 40) {
        focusNextPrevChild(true);
    } else {
        space_held_ = false;
        state_ = Normal;
        Refresh();
    }
    emit KeyDown(vk, shift);
    if (!e->text().isEmpty()) emit KeyPress(e->text().at(0).unicode());
}

void SkButton::keyReleaseEvent(QKeyEvent* e) {
    if (VirtualKey(e) != 32 || e->isAutoRepeat()) {
        QWidget::keyReleaseEvent(e);
        return;
    }
    if (QWidget::mouseGrabber() == this) releaseMouse();
    if (mouse_over_ && mouse_held_)
        SetState(Down);
    else if (mouse_over_)
        SetState(Hot);
    else
        SetState(Normal);
    const bool click = !mouse_held_ && space_held_;
    space_held_ = false;
    mouse_held_ = false;
    if (click) emit Click();
    emit KeyUp(32, ShiftState(e->modifiers()));
}

// ---------------------------------------------------------------------------
// Focus, activation, other notices

void SkButton::focusInEvent(QFocusEvent* e) {
    has_focus_ = true;
    Refresh();
    QWidget::focusInEvent(e);
}

void SkButton::focusOutEvent(QFocusEvent* e) {
    // A pop-up menu of our own takes the keyboard for a while; that is no loss
    // of focus for the button.
    if (e->reason() == Qt::PopupFocusReason) {
        QWidget::focusOutEvent(e);
        return;
    }
    has_focus_ = false;
    mouse_held_ = false;
    space_held_ = false;
    if (QWidget::mouseGrabber() == this) releaseMouse();
    state_ = parent_active_ && mouse_over_ ? Hot : Normal;
    Refresh();
    QWidget::focusOutEvent(e);
}

void SkButton::changeEvent(QEvent* e) {
    switch (e->type()) {
        case QEvent::EnabledChange:
            if (!isEnabled()) {
                // A button disabled from inside its own handler gets no release or
                // key-up any more; it must not come back pressed.
                HideTooltip();
                mouse_held_ = false;
                space_held_ = false;
                state_ = Normal;
                if (QWidget::mouseGrabber() == this) releaseMouse();
            }
            Changed(QStringLiteral("Enabled"));
            Refresh();
            break;
        case QEvent::FontChange:
            Changed(QStringLiteral("Font"));
            Refresh();
            break;
        case QEvent::PaletteChange:
        case QEvent::StyleChange:
            Refresh();
            break;
        default:
            break;
    }
    QWidget::changeEvent(e);
}

void SkButton::ActivationChanged(bool active) {
    if (active) {
        parent_active_ = true;
        state_ = Normal;
    } else {
        mouse_held_ = false;
        space_held_ = false;
        has_focus_ = false;
        parent_active_ = false;
        state_ = Normal;
        if (QWidget::mouseGrabber() == this) releaseMouse();
    }
    Refresh();
}

bool SkButton::event(QEvent* e) {
    switch (e->type()) {
        case QEvent::WindowActivate:
            ActivationChanged(true);
            break;
        case QEvent::WindowDeactivate:
            ActivationChanged(false);
            break;
        case QEvent::Show:
            // Shown inside a window that is already active: no activation notice
            // will come, so take the window's state now.
            if (!parent_active_ && isActiveWindow()) ActivationChanged(true);
            break;
        default:
            break;
    }
    if (e->type() == QEvent::ShortcutOverride) {
        // With the focus on this button, Enter is ours (KeyDown, then Click),
        // not the window's default-button shortcut.
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && k->modifiers() == Qt::NoModifier) {
            e->accept();
            return true;
        }
    }
    if (e->type() == QEvent::ToolTip) return true;  // our own tip does this
    return QWidget::event(e);
}

void SkButton::resizeEvent(QResizeEvent* e) {
    RebuildShape();
    Refresh();
    QWidget::resizeEvent(e);
}

void SkButton::paintEvent(QPaintEvent* /*e*/) {
    SyncSurface();
    QPainter p(this);
    if (!surface_.isNull()) p.drawImage(0, 0, surface_);
}

// ---------------------------------------------------------------------------
// Drop-down menu

bool SkButton::PopupPlacement(int align, int flags, int w, int h, QSize menu, QPoint* topLeft,
                              int* effectiveFlags) {
    constexpr int kCentre = 4, kRight = 8, kVCentre = 16, kBottom = 32;
    QPoint at;
    int f = flags;
    switch (align) {
        case 0:
            at = {0, h};
            break;
        case 1:
            at = {0, 0};
            f = kBottom;
            break;
        case 2:
            at = {0, 0};
            f = flags | kRight;
            break;
        case 3:
            at = {w, 0};
            break;
        case 4:
            at = {0, 0};
            f = kBottom | kRight;
            break;
        case 5:
            at = {0, h};
            f = flags | kRight;
            break;
        case 6:
            at = {w, 0};
            f = kBottom;
            break;
        case 7:
            at = {w, h};
            break;
        default:
            return false;
    }
    if (f & kRight)
        at.rx() -= menu.width();
    else if (f & kCentre)
        at.rx() -= menu.width() / 2;
    if (f & kBottom)
        at.ry() -= menu.height();
    else if (f & kVCentre)
        at.ry() -= menu.height() / 2;
    if (topLeft) *topLeft = at;
    if (effectiveFlags) *effectiveFlags = f;
    return true;
}

void SkButton::SetPopupMenu(QObject* menu, int align, int flags, QAction* defaultItem) {
    auto* m = qobject_cast<QMenu*>(menu);
    if (!m) return;
    popup_menu_ = m;
    popup_align_ = align;
    popup_flags_ = flags;
    popup_default_ = defaultItem;
    popup_set_ = true;
}

void SkButton::UnsetPopupMenu() {
    popup_menu_ = nullptr;
    popup_default_ = nullptr;
    popup_set_ = false;
    popup_closed_over_ = false;
}

void SkButton::ShowPopup() {
    if (!popup_menu_) return;
    QPoint topLeft;
    if (!PopupPlacement(popup_align_, popup_flags_, width(), height(), popup_menu_->sizeHint(), &topLeft,
                        nullptr))
        return;
    popup_showing_ = true;
    if (popup_default_) popup_menu_->setDefaultAction(popup_default_);
    QPointer<SkButton> self(this);
    popup_menu_->exec(mapToGlobal(topLeft));
    if (!self) return;
    if (rect().contains(mapFromGlobal(QCursor::pos()))) {
        popup_closed_over_ = true;
    } else {
        mouse_held_ = false;
        mouse_over_ = false;
        space_held_ = false;
        popup_closed_over_ = false;
        popup_showing_ = false;
        state_ = Normal;
        Refresh();
    }
}

// ---------------------------------------------------------------------------
// Tooltip

void SkButton::ShowTooltip() {
    if (!isEnabled() || popup_closed_over_ || state_ == Down) return;
    tip_.reset();
    SkTip::Content c;
    c.text = tooltip_;
    c.title = tooltip_title_;
    c.icon = tooltip_icon_;
    c.balloon = tooltip_type_ == 1;
    c.rightToLeft = right_to_left_;
    if (tooltip_back_color_ != 0) c.background = ToQColor(tooltip_back_color_);
    tip_ = std::make_unique<SkTip>(this, c);
    tip_->Arm();
}

void SkButton::HideTooltip() {
    if (tip_) tip_->hide();
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
    const QFont ambient = parentWidget() ? parentWidget()->font() : QApplication::font();
    auto read = [&bag](const char* key, const QVariant& def) {
        return bag.ReadProperty(QLatin1String(key), def);
    };
    auto readInt = [&](const char* key, int def) {
        bool ok = false;
        const int v = read(key, def).toInt(&ok);
        return ok ? v : def;
    };
    auto readColor = [&](const char* key, OleColor def) {
        bool ok = false;
        const uint v = read(key, def).toUInt(&ok);
        return ok ? static_cast<OleColor>(v) : def;
    };
    style_ = std::clamp(readInt("ButtonStyle", 1), 0, 13);
    show_focus_rect_ = read("ShowFocusRect", false).toBool();
    const QVariant f = read("Font", ambient);
    setFont(f.canConvert<QFont>() ? f.value<QFont>() : ambient);
    back_color_ = readColor("BackColor", kButtonFace);
    const bool enabled = read("Enabled", true).toBool();
    caption_ = read("Caption", QStringLiteral("skbutton1")).toString();
    value_ = read("Value", false).toBool();
    mouse_pointer_ = readInt("MousePointer", 0);
    hand_pointer_ = read("HandPointer", false).toBool();
    mouse_icon_ = read("MouseIcon", QPixmap()).value<QPixmap>();
    picture_normal_ = read("PictureNormal", QPixmap()).value<QPixmap>();
    picture_hot_ = read("PictureHot", QPixmap()).value<QPixmap>();
    picture_down_ = read("PictureDown", QPixmap()).value<QPixmap>();
    picture_shadow_ = read("PictureShadow", false).toBool();
    picture_opacity_ = std::clamp(readInt("PictureOpacity", 255), 0, 255);
    picture_opacity_on_over_ = std::clamp(readInt("PictureOpacityOnOver", 255), 0, 255);
    disabled_picture_mode_ = std::clamp(readInt("DisabledPictureMode", 0), 0, 1);
    picture_push_on_hover_ = read("PicturePushOnHover", false).toBool();
    picture_effect_on_over_ = readInt("PictureEffectOnOver", 1);
    picture_effect_on_down_ = readInt("PictureEffectOnDown", 2);
    mask_color_ = readColor("MaskColor", Rgb(224, 224, 224));
    use_mask_color_ = read("UseMaskColor", true).toBool();
    caption_effects_ = std::clamp(readInt("CaptionEffects", 0), 0, 5);
    mode_ = std::clamp(readInt("Mode", 0), 0, 2);
    picture_align_ = std::clamp(readInt("PictureAlign", 1), 0, 8);
    caption_align_ = std::clamp(readInt("CaptionAlign", 1), 0, 2);
    fore_color_ = readColor("ForeColor", kButtonText);
    fore_color_hover_ = readColor("ForeColorHover", kButtonText);
    drop_down_separator_ = read("DropDownSeparator", false).toBool();
    tooltip_title_ = read("TooltipTitle", QString()).toString();
    tooltip_ = read("ToolTip", QString()).toString();
    tooltip_icon_ = std::clamp(readInt("TooltipIcon", 0), 0, 3);
    tooltip_type_ = std::clamp(readInt("TooltipType", 0), 0, 1);
    tooltip_back_color_ = readColor("TooltipBackColor", SystemColor(kColorInfoBk));
    right_to_left_ = read("RightToLeft", false).toBool();
    drop_down_symbol_ = readInt("DropDownSymbol", 0);
    scheme_ = std::clamp(readInt("ColorScheme", 0), 0, 3);

    setEnabled(enabled);
    DeriveAccessKey();
    ApplyCursor();
    RebuildShape();
    Refresh();
}

void SkButton::WriteProperties(PropertyBag& bag) const {
    const QFont ambient = parentWidget() ? parentWidget()->font() : QApplication::font();
    auto write = [&bag](const char* key, const QVariant& v, const QVariant& def) {
        bag.WriteProperty(QLatin1String(key), v, def);
    };
    auto writePicture = [&bag](const char* key, const QPixmap& p) {
        if (p.isNull())
            bag.Remove(QLatin1String(key));
        else
            bag.WriteProperty(QLatin1String(key), p);
    };
    write("ButtonStyle", style_, 1);
    write("ShowFocusRect", show_focus_rect_, false);
    write("Enabled", isEnabled(), true);
    write("Font", font(), ambient);
    write("BackColor", back_color_, kButtonFace);
    write("Caption", caption_, QStringLiteral("skbutton1"));
    write("ForeColor", fore_color_, kButtonText);
    write("ForeColorHover", fore_color_hover_, kButtonText);
    write("Mode", mode_, 0);
    write("Value", value_, false);
    write("MousePointer", mouse_pointer_, 0);
    write("HandPointer", hand_pointer_, false);
    writePicture("MouseIcon", mouse_icon_);
    writePicture("PictureNormal", picture_normal_);
    writePicture("PictureHot", picture_hot_);
    writePicture("PictureDown", picture_down_);
    write("PictureAlign", picture_align_, 1);
    write("PictureEffectOnOver", picture_effect_on_over_, 1);
    write("PictureEffectOnDown", picture_effect_on_down_, 2);
    write("PicturePushOnHover", picture_push_on_hover_, false);
    write("PictureShadow", picture_shadow_, false);
    write("PictureOpacity", picture_opacity_, 255);
    write("PictureOpacityOnOver", picture_opacity_on_over_, 255);
    write("DisabledPictureMode", disabled_picture_mode_, 0);
    write("CaptionEffects", caption_effects_, QVariant());
    write("UseMaskColor", use_mask_color_, true);
    write("MaskColor", mask_color_, Rgb(224, 224, 224));
    write("CaptionAlign", caption_align_, 1);
    write("ToolTip", tooltip_, QString());
    write("TooltipType", tooltip_type_, 0);
    write("TooltipIcon", tooltip_icon_, 0);
    write("TooltipTitle", tooltip_title_, QString());
    write("TooltipBackColor", tooltip_back_color_, SystemColor(kColorInfoBk));
    write("RightToLeft", right_to_left_, false);
    write("DropDownSymbol", drop_down_symbol_, 0);
    write("DropDownSeparator", drop_down_separator_, false);
    write("ColorScheme", scheme_, 0);
}

}  // namespace tessel::controls
