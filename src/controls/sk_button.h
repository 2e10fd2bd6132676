// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// SkButton: the self-drawn push button used for every command of the main
// window.  It stands on Qt's button, which gives it clicks on release,
// the keyboard focus chain, access keys, check and option behaviour and an
// accessible role; it adds fourteen looks (ButtonStyle 0-13; 13 is drawn as
// style 2 with colour scheme 0 because we have no theme engine), pictures
// with effects, a drop-down symbol and menu, its own tooltip, and events
// that carry the form engine's codes (see sk_input_codes.h).
//
// Typical use in a window:
//
//   auto* b = new SkButton(page, QStringLiteral("skbParse"));  // caption "skbParse"
//   b->setButtonStyle(13);            // becomes style 2, scheme 0 when drawn
//   b->setCaption(QStringLiteral("解析"));
//   b->setGeometryTwips(QRectF(4680, 120, 1095, 375));   // or setGeometry(pixels)
//   connect(b, &SkButton::Click, this, &Window::OnParse);
//
// Click is raised exactly when Qt's clicked() is.  Where the button's own
// rules differ from Qt's (space toggles at key-down, Enter clicks without
// toggling, arrows move the focus, access keys click at once, option buttons
// are cleared by activation only) the event handlers below say so.

#include <QAbstractButton>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <memory>

#include "controls/ole_color.h"
#include "controls/sk_button_layout.h"
#include "controls/sk_button_props.h"

class QAction;
class QMenu;
class QShortcut;

namespace tessel::controls {

class PropertyBag;
class SkTip;

class SkButton : public QAbstractButton {
    Q_OBJECT

 public:
    using State = SkState;
    static constexpr State Normal = SkState::Normal;
    static constexpr State Hot = SkState::Hot;
    static constexpr State Down = SkState::Down;

    // A new button: style 13 with its style rules applied, caption = `name`
    // (also the object name), font face Tahoma (or the nearest sans font)
    // 8.25 pt, enabled, push mode.
    explicit SkButton(QWidget* parent = nullptr, const QString& name = QStringLiteral("skbutton1"));
    ~SkButton() override;

    // --- look ---------------------------------------------------------------
    int ButtonStyle() const { return p_.style; }
    // Applies the style's default ColorScheme and colours, rebuilds the
    // shape, redraws.  Values outside 0..13 are ignored.
    void setButtonStyle(int style);
    int ColorScheme() const { return p_.scheme; }
    void setColorScheme(int scheme);  // 0..3, applies the scheme colours
    OleColor BackColor() const { return p_.backColor; }
    void setBackColor(OleColor c);  // ColorScheme becomes 3 (except style 4)
    OleColor ForeColor() const { return p_.foreColor; }
    void setForeColor(OleColor c);
    OleColor ForeColorHover() const { return p_.foreColorHover; }
    void setForeColorHover(OleColor c);
    bool ShowFocusRect() const { return p_.showFocusRect; }
    void setShowFocusRect(bool on) { p_.showFocusRect = on; }
    // The button's font is the widget font (setFont redraws).
    QFont Font() const { return font(); }

    // The caption is Qt's button text; setting it derives the access key.
    QString Caption() const { return text(); }
    void setCaption(const QString& caption);
    int CaptionAlign() const { return p_.captionAlign; }
    void setCaptionAlign(int a);
    int CaptionEffects() const { return p_.captionEffects; }
    void setCaptionEffects(int e);
    bool RightToLeft() const { return p_.rightToLeft; }
    void setRightToLeft(bool on);

    // Enabled is the widget's own (setEnabled redraws).
    bool Enabled() const { return isEnabled(); }

    // --- behaviour --------------------------------------------------------
    int Mode() const { return p_.mode; }  // 0 push, 1 check, 2 option
    // Mode 1 and 2 make Qt's button checkable (2 also joins the option group
    // of its container); 0 clears Value.
    void setMode(int mode);
    // Value is Qt's checked state.  Mode 1/2: stored as given (False returns
    // to Normal), without touching other option buttons.  Mode 0: ignored.
    bool Value() const { return isChecked(); }
    void setValue(bool value);

    // --- pictures -----------------------------------------------------------
    QPixmap PictureNormal() const { return p_.pictureNormal; }
    void setPictureNormal(const QPixmap& p);  // a null picture clears Hot/Down too
    QPixmap PictureHot() const { return p_.pictureHot; }
    void setPictureHot(const QPixmap& p);  // becomes PictureNormal when that is empty
    QPixmap PictureDown() const { return p_.pictureDown; }
    void setPictureDown(const QPixmap& p);
    int PictureAlign() const { return p_.pictureAlign; }
    void setPictureAlign(int a);
    bool PictureShadow() const { return p_.pictureShadow; }
    void setPictureShadow(bool on);
    int PictureOpacity() const { return p_.pictureOpacity; }
    void setPictureOpacity(int a);
    int PictureOpacityOnOver() const { return p_.pictureOpacityOnOver; }
    void setPictureOpacityOnOver(int a);
    int DisabledPictureMode() const { return p_.disabledPictureMode; }
    void setDisabledPictureMode(int m);
    bool PicturePushOnHover() const { return p_.picturePushOnHover; }
    void setPicturePushOnHover(bool on);
    int PictureEffectOnOver() const { return p_.pictureEffectOnOver; }
    void setPictureEffectOnOver(int e);
    int PictureEffectOnDown() const { return p_.pictureEffectOnDown; }
    void setPictureEffectOnDown(int e);
    OleColor MaskColor() const { return p_.maskColor; }
    void setMaskColor(OleColor c);
    bool UseMaskColor() const { return p_.useMaskColor; }
    void setUseMaskColor(bool on);

    // --- drop-down, pointer, tooltip ----------------------------------------
    int DropDownSymbol() const { return p_.dropDownSymbol; }
    void setDropDownSymbol(int s);
    bool DropDownSeparator() const { return p_.dropDownSeparator; }
    void setDropDownSeparator(bool on);
    int MousePointer() const { return p_.mousePointer; }
    void setMousePointer(int code);
    bool HandPointer() const { return p_.handPointer; }
    void setHandPointer(bool on);
    QPixmap MouseIcon() const { return p_.mouseIcon; }
    void setMouseIcon(const QPixmap& icon);
    QString ToolTip() const { return p_.toolTip; }
    void setToolTipText(const QString& text);
    QString TooltipTitle() const { return p_.tooltipTitle; }
    void setTooltipTitle(const QString& title);
    int ToolTipIcon() const { return p_.toolTipIcon; }  // 0 none, 1 info, 2 warning, 3 error
    void setToolTipIcon(int icon);
    int ToolTipType() const { return p_.toolTipType; }  // 0 standard, 1 balloon
    void setToolTipType(int type);
    OleColor TooltipBackColor() const { return p_.tooltipBackColor; }
    void setTooltipBackColor(OleColor c);  // 0 keeps the platform's colour

    // The container marks its default button (Enter anywhere in the window
    // clicks it, and it shows the focus frame) and its cancel button (Esc).
    bool DisplayAsDefault() const { return display_as_default_; }
    void setDisplayAsDefault(bool on);
    bool Cancel() const { return cancel_; }
    void setCancel(bool on);

    // --- methods ------------------------------------------------------------
    // Remembers a drop-down menu shown on press, aligned 0..7 to the button;
    // `flags` are the pop-up flags (8 right-align, 32 bottom-align, 4 centre,
    // 16 vertical centre).  An object that is not a QMenu is ignored.
    void SetPopupMenu(QObject* menu, int align, int flags = 0, QAction* defaultItem = nullptr);
    void UnsetPopupMenu();
    void About();
    // Hands `address` to the desktop's "open" (the default browser).
    bool OpenWebsite(const QString& address);
    // The single redraw entry point: the look is drawn again before the
    // button is next painted or its back buffer is read.
    void Refresh();

    // Geometry in twips (15 per pixel), shown at the nearest pixel.  Width and
    // height never go below 220 twips (15 pixels).
    void setGeometryTwips(const QRectF& twips);

    // --- run-time state (read-only) -----------------------------------------
    State ButtonState() const { return state_; }
    bool MouseOver() const { return mouse_over_; }
    bool MouseHeld() const { return mouse_held_; }
    bool SpaceHeld() const { return space_held_; }
    bool HasFocus() const { return has_focus_; }
    bool ParentActive() const { return parent_active_; }
    // Lower-case access key derived from the caption, or a null QChar.
    QChar AccessKey() const { return access_key_; }

    // Everything the drawing depends on, now.
    ButtonLook Look() const;
    // The back buffer at the widget's device pixel ratio, drawn again first
    // when a redraw is pending or its size or ratio has changed.
    const QImage& Surface();
    // The button drawn for a screen of another device pixel ratio.
    QImage RenderAt(qreal ratio) const;
    // Boxes of the caption and the picture as they are drawn now.
    QRect CaptionRect() const;
    QRect PictureRect() const;
    // The tooltip window while one exists (for tests and the gallery).
    QWidget* TooltipWindow() const;

    // Stored properties, read and written in their fixed orders.
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Where a menu of size `menu` opens for alignment `align` (0..7) on a
    // button of W x H pixels: the top-left corner relative to the button, and
    // the effective pop-up flags.  False for alignments that show nothing.
    static bool PopupPlacement(int align, int flags, int w, int h, QSize menu, QPoint* topLeft,
                               int* effectiveFlags);

 signals:
    void Click();
    void DblClick();
    void MouseEnter();
    void MouseLeave();
    void MouseDown(int Button, int Shift, float X, float Y);
    void MouseUp(int Button, int Shift, float X, float Y);
    // After the state handling of every pointer movement over the button (or
    // anywhere while the left button is held on it).
    void MouseMove(int Button, int Shift, float X, float Y);
    void KeyDown(int KeyCode, int Shift);
    void KeyUp(int KeyCode, int Shift);
    void KeyPress(int KeyAscii);
    // Raised by every property setter with the property's name.
    void PropertyChanged(const QString& name);

 protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void nextCheckState() override;
    void checkStateSet() override;

 private:
    void Changed(const QString& name);
    void SetState(State s);
    void ApplyStyleRules();
    void ApplySchemeColors();
    void RebuildShape();
    void DeriveAccessKey();
    void UpdateShortcuts();
    void JoinOptionGroup();
    void Activate();
    void ClickWithoutActivating();
    void ActivateByKey(int keyCode);
    void PressLeft(QMouseEvent* e);
    void ShowPopup();
    void ShowTooltip();
    void HideTooltip();
    void ApplyCursor();
    void ActivationChanged(bool active);
    bool PointerOverSelf(const QPoint& local) const;
    template <class T>
    void SetProp(T ButtonProps::*member, const char* name, T v);
    QFont AmbientFont() const;

    ButtonProps p_;
    bool display_as_default_ = false;
    bool cancel_ = false;

    // run-time state
    State state_ = Normal;
    bool mouse_over_ = false;
    bool mouse_held_ = false;
    bool space_held_ = false;
    bool has_focus_ = false;
    bool parent_active_ = false;
    // The next click of Qt's button only reports: the key that caused it has
    // already toggled or selected the button.
    bool activation_done_ = false;
    QChar access_key_;
    QPointer<QMenu> popup_menu_;
    QPointer<QAction> popup_default_;
    int popup_align_ = 0;
    int popup_flags_ = 0;
    bool popup_set_ = false;
    bool popup_showing_ = false;
    bool popup_closed_over_ = false;
    QShortcut* default_shortcut_ = nullptr;
    QShortcut* cancel_shortcut_ = nullptr;
    std::unique_ptr<SkTip> tip_;

    // drawing
    QImage surface_;
    bool surface_stale_ = true;
    QSize surface_size_;  // the size and ratio the buffer was drawn for
    qreal surface_ratio_ = 0;
    QSize shape_size_;  // the size the corner mask was cut for
};

}  // namespace tessel::controls
