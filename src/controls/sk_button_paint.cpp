// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing of SkButton: one redraw that paints the whole button into its back
// buffer.  Each look draws its background, then the content (caption,
// picture, drop-down parts), then its frame lines.
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <optional>

#include "controls/raster.h"
#include "controls/sk_button.h"
#include "text/vbstring.h"

namespace tessel::controls {

namespace {

int HalfEven(int v) { return static_cast<int>(tessel::text::RoundHalfEven(v / 2.0)); }

OleColor Solid(OleColor c) {
    const qint64 t = TranslateColor(c);
    return t < 0 ? 0xFFFFFFu : static_cast<OleColor>(t);
}

// Styles whose content moves one pixel right and down while pressed.
bool ContentMoves(int style) {
    switch (style) {
        case 0:
        case 1:
        case 5:
        case 6:
        case 7:
        case 10:
        case 11:
        case 12:
            return true;
        default:
            return false;
    }
}

// The gradient looks 3 to 10, each in the manner of style 2 with a palette
// of its own built from Shift steps of the back colour.
struct GradientLook {
    bool glossy;     // two halves (light top, darker bottom) instead of one ramp
    float top;       // ramp start (glossy: top half start)
    float bottom;    // ramp end (glossy: bottom half end)
    float frame;     // outer frame = Shift(back, frame)
    bool orangeHot;  // the warm hot frame of style 2, else a lighter own frame
    bool flat;       // no frame or background relief until hot or pressed
};

GradientLook LookOf(int style) {
    switch (style) {
        case 3:
            return {true, 0.12f, 0.04f, -0.45f, true, false};
        case 4:
            return {false, 0.06f, -0.02f, -0.30f, false, true};
        case 5:
            return {false, 0.12f, -0.04f, -0.50f, true, false};
        case 6:
            return {true, 0.16f, -0.02f, -0.55f, false, false};
        case 7:
            return {false, 0.10f, -0.05f, -0.45f, false, false};
        case 8:
            return {true, 0.14f, 0.03f, -0.40f, false, false};
        case 9:
            return {false, 0.09f, -0.06f, -0.55f, true, false};
        default:
            return {true, 0.25f, 0.00f, -0.50f, false, false};  // 10
    }
}

}  // namespace

class SkButtonPainter {
 public:
    explicit SkButtonPainter(SkButton& b) : b_(b) {}

    void Paint() {
        W_ = b_.width();
        H_ = b_.height();
        back_ = Solid(b_.back_color_);
        img_ = QImage(std::max(W_, 1), std::max(H_, 1), QImage::Format_RGB32);
        img_.fill(ToQColor(back_));
        state_ = b_.state_;
        if (b_.mode_ != 0 && b_.style_ != 0 && b_.style_ != 6 && b_.value_) state_ = SkButton::Down;
        enabled_ = b_.isEnabled();
        focusShown_ = b_.parent_active_ && (b_.has_focus_ || b_.display_as_default_);
        switch (b_.style_) {
            case 0:
            case 1:
            case 11:
            case 12:
                Classic();
                break;
            case 2:
                Style2();
                break;
            default:
                GradientStyle();
                break;
        }
        b_.surface_ = img_;
    }

 private:
    // --- the looks ------------------------------------------------------------

    void Style2() {
        const int W = W_, H = H_;
        const int scheme = b_.scheme_;
        const OleColor back = back_;
        if (!enabled_) {
            Disabled();
            return;
        }
        auto gradients = [&] {
            if (scheme == 2) {
                const int h2 = HalfEven(H);
                Gradient(img_, 0, 0, W, h2, Shift(back, 0.22f), back);
                Gradient(img_, 0, h2, W, h2, Shift(back, -0.01f), Shift(back, -0.15f));
            } else {
                Gradient(img_, 0, 0, W, H, Shift(back, 0.07f), back);
                Gradient(img_, 0, 0, W, 4, Shift(back, 0.10f), Shift(back, 0.08f));
            }
        };
        if (state_ == SkButton::Normal) {
            gradients();
            Content();
            if (scheme == 2) {
                Line(img_, W - 2, 2, W - 2, H - 2, kWhite);
                Line(img_, 1, 1, 1, H - 2, kWhite);
            } else {
                Line(img_, 1, H - 2, W - 2, H - 2, Shift(back, -0.09f));
                Line(img_, 1, H - 3, W - 2, H - 3, Shift(back, -0.05f));
                Line(img_, 1, H - 4, W - 2, H - 4, Shift(back, -0.01f));
                Line(img_, W - 2, 2, W - 2, H - 2, Shift(back, -0.08f));
                Line(img_, 1, 1, 1, H - 2, Average(kWhite, back));
            }
        } else if (state_ == SkButton::Hot) {
            gradients();
            Content();
            HotFrame();
        } else {
            if (scheme == 2) {
                Gradient(img_, 0, 0, W, H - 6, Shift(back, -0.2f), Shift(back, 0.05f));
                Gradient(img_, 0, H - 6, W, H - 1, Shift(back, 0.08f), kWhite);
                Content();
                FrameRect(img_, 1, 1, W - 1, H - 1, kWhite);
            } else {
                FillRect(img_, 0, 0, W, H, Shift(back, -0.05f));
                Content();
                Line(img_, 1, 1, W - 2, 1, Shift(back, -0.16f));
                Line(img_, 1, 2, W - 2, 2, Shift(back, -0.10f));
                Line(img_, 1, H - 2, W - 2, H - 2, Shift(back, 0.01f));
                Line(img_, 1, 1, 1, H - 2, Shift(back, -0.16f));
                Line(img_, 2, 2, 2, H - 2, Shift(back, -0.10f));
                Line(img_, W - 2, 2, W - 2, H - 2, Shift(back, 0.04f));
            }
        }
        if (state_ == SkButton::Normal && focusShown_) FocusFrame(scheme);
        FocusRect();
        const OleColor frame = scheme == 1 ? Rgb(55, 98, 6) : Rgb(0, 60, 116);
        OuterFrame(frame, Shift(frame, 0.3f));
    }

    void HotFrame() {
        const int W = W_, H = H_;
        Line(img_, 1, 2, W - 2, 2, Rgb(253, 216, 137));
        Line(img_, 1, 1, W - 2, 1, Rgb(255, 240, 207));
        Line(img_, 1, 1, 1, H - 2, Rgb(249, 189, 73));
        Line(img_, W - 2, 2, W - 2, H - 2, Rgb(249, 189, 73));
        Line(img_, 2, 2, 2, H - 3, Rgb(252, 210, 122));
        Line(img_, W - 3, 3, W - 3, H - 3, Rgb(252, 210, 122));
        Line(img_, 2, H - 3, W - 2, H - 3, Rgb(248, 179, 48));
        Line(img_, 2, H - 2, W - 2, H - 2, Rgb(229, 151, 0));
    }

    void FocusFrame(int scheme) {
        const int W = W_, H = H_;
        if (scheme == 1) {
            const OleColor side = Rgb(160, 200, 104);
            Line(img_, 1, 2, W - 2, 2, Rgb(194, 209, 143));
            Line(img_, 1, 1, W - 2, 1, Rgb(177, 203, 128));
            Line(img_, 1, 1, 1, H - 2, side);
            Line(img_, W - 2, 2, W - 2, H - 2, side);
            Line(img_, 2, 2, 2, H - 3, side);
            Line(img_, W - 3, 3, W - 3, H - 3, side);
            Line(img_, 2, H - 3, W - 2, H - 3, side);
            Line(img_, 2, H - 2, W - 2, H - 2, Rgb(168, 167, 102));
            return;
        }
        const OleColor inner = scheme == 2 ? kWhite : Rgb(184, 209, 244);
        Line(img_, 1, 2, W - 2, 2, Rgb(188, 212, 246));
        Line(img_, 1, 1, W - 2, 1, Rgb(206, 231, 255));
        Line(img_, 1, 1, 1, H - 2, Rgb(142, 175, 230));
        Line(img_, W - 2, 2, W - 2, H - 2, Rgb(142, 175, 230));
        Line(img_, 2, 2, 2, H - 3, inner);
        Line(img_, W - 3, 3, W - 3, H - 3, inner);
        Line(img_, 2, H - 3, W - 2, H - 3, Rgb(137, 173, 228));
        Line(img_, 2, H - 2, W - 2, H - 2, Rgb(105, 130, 238));
    }

    void FocusRect() {
        if (b_.parent_active_ && b_.show_focus_rect_ && (b_.has_focus_ || b_.display_as_default_))
            DrawFocusRect(img_, 2, 2, W_ - 2, H_ - 2);
    }

    void OuterFrame(OleColor frame, OleColor corner) {
        const int W = W_, H = H_;
        FrameRect(img_, 0, 0, W, H, frame);
        SetPixel(img_, 1, 1, corner);
        SetPixel(img_, 1, H - 2, corner);
        SetPixel(img_, W - 2, 1, corner);
        SetPixel(img_, W - 2, H - 2, corner);
    }

    void Disabled() {
        const OleColor face = Solid(kButtonFace);
        FillRect(img_, 0, 0, W_, H_, Average(face, Shift(back_, 0.1f)));
        Content();
        const OleColor edge = Shift(back_, -0.1f);
        OuterFrame(edge, edge);
    }

    void GradientStyle() {
        const int W = W_, H = H_;
        const GradientLook look = LookOf(b_.style_);
        const OleColor frame = Shift(back_, look.frame);
        if (!enabled_) {
            Disabled();
            return;
        }
        auto ramp = [&](OleColor base, bool reversed) {
            if (look.glossy) {
                const int h2 = HalfEven(H);
                OleColor a = Shift(base, look.top), m = base;
                OleColor c = Shift(base, -0.03f), d = Shift(base, look.bottom);
                if (reversed) {
                    std::swap(a, d);
                    std::swap(m, c);
                }
                Gradient(img_, 0, 0, W, h2, a, m);
                Gradient(img_, 0, h2, W, H - h2, c, d);
            } else {
                OleColor a = Shift(base, look.top), d = Shift(base, look.bottom);
                if (reversed) std::swap(a, d);
                Gradient(img_, 0, 0, W, H, a, d);
            }
        };
        if (state_ == SkButton::Normal) {
            if (!look.flat) ramp(back_, false);
            Content();
            if (!look.flat) {
                Line(img_, 1, 1, W - 2, 1, Shift(back_, 0.12f));
                Line(img_, 1, 1, 1, H - 2, Shift(back_, 0.08f));
                Line(img_, 1, H - 2, W - 2, H - 2, Shift(back_, -0.08f));
                Line(img_, W - 2, 2, W - 2, H - 2, Shift(back_, -0.06f));
            }
        } else if (state_ == SkButton::Hot) {
            ramp(Shift(back_, 0.04f), false);
            Content();
            if (look.orangeHot) {
                HotFrame();
            } else {
                FrameRect(img_, 1, 1, W - 1, H - 1, Shift(back_, 0.16f));
                Line(img_, 2, H - 3, W - 2, H - 3, Shift(back_, -0.04f));
            }
        } else {
            ramp(Shift(back_, -0.06f), true);
            Content();
            Line(img_, 1, 1, W - 2, 1, Shift(back_, -0.18f));
            Line(img_, 1, 1, 1, H - 2, Shift(back_, -0.18f));
            Line(img_, 2, 2, W - 2, 2, Shift(back_, -0.10f));
            Line(img_, 2, 2, 2, H - 2, Shift(back_, -0.10f));
        }
        if (state_ == SkButton::Normal && focusShown_ && !look.flat) FocusFrame(0);
        FocusRect();
        if (look.flat && state_ == SkButton::Normal) return;
        const bool rounded =
            b_.style_ == 3 || b_.style_ == 6 || b_.style_ == 7 || b_.style_ == 9 || b_.style_ == 10;
        OuterFrame(frame, rounded ? Shift(frame, 0.3f) : frame);
    }

    void Classic() {
        const int W = W_, H = H_;
        const int style = b_.style_;
        if (!enabled_) {
            Content();
            if (style == 0) DrawEdge(img_, 0, 0, W, H, Edge::Raised);
            if (style == 1) DrawEdge(img_, 0, 0, W, H, Edge::RaisedInner);
            return;
        }
        if (b_.mode_ != 0 && b_.value_) {
            FillRect(img_, 0, 0, W, H, Shift(back_, 0.02f));
            Content();
            if (style == 12) return;
            DrawEdge(img_, 0, 0, W, H, Edge::Sunken);
            if (style == 0 && b_.show_focus_rect_ && b_.has_focus_)
                FrameRect(img_, 4, 4, W - 3, H - 3, Solid(SystemColor(kColorAppWorkspace)));
            return;
        }
        FillRect(img_, 0, 0, W, H, back_);
        Content();
        if (state_ == SkButton::Normal) {
            if (style == 0) DrawEdge(img_, 0, 0, W, H, Edge::Raised);
            if (style == 1) DrawEdge(img_, 0, 0, W, H, Edge::RaisedInner);
        } else if (state_ == SkButton::Hot) {
            if (style == 1 || style == 12) DrawEdge(img_, 0, 0, W, H, Edge::RaisedInner);
            if (style == 0 || style == 11) DrawEdge(img_, 0, 0, W, H, Edge::Raised);
        } else {
            if (style == 0) {
                FrameRect(img_, 1, 1, W - 1, H - 1, Rgb(172, 168, 153));
                FrameRect(img_, 0, 0, W, H, kBlack);
            } else if (style == 1 || style == 12) {
                FrameRect(img_, 0, 0, W, H, kWhite);
                FrameRect(img_, 0, 0, W + 1, H + 1, Solid(SystemColor(kColorGrayText)));
            } else {
                DrawEdge(img_, 0, 0, W, H, Edge::Sunken);
            }
        }
        if (b_.has_focus_ || b_.display_as_default_) {
            const int inset = (style == 1 || style == 12) ? 3 : 4;
            if (b_.show_focus_rect_ && b_.parent_active_)
                DrawFocusRect(img_, inset, inset, W - inset, H - inset);
            if (style == 0 && state_ != SkButton::Down) {
                DrawEdge(img_, 0, 0, W - 1, H - 1, Edge::Raised);
                FrameRect(img_, 0, 0, W - 1, H - 1, Solid(SystemColor(kColorAppWorkspace)));
                FrameRect(img_, 0, 0, W, H, kBlack);
            }
        }
    }

    // --- content ----------------------------------------------------------------

    bool DropDownPart() const { return b_.drop_down_symbol_ != 0 || b_.drop_down_separator_; }

    const QPixmap& CurrentPicture() const {
        const bool selected = b_.mode_ != 0 && b_.value_;
        if (state_ == SkButton::Down || selected) {
            if (!b_.picture_down_.isNull()) return b_.picture_down_;
            if (!b_.picture_hot_.isNull()) return b_.picture_hot_;
            return b_.picture_normal_;
        }
        if (state_ == SkButton::Hot && !b_.picture_hot_.isNull()) return b_.picture_hot_;
        return b_.picture_normal_;
    }

    int TextFlags() const {
        return Qt::TextWordWrap | Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic;
    }

    void Content() {
        const int W = W_, H = H_;
        const QPixmap& pic = CurrentPicture();
        const int pw = pic.isNull() ? 0 : pic.width();
        const int ph = pic.isNull() ? 0 : pic.height();
        const bool dropDown = DropDownPart();
        const int palign = b_.picture_align_;
        const int calign = b_.caption_align_;

        // Caption box.
        int reserve = 8;
        if (dropDown) reserve = (palign == 2 || palign == 3) ? 24 : 16;
        const QFontMetrics fm(b_.font());
        int tw = 0, th = 0;
        if (!b_.caption_.isEmpty()) {
            const QRect calc =
                fm.boundingRect(QRect(0, 0, std::max(1, W - reserve), 1 << 20), TextFlags(), b_.caption_);
            tw = calc.width();
            th = calc.height();
        }
        QRect cap(0, 0, tw, th);  // QRect keeps right = left + width - 1; we track edges explicitly
        int cl = 0, ct = 0, cr = tw, cb = th;
        auto moveBy = [&](int dx, int dy) {
            cl += dx;
            cr += dx;
            ct += dy;
            cb += dy;
        };
        if (calign == 0) {
            moveBy(2, (H - th) / 2);
        } else if (calign == 1) {
            moveBy((W - tw + pw) / 2, (H - th) / 2);
            if (dropDown) moveBy(-8, 0);
            if (palign >= 5 && palign <= 8) moveBy(-(pw / 2), 0);
        } else {
            moveBy(W - tw - 4, (H - th) / 2);
        }
        if (!pic.isNull()) {
            switch (palign) {
                case 2:
                case 3:
                    if (cr > W - pw - 4) {
                        cr = W - pw - 4;
                        cl -= pw + 4;
                    }
                    if (calign == 1) moveBy(-12, 0);
                    break;
                case 4:
                    if (calign == 1) moveBy(-16, 0);
                    break;
                case 5:
                case 6:
                    moveBy(0, ph / 2);
                    break;
                case 7:
                case 8:
                    moveBy(0, -(ph / 2));
                    break;
                default:  // 0, 1
                    if (calign != 1 && cl < pw + 4) {
                        cl = pw + 4;
                        cr += pw + 4;
                    }
                    break;
            }
        }
        if (calign == 2 && dropDown) moveBy(-16, 0);
        (void)cap;

        // Picture box.
        int pl = 0, pt = 0;
        if (!b_.picture_normal_.isNull()) {
            const QString trimmed = b_.caption_.trimmed();
            if (!trimmed.isEmpty() && palign != 4) {
                auto fixRight = [&] {
                    if (dropDown) pl -= 16;
                    if (pl < cr + 2) pl = cr + 2;
                };
                switch (palign) {
                    case 0:
                        pl = 3;
                        pt = (H - ph) / 2;
                        break;
                    case 1:
                        pl = cl - pw - 4;
                        pt = (H - ph) / 2;
                        break;
                    case 2:
                        pl = W - pw - 3;
                        pt = (H - ph) / 2;
                        fixRight();
                        break;
                    case 3:
                        pl = cr + 4;
                        pt = (H - ph) / 2;
                        fixRight();
                        break;
                    case 5:
                        pt = 4;
                        pl = (W - pw) / 2;
                        if (dropDown) pl -= 8;
                        break;
                    case 6:
                        pt = ct - ph - 2;
                        pl = (W - pw) / 2;
                        if (dropDown) pl -= 8;
                        break;
                    case 7:
                        pt = H - ph - 4;
                        pl = (W - pw) / 2;
                        if (dropDown) pl -= 8;
                        break;
                    default:
                        pt = cb + 2;
                        pl = (W - pw) / 2;
                        if (dropDown) pl -= 8;
                        break;  // 8
                }
            } else {
                pl = (W - pw) / 2;
                pt = (H - ph) / 2;
                if (dropDown) pl -= 8;
            }
        }

        // Drop-down symbol box and separator.
        QRect symbol;
        if (b_.drop_down_symbol_ != 0) {
            const int h2 = HalfEven(H);
            symbol = QRect(QPoint(W - 15, h2 - 7), QPoint(W - 1, h2 + 7));
        }
        if (b_.drop_down_separator_ && W - 8 > cr) {
            OleColor sample = GetPixel(img_, 7, 7);
            Line(img_, W - 16, 3, W - 16, H - 3, Shift(sample, -0.1f));
            sample = GetPixel(img_, 7, 7);
            Line(img_, W - 15, 3, W - 15, H - 3, Shift(sample, 0.1f));
        }

        if (state_ == SkButton::Down && ContentMoves(b_.style_)) {
            moveBy(1, 1);
            pl += 1;
            pt += 1;
            symbol.translate(1, 1);
        }
        b_.caption_rect_ = QRect(QPoint(cl, ct), QPoint(cr - 1, cb - 1));
        b_.picture_rect_ = pic.isNull() ? QRect() : QRect(pl, pt, pw, ph);
        b_.drop_down_rect_ = symbol;

        // Picture, its shadow or its pushed look.
        if (!pic.isNull()) {
            const QImage src = pic.toImage().convertToFormat(QImage::Format_ARGB32);
            const bool alpha = pic.hasAlphaChannel();
            if (b_.picture_push_on_hover_ && state_ == SkButton::Hot) {
                const OleColor silhouette = Rgb(192, 192, 192);
                DrawPicture(src, alpha, pl, pt, &silhouette);
                DrawPicture(src, alpha, pl - 2, pt - 2, nullptr);
            } else {
                if (b_.picture_shadow_) {
                    const OleColor shadow = Average(Rgb(128, 128, 128), back_);
                    const OleColor s1 = Shift(shadow, 0.05f), s2 = Shift(shadow, -0.1f);
                    DrawPicture(src, alpha, pl + 2, pt + 2, &s1);
                    DrawPicture(src, alpha, pl + 1, pt + 1, &s2);
                }
                DrawPicture(src, alpha, pl, pt, nullptr);
            }
        }

        // Caption with its effects.
        if (!b_.caption_.isEmpty()) {
            QPainter p(&img_);
            p.setFont(b_.font());
            p.setLayoutDirection(b_.right_to_left_ ? Qt::RightToLeft : Qt::LeftToRight);
            const QRect box(cl, ct, std::max(0, cr - cl), std::max(0, cb - ct));
            auto draw = [&](int dx, int dy, OleColor c) {
                p.setPen(ToQColor(c));
                p.drawText(box.translated(dx, dy), TextFlags(), b_.caption_);
            };
            switch (b_.caption_effects_) {
                case 1:
                    draw(-1, -1, Shift(back_, 0.14f));
                    break;
                case 2:
                    draw(1, 1, Shift(back_, 0.14f));
                    break;
                case 3:
                    draw(1, 1, Rgb(192, 192, 192));
                    break;
                case 4:
                case 5: {
                    const OleColor c = Shift(back_, b_.caption_effects_ == 4 ? 0.1f : -0.1f);
                    for (int dx : {-1, 1})
                        for (int dy : {-1, 1}) draw(dx, dy, c);
                    break;
                }
                default:
                    break;
            }
            OleColor text = b_.fore_color_;
            if (!enabled_)
                text = SystemColor(kColorGrayText);
            else if (state_ == SkButton::Hot)
                text = b_.fore_color_hover_;
            draw(0, 0, text);
        }

        // Drop-down symbol.
        if (b_.drop_down_symbol_ != 0) {
            if (state_ == SkButton::Down) {
                const int s = b_.style_;
                if (s == 0 || s == 1 || s == 6 || s == 7 || s == 11 || s == 12) symbol.translate(1, 1);
            }
            DrawSymbol(symbol, enabled_ ? Solid(b_.fore_color_) : Solid(SystemColor(kColorGrayText)));
        }
    }

    // The glyph of the drop-down symbol's first decimal digit, drawn the way
    // the classic symbol font shapes it: 3-6 arrows left, right, up, down;
    // 0-2 the window buttons; 7-9 small arrows.
    void DrawSymbol(const QRect& box, OleColor c) {
        const QString digits = QString::number(std::abs(b_.drop_down_symbol_));
        const int d = digits.at(0).digitValue();
        const int cx = box.left() + box.width() / 2, cy = box.top() + box.height() / 2;
        auto triangle = [&](int dir, int size) {
            // dir: 0 left, 1 right, 2 up, 3 down; size rows of 1, 3, 5... pixels
            for (int i = 0; i < size; ++i) {
                const int len = 2 * i + 1;
                switch (dir) {
                    case 0:
                        Line(img_, cx - size / 2 + i, cy - i, cx - size / 2 + i, cy + i + 1, c);
                        break;
                    case 1:
                        Line(img_, cx + size / 2 - i, cy - i, cx + size / 2 - i, cy + i + 1, c);
                        break;
                    case 2:
                        Line(img_, cx - i, cy - size / 2 + i, cx - i + len, cy - size / 2 + i, c);
                        break;
                    default:
                        Line(img_, cx - i, cy + size / 2 - i, cx - i + len, cy + size / 2 - i, c);
                        break;
                }
            }
        };
        switch (d) {
            case 0:
                FillRect(img_, cx - 4, cy + 2, cx + 3, cy + 4, c);
                break;
            case 1:
                FrameRect(img_, cx - 4, cy - 4, cx + 5, cy + 4, c);
                FillRect(img_, cx - 4, cy - 4, cx + 5, cy - 2, c);
                break;
            case 2:
                FrameRect(img_, cx - 4, cy - 1, cx + 2, cy + 5, c);
                FillRect(img_, cx - 4, cy - 1, cx + 2, cy + 1, c);
                FrameRect(img_, cx - 2, cy - 4, cx + 4, cy + 2, c);
                FillRect(img_, cx - 2, cy - 4, cx + 4, cy - 2, c);
                break;
            case 3:
                triangle(0, 4);
                break;
            case 4:
                triangle(1, 4);
                break;
            case 5:
                triangle(2, 4);
                break;
            case 6:
                triangle(3, 4);
                break;
            case 7:
                triangle(0, 3);
                break;
            case 8:
                triangle(1, 3);
                break;
            default:
                triangle(2, 3);
                break;
        }
    }

    // One picture, unscaled, at (x, y): mask colour, opacity, effects,
    // greyscale and per-pixel alpha as the state asks.
    void DrawPicture(const QImage& src, bool perPixelAlpha, int x, int y, const OleColor* silhouette) {
        int effect = 0;
        if (state_ == SkButton::Hot) effect = b_.picture_effect_on_over_;
        if (state_ == SkButton::Down) effect = b_.picture_effect_on_down_;
        int alpha = b_.picture_opacity_;
        bool grey = false;
        if (!enabled_) {
            effect = 0;
            if (b_.disabled_picture_mode_ == 0) {
                alpha = 52;
            } else {
                alpha = static_cast<int>(tessel::text::RoundHalfEven(b_.picture_opacity_ * 0.75));
                grey = true;
            }
        } else if (state_ == SkButton::Hot) {
            alpha = b_.picture_opacity_on_over_;
        }
        const QRgb mask = ToQRgb(Solid(b_.mask_color_)) & 0xFFFFFFu;
        for (int sy = 0; sy < src.height(); ++sy) {
            const int ty = y + sy;
            if (ty < 0 || ty >= img_.height()) continue;
            const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(sy));
            auto* out = reinterpret_cast<QRgb*>(img_.scanLine(ty));
            for (int sx = 0; sx < src.width(); ++sx) {
                const int tx = x + sx;
                if (tx < 0 || tx >= img_.width()) continue;
                const QRgb s = in[sx];
                int a = alpha;
                if (perPixelAlpha) {
                    a = qAlpha(s) * alpha / 255;
                } else if (b_.use_mask_color_ && (s & 0xFFFFFFu) == mask) {
                    continue;
                }
                if (a <= 0) continue;
                int r = qRed(s), g = qGreen(s), bl = qBlue(s);
                if (silhouette) {
                    r = RedOf(*silhouette);
                    g = GreenOf(*silhouette);
                    bl = BlueOf(*silhouette);
                } else if (grey) {
                    r = g = bl =
                        static_cast<int>(tessel::text::RoundHalfEven(0.3 * r + 0.59 * g + 0.11 * bl));
                } else if (effect == 1) {
                    r = Brighten(r);
                    g = Brighten(g);
                    bl = Brighten(bl);
                } else if (effect == 2) {
                    r = Darken(r);
                    g = Darken(g);
                    bl = Darken(bl);
                }
                if (a >= 255) {
                    out[tx] = qRgb(r, g, bl);
                } else {
                    const QRgb d = out[tx];
                    out[tx] = qRgb((qRed(d) * (255 - a) + r * a) / 256, (qGreen(d) * (255 - a) + g * a) / 256,
                                   (qBlue(d) * (255 - a) + bl * a) / 256);
                }
            }
        }
    }

    SkButton& b_;
    QImage img_;
    int W_ = 0, H_ = 0;
    OleColor back_ = 0;
    SkButton::State state_ = SkButton::Normal;
    bool enabled_ = true;
    bool focusShown_ = false;
};

void SkButton::Refresh() {
    if (style_ == 13) {
        // No theme engine here: the button becomes style 2 with scheme 0 for
        // good, and takes that scheme's colours.  This happens at once, not when
        // the pixels are drawn, because the properties show it.
        style_ = 2;
        scheme_ = 0;
        ApplySchemeColors();
        RebuildShape();
    }
    // The pixels wait for the next paint (or a read of the back buffer): a
    // window sets up dozens of properties on buttons nobody sees yet, and a
    // button on a tab that is not shown may never need them.
    surface_stale_ = true;
    update();
}

void SkButton::Render() {
    SkButtonPainter(*this).Paint();
    surface_stale_ = false;
}

}  // namespace tessel::controls
