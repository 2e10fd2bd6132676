// SPDX-License-Identifier: GPL-3.0-or-later
// SkButton: pointer, keyboard, focus and activation, the drop-down menu and
// the tooltip.  Qt's button decides when a release is a click and keeps the
// option groups; the handlers here keep the button's own states and events
// around it, and say where its rules differ from Qt's.
#include <QApplication>
#include <QButtonGroup>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <cmath>

#include "controls/sk_button.h"
#include "controls/sk_input_codes.h"
#include "controls/sk_tip.h"

namespace tessel::controls {

using namespace input;

namespace {

float X(const QMouseEvent* e) { return static_cast<float>(e->position().x()); }
float Y(const QMouseEvent* e) { return static_cast<float>(e->position().y()); }

}  // namespace

void SkButton::SetState(State s) {
    if (state_ == s) return;
    state_ = s;
    Refresh();
}

bool SkButton::PointerOverSelf(const QPoint& local) const {
    if (!rect().contains(local)) return false;
    const QRegion m = mask();
    return m.isEmpty() || m.contains(local);
}

// ---------------------------------------------------------------------------
// Mouse

void SkButton::mouseMoveEvent(QMouseEvent* e) {
    if (p_.handPointer) ApplyCursor();
    mouse_over_ = PointerOverSelf(e->position().toPoint());
    if (mouse_over_) emit MouseEnter();
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
    // Qt's button follows a held press in and out of the button.
    if (e->buttons() & Qt::LeftButton) QAbstractButton::mouseMoveEvent(e);
    emit MouseMove(ButtonsCode(e->buttons()), ShiftState(e->modifiers()), X(e), Y(e));
    e->accept();
}

void SkButton::PressLeft(QMouseEvent* e) {
    has_focus_ = true;
    mouse_held_ = true;
    if (!space_held_) SetState(Down);
    if (popup_set_) {
        if (!popup_closed_over_) ShowPopup();
        return;
    }
    if (e->button() == Qt::LeftButton) QAbstractButton::mousePressEvent(e);
    emit MouseDown(ButtonCode(e->button()), ShiftState(e->modifiers()), X(e), Y(e));
}

void SkButton::mousePressEvent(QMouseEvent* e) {
    if (p_.handPointer) ApplyCursor();
    HideTooltip();
    // Other buttons press only right after a drop-down menu closed over us.
    if (e->button() == Qt::LeftButton || popup_closed_over_) PressLeft(e);
    e->accept();
}

void SkButton::mouseReleaseEvent(QMouseEvent* e) {
    if (p_.handPointer) ApplyCursor();
    if (popup_set_) {
        mouse_held_ = false;
        popup_closed_over_ = false;
        state_ = Normal;
        Refresh();
        e->accept();
        return;
    }
    const int button = ButtonCode(e->button());
    const int shift = ShiftState(e->modifiers());
    const float x = X(e), y = Y(e);
    QPointer<SkButton> self(this);
    if (e->button() == Qt::LeftButton) {
        mouse_held_ = false;
        // A position inside a pixel belongs to that pixel; Qt would round it to
        // the nearest one (74.5 on a 75-pixel button would miss).
        const QPointF at(std::floor(e->position().x()), std::floor(e->position().y()));
        if (rect().contains(at.toPoint())) SetState(Normal);
        QMouseEvent release(e->type(), at, e->scenePosition(), e->globalPosition(), e->button(), e->buttons(),
                            e->modifiers(), e->pointingDevice());
        QAbstractButton::mouseReleaseEvent(&release);  // a click when inside and still pressed
    }
    if (self) emit MouseUp(button, shift, x, y);
    e->accept();
}

void SkButton::mouseDoubleClickEvent(QMouseEvent* e) {
    // Qt's button treats the second press of a double-click as a press; here it
    // is a press followed by DblClick.
    if (p_.handPointer) ApplyCursor();
    if (e->button() != Qt::LeftButton) {
        if (popup_closed_over_) PressLeft(e);
        e->accept();
        return;
    }
    state_ = Down;
    Refresh();
    QPointer<SkButton> self(this);
    PressLeft(e);
    // The press above has already shown a drop-down menu when one is set.
    if (self && !popup_set_) emit DblClick();
    e->accept();
}

void SkButton::leaveEvent(QEvent* e) {
    mouse_over_ = false;
    if (popup_set_) {
        if (popup_showing_) {
            popup_showing_ = false;
            popup_closed_over_ = true;
            QAbstractButton::leaveEvent(e);
            return;
        }
        popup_closed_over_ = false;
    }
    HideTooltip();
    if (!space_held_) {
        SetState(Normal);
        emit MouseLeave();
    }
    QAbstractButton::leaveEvent(e);
}

// ---------------------------------------------------------------------------
// Keyboard

void SkButton::keyPressEvent(QKeyEvent* e) {
    // Replaces Qt's keys: Enter clicks (without toggling), the space bar
    // toggles or selects at key-down and clicks at key-up, and the arrows move
    // the focus as Tab and Shift+Tab do, also between option buttons.
    const int vk = VirtualKey(e->key());
    const int shift = ShiftState(e->modifiers());
    if (vk == kKeySpace && (shift & kAltShift)) return;  // Alt+space belongs to the window menu
    QPointer<SkButton> self(this);
    if (vk == kKeyEnter) {
        ClickWithoutActivating();
        if (!self) return;
    } else if (vk == kKeySpace) {
        // A held space bar repeats its key-down; only the first one acts, or a
        // check button would flicker between its values.
        if (!e->isAutoRepeat()) {
            if (mouse_held_) {
                SetState(mouse_over_ ? Down : Normal);
            } else {
                space_held_ = true;
                Activate();
                state_ = Down;
                Refresh();
            }
            if (QWidget::mouseGrabber() != this && isVisible()) grabMouse();
        }
    } else if (vk == kKeyLeft || vk == kKeyUp) {
        focusNextPrevChild(false);
    } else if (vk == kKeyRight || vk == kKeyDown) {
        focusNextPrevChild(true);
    } else {
        space_held_ = false;
        state_ = Normal;
        Refresh();
    }
    emit KeyDown(vk, shift);
    if (self && !e->text().isEmpty()) emit KeyPress(e->text().at(0).unicode());
}

void SkButton::keyReleaseEvent(QKeyEvent* e) {
    if (e->key() != Qt::Key_Space || e->isAutoRepeat()) {
        QAbstractButton::keyReleaseEvent(e);
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
    QPointer<SkButton> self(this);
    if (click) ClickWithoutActivating();  // the key-down already toggled
    if (self) emit KeyUp(kKeySpace, ShiftState(e->modifiers()));
}

// ---------------------------------------------------------------------------
// Focus, activation, other notices

void SkButton::focusInEvent(QFocusEvent* e) {
    has_focus_ = true;
    Refresh();
    QAbstractButton::focusInEvent(e);
    // Qt takes the unselected members of a button group out of the Tab chain
    // (as radio buttons are); every skinned button stays in it.
    if (QButtonGroup* g = group()) {
        for (QAbstractButton* b : g->buttons())
            if (qobject_cast<SkButton*>(b)) b->setFocusPolicy(Qt::StrongFocus);
    }
}

void SkButton::focusOutEvent(QFocusEvent* e) {
    // A pop-up menu of our own takes the keyboard for a while; that is no loss
    // of focus for the button.
    if (e->reason() != Qt::PopupFocusReason) {
        has_focus_ = false;
        mouse_held_ = false;
        space_held_ = false;
        if (QWidget::mouseGrabber() == this) releaseMouse();
        state_ = parent_active_ && mouse_over_ ? Hot : Normal;
        Refresh();
    }
    QAbstractButton::focusOutEvent(e);
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
        case QEvent::ParentChange:
            JoinOptionGroup();
            break;
        default:
            break;
    }
    QAbstractButton::changeEvent(e);
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
        case QEvent::ShortcutOverride: {
            // With the focus on this button, Enter is ours (KeyDown, then Click),
            // not the window's default-button shortcut.
            auto* k = static_cast<QKeyEvent*>(e);
            if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) &&
                k->modifiers() == Qt::NoModifier) {
                e->accept();
                return true;
            }
            break;
        }
        case QEvent::Shortcut:
            // Our access key (the only shortcut Qt's button registers for us).
            // An ambiguous one is left to Qt, which moves the focus between the
            // buttons sharing it.
            if (!static_cast<QShortcutEvent*>(e)->isAmbiguous()) {
                ActivateByKey(0);
                return true;
            }
            break;
        case QEvent::ToolTip:
            return true;  // our own tip does this
        default:
            break;
    }
    return QAbstractButton::event(e);
}

// ---------------------------------------------------------------------------
// Drop-down menu

bool SkButton::PopupPlacement(int align, int flags, int w, int h, QSize menu, QPoint* topLeft,
                              int* effectiveFlags) {
    constexpr int kCentre = 4, kRight = 8, kVCentre = 16, kBottom = 32;
    struct Rule {
        int x, y;      // corner of the button: 0 left/top, 1 right/bottom
        int set, add;  // flags replaced by `set` (when non-zero), or `add`ed
    };
    constexpr Rule kRules[8] = {
        {0, 1, 0, 0},      {0, 0, kBottom, 0}, {0, 0, 0, kRight}, {1, 0, 0, 0}, {0, 0, kBottom | kRight, 0},
        {0, 1, 0, kRight}, {1, 0, kBottom, 0}, {1, 1, 0, 0}};
    if (align < 0 || align > 7) return false;
    const Rule& r = kRules[align];
    QPoint at(r.x * w, r.y * h);
    const int f = r.set ? r.set : flags | r.add;
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
    c.text = p_.toolTip;
    c.title = p_.tooltipTitle;
    c.icon = p_.toolTipIcon;
    c.balloon = p_.toolTipType == 1;
    c.rightToLeft = p_.rightToLeft;
    if (p_.tooltipBackColor != 0) c.background = ToQColor(p_.tooltipBackColor);
    tip_ = std::make_unique<SkTip>(this, c);
    tip_->Arm();
}

void SkButton::HideTooltip() {
    if (tip_) tip_->hide();
}

}  // namespace tessel::controls
