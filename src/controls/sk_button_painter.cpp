// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/sk_button_painter.h"

#include <utility>

#include "controls/raster.h"
#include "controls/sk_style_table.h"
#include "text/vbstring.h"

namespace tessel::controls {

namespace {

int HalfEven(int v) { return static_cast<int>(tessel::text::RoundHalfEven(v / 2.0)); }

class LookPainter {
 public:
    LookPainter(const ButtonLook& look, qreal ratio)
        : look_(look),
          p_(look.props),
          traits_(Traits(look.props.style)),
          W_(look.size.width()),
          H_(look.size.height()),
          back_(Solid(look.props.backColor)),
          state_(DrawnState(look)),
          focusShown_(look.parentActive && (look.hasFocus || look.displayAsDefault)),
          boxes_(LayoutContent(look)) {
        img_ = MakeBuffer(W_, H_, ratio, back_);
    }

    QImage Paint() {
        switch (traits_.family) {
            case StyleFamily::Classic:
                Classic();
                break;
            case StyleFamily::Glossy:
                Glossy();
                break;
            case StyleFamily::Gradient:
                GradientLook();
                break;
        }
        return std::move(img_);
    }

 private:
    void Content() { PaintContent(img_, look_, boxes_, back_); }

    // Style 2, the look of every button of the main window.
    void Glossy() {
        const int W = W_, H = H_;
        const int scheme = p_.scheme;
        const OleColor back = back_;
        if (!p_.enabled) {
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
        if (state_ == SkState::Normal) {
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
        } else if (state_ == SkState::Hot) {
            gradients();
            Content();
            HotFrame();
        } else if (scheme == 2) {
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
        if (state_ == SkState::Normal && focusShown_) FocusFrame(scheme);
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
        if (p_.showFocusRect && focusShown_) DrawFocusRect(img_, 2, 2, W_ - 2, H_ - 2);
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
        FillRect(img_, 0, 0, W_, H_, Average(Solid(kButtonFace), Shift(back_, 0.1f)));
        Content();
        const OleColor edge = Shift(back_, -0.1f);
        OuterFrame(edge, edge);
    }

    // Styles 3-10.
    void GradientLook() {
        const int W = W_, H = H_;
        const auto& look = traits_.look;
        if (!p_.enabled) {
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
        if (state_ == SkState::Normal) {
            if (!look.flat) ramp(back_, false);
            Content();
            if (!look.flat) {
                Line(img_, 1, 1, W - 2, 1, Shift(back_, 0.12f));
                Line(img_, 1, 1, 1, H - 2, Shift(back_, 0.08f));
                Line(img_, 1, H - 2, W - 2, H - 2, Shift(back_, -0.08f));
                Line(img_, W - 2, 2, W - 2, H - 2, Shift(back_, -0.06f));
            }
        } else if (state_ == SkState::Hot) {
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
        if (state_ == SkState::Normal && focusShown_ && !look.flat) FocusFrame(0);
        FocusRect();
        if (look.flat && state_ == SkState::Normal) return;
        const OleColor frame = Shift(back_, look.frame);
        OuterFrame(frame, traits_.lightFrameCorners ? Shift(frame, 0.3f) : frame);
    }

    // Styles 0, 1, 11 and 12.
    void Classic() {
        const int W = W_, H = H_;
        const int style = p_.style;
        if (!p_.enabled) {
            Content();
            if (style == 0) DrawEdge(img_, 0, 0, W, H, Edge::Raised);
            if (style == 1) DrawEdge(img_, 0, 0, W, H, Edge::RaisedInner);
            return;
        }
        if (p_.mode != 0 && p_.value) {
            FillRect(img_, 0, 0, W, H, Shift(back_, 0.02f));
            Content();
            if (style == 12) return;
            DrawEdge(img_, 0, 0, W, H, Edge::Sunken);
            if (style == 0 && p_.showFocusRect && look_.hasFocus)
                FrameRect(img_, 4, 4, W - 3, H - 3, Solid(SystemColor(kColorAppWorkspace)));
            return;
        }
        FillRect(img_, 0, 0, W, H, back_);
        Content();
        if (state_ == SkState::Normal) {
            if (style == 0) DrawEdge(img_, 0, 0, W, H, Edge::Raised);
            if (style == 1) DrawEdge(img_, 0, 0, W, H, Edge::RaisedInner);
        } else if (state_ == SkState::Hot) {
            if (style == 1 || style == 12) DrawEdge(img_, 0, 0, W, H, Edge::RaisedInner);
            if (style == 0 || style == 11) DrawEdge(img_, 0, 0, W, H, Edge::Raised);
        } else if (style == 0) {
            FrameRect(img_, 1, 1, W - 1, H - 1, Rgb(172, 168, 153));
            FrameRect(img_, 0, 0, W, H, kBlack);
        } else if (style == 1 || style == 12) {
            FrameRect(img_, 0, 0, W, H, kWhite);
            FrameRect(img_, 0, 0, W + 1, H + 1, Solid(SystemColor(kColorGrayText)));
        } else {
            DrawEdge(img_, 0, 0, W, H, Edge::Sunken);
        }
        if (look_.hasFocus || look_.displayAsDefault) {
            const int inset = (style == 1 || style == 12) ? 3 : 4;
            if (p_.showFocusRect && look_.parentActive)
                DrawFocusRect(img_, inset, inset, W - inset, H - inset);
            if (style == 0 && state_ != SkState::Down) {
                DrawEdge(img_, 0, 0, W - 1, H - 1, Edge::Raised);
                FrameRect(img_, 0, 0, W - 1, H - 1, Solid(SystemColor(kColorAppWorkspace)));
                FrameRect(img_, 0, 0, W, H, kBlack);
            }
        }
    }

    const ButtonLook& look_;
    const StoredButton& p_;
    const StyleTraits& traits_;
    const int W_, H_;
    const OleColor back_;
    const SkState state_;
    const bool focusShown_;
    const ContentBoxes boxes_;
    QImage img_;
};

}  // namespace

QImage PaintButton(const ButtonLook& look, qreal ratio) { return LookPainter(look, ratio).Paint(); }

}  // namespace tessel::controls
