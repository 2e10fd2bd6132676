// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// SkButton: the self-drawn push button used for every command of the main
// window.  Fourteen looks (ButtonStyle 0-13; 13 is drawn as style 2 with
// colour scheme 0 because we have no theme engine), three behaviours (push,
// check, option), pictures with effects, a drop-down symbol and menu, and
// its own tooltip.  Every state change ends in one redraw (Refresh) that
// marks the back buffer stale; the next paint (or read of the buffer)
// draws the whole button into it, and paintEvent copies it.
//
// Typical use in a window:
//
//   auto* b = new SkButton(page, QStringLiteral("skbParse"));  // caption "skbParse"
//   b->setButtonStyle(13);            // becomes style 2, scheme 0 when drawn
//   b->setCaption(QStringLiteral("解析"));
//   b->setGeometryTwips(QRectF(4680, 120, 1095, 375));   // or setGeometry(pixels)
//   connect(b, &SkButton::Click, this, &Window::OnParse);
//
// Mouse buttons and shift states in events use the form engine's codes:
// Button 1 left, 2 right, 4 middle; Shift 1 shift, 2 ctrl, 4 alt.  Key codes
// are the virtual-key numbers (13 Enter, 27 Esc, 32 space, 37-40 arrows,
// 65-90 letters, ...).

#include <QAction>
#include <QCursor>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <memory>

#include "controls/ole_color.h"

class QMenu;
class QShortcut;

namespace tessel::controls {

class PropertyBag;
class SkTip;

class SkButton : public QWidget {
    Q_OBJECT

 public:
    enum State { Normal = 0, Hot = 1, Down = 2 };

    // A new button: style 13 with its style rules applied, caption = `name`
    // (also the object name), font face Tahoma (or the nearest sans font)
    // 8.25 pt, enabled, push mode.
    explicit SkButton(QWidget* parent = nullptr, const QString& name = QStringLiteral("skbutton1"));
    ~SkButton() override;

    // --- look ---------------------------------------------------------------
    int ButtonStyle() const { return style_; }
    // Applies the style's default ColorScheme and colours, rebuilds the
    // shape, redraws.  Values outside 0..13 are ignored.
    void setButtonStyle(int style);
    int ColorScheme() const { return scheme_; }
    void setColorScheme(int scheme);  // 0..3, applies the scheme colours
    OleColor BackColor() const { return back_color_; }
    void setBackColor(OleColor c);  // ColorScheme becomes 3 (except style 4)
    OleColor ForeColor() const { return fore_color_; }
    void setForeColor(OleColor c);
    OleColor ForeColorHover() const { return fore_color_hover_; }
    void setForeColorHover(OleColor c);
    bool ShowFocusRect() const { return show_focus_rect_; }
    void setShowFocusRect(bool on) { show_focus_rect_ = on; }
    // The button's font is the widget font (setFont redraws).
    QFont Font() const { return font(); }

    QString Caption() const { return caption_; }
    void setCaption(const QString& caption);  // derives the access key
    int CaptionAlign() const { return caption_align_; }
    void setCaptionAlign(int a);
    int CaptionEffects() const { return caption_effects_; }
    void setCaptionEffects(int e);
    bool RightToLeft() const { return right_to_left_; }
    void setRightToLeft(bool on);

    // Enabled is the widget's own (setEnabled redraws).
    bool Enabled() const { return isEnabled(); }

    // --- behaviour --------------------------------------------------------
    int Mode() const { return mode_; }  // 0 push, 1 check, 2 option
    void setMode(int mode);
    bool Value() const { return value_; }
    // Mode 1/2: stored (False returns to Normal).  Mode 0: ignored.
    void setValue(bool value);

    // --- pictures -----------------------------------------------------------
    QPixmap PictureNormal() const { return picture_normal_; }
    void setPictureNormal(const QPixmap& p);  // a null picture clears Hot/Down too
    QPixmap PictureHot() const { return picture_hot_; }
    void setPictureHot(const QPixmap& p);  // becomes PictureNormal when that is empty
    QPixmap PictureDown() const { return picture_down_; }
    void setPictureDown(const QPixmap& p);
    int PictureAlign() const { return picture_align_; }
    void setPictureAlign(int a);
    bool PictureShadow() const { return picture_shadow_; }
    void setPictureShadow(bool on);
    int PictureOpacity() const { return picture_opacity_; }
    void setPictureOpacity(int a);
    int PictureOpacityOnOver() const { return picture_opacity_on_over_; }
    void setPictureOpacityOnOver(int a);
    int DisabledPictureMode() const { return disabled_picture_mode_; }
    void setDisabledPictureMode(int m);
    bool PicturePushOnHover() const { return picture_push_on_hover_; }
    void setPicturePushOnHover(bool on);
    int PictureEffectOnOver() const { return picture_effect_on_over_; }
    void setPictureEffectOnOver(int e);
    int PictureEffectOnDown() const { return picture_effect_on_down_; }
    void setPictureEffectOnDown(int e);
    OleColor MaskColor() const { return mask_color_; }
    void setMaskColor(OleColor c);
    bool UseMaskColor() const { return use_mask_color_; }
    void setUseMaskColor(bool on);

    // --- drop-down, pointer, tooltip ----------------------------------------
    int DropDownSymbol() const { return drop_down_symbol_; }
    void setDropDownSymbol(int s);
    bool DropDownSeparator() const { return drop_down_separator_; }
    void setDropDownSeparator(bool on);
    int MousePointer() const { return mouse_pointer_; }
    void setMousePointer(int code);
    bool HandPointer() const { return hand_pointer_; }
    void setHandPointer(bool on);
    QPixmap MouseIcon() const { return mouse_icon_; }
    void setMouseIcon(const QPixmap& icon);
    QString ToolTip() const { return tooltip_; }
    void setToolTipText(const QString& text);
    QString TooltipTitle() const { return tooltip_title_; }
    void setTooltipTitle(const QString& title);
    int ToolTipIcon() const { return tooltip_icon_; }  // 0 none, 1 info, 2 warning, 3 error
    void setToolTipIcon(int icon);
    int ToolTipType() const { return tooltip_type_; }  // 0 standard, 1 balloon
    void setToolTipType(int type);
    OleColor TooltipBackColor() const { return tooltip_back_color_; }
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
    // The back buffer (W x H pixels) and the boxes of the last drawing; these
    // draw first when a redraw is pending or the size has changed since.
    const QImage& Surface();
    QRect CaptionRect();
    QRect PictureRect();
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

 private:
    friend class SkButtonPainter;

    void Changed(const QString& name);
    void SetState(State s, bool redrawIfChanged = true);
    void ApplyStyleRules();
    void ApplySchemeColors();
    void RebuildShape();
    void DeriveAccessKey();
    void UpdateShortcuts();
    void ActivateByKey(int keyCode);
    void ClearOtherOptions();
    void PressLeft(int button, int shift, float x, float y);
    void ShowPopup();
    void ShowTooltip();
    void HideTooltip();
    void ApplyCursor();
    void SyncSurface();
    void Render();
    void ActivationChanged(bool active);
    bool PointerOverSelf(const QPoint& local) const;

    // properties
    int style_ = 13;
    int scheme_ = 0;
    OleColor back_color_ = kButtonFace;
    OleColor fore_color_ = kButtonText;
    OleColor fore_color_hover_ = kBlack;
    bool show_focus_rect_ = false;
    QString caption_;
    int caption_align_ = 1;
    int caption_effects_ = 0;
    bool right_to_left_ = false;
    int mode_ = 0;
    bool value_ = false;
    QPixmap picture_normal_, picture_hot_, picture_down_;
    int picture_align_ = 1;
    bool picture_shadow_ = false;
    int picture_opacity_ = 255;
    int picture_opacity_on_over_ = 255;
    int disabled_picture_mode_ = 0;
    bool picture_push_on_hover_ = false;
    int picture_effect_on_over_ = 0;
    int picture_effect_on_down_ = 0;
    OleColor mask_color_ = Rgb(224, 224, 224);
    bool use_mask_color_ = true;
    int drop_down_symbol_ = 0;
    bool drop_down_separator_ = false;
    int mouse_pointer_ = 0;
    bool hand_pointer_ = false;
    QPixmap mouse_icon_;
    QString tooltip_;
    QString tooltip_title_;
    int tooltip_icon_ = 0;
    int tooltip_type_ = 0;
    OleColor tooltip_back_color_ = 0;
    bool display_as_default_ = false;
    bool cancel_ = false;

    // run-time state
    State state_ = Normal;
    bool mouse_over_ = false;
    bool mouse_held_ = false;
    bool space_held_ = false;
    bool has_focus_ = false;
    bool parent_active_ = false;
    int last_button_ = 0;
    int last_shift_ = 0;
    float last_x_ = 0;
    float last_y_ = 0;
    QChar access_key_;
    QPointer<QMenu> popup_menu_;
    QPointer<QAction> popup_default_;
    int popup_align_ = 0;
    int popup_flags_ = 0;
    bool popup_set_ = false;
    bool popup_showing_ = false;
    bool popup_closed_over_ = false;
    QShortcut* access_shortcut_ = nullptr;
    QShortcut* default_shortcut_ = nullptr;
    QShortcut* cancel_shortcut_ = nullptr;
    std::unique_ptr<SkTip> tip_;

    // drawing
    QImage surface_;
    bool surface_stale_ = true;
    QSize shape_size_;  // the size the corner mask was cut for
    QRect caption_rect_;
    QRect picture_rect_;
    QRect drop_down_rect_;
};

}  // namespace tessel::controls
