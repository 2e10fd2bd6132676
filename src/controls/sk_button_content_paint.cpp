// SPDX-License-Identifier: GPL-3.0-or-later
// The content of a skinned button: drop-down separator, picture with its
// shadow or pushed look, caption with its effects, drop-down symbol.
#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "controls/raster.h"
#include "controls/sk_button_painter.h"
#include "controls/sk_style_table.h"
#include "text/vbstring.h"

namespace tessel::controls {

namespace {

class ContentPainter {
 public:
    ContentPainter(QImage& img, const ButtonLook& look, const ContentBoxes& boxes, OleColor back)
        : img_(img), p_(look.props), boxes_(boxes), back_(back), state_(DrawnState(look)), look_(look) {}

    void Paint() {
        const int W = look_.size.width(), H = look_.size.height();
        // The separator sits where the caption box ended before a press moved it.
        if (p_.dropDownSeparator && W - 8 > boxes_.right - (boxes_.moved ? 1 : 0)) {
            OleColor sample = GetPixel(img_, 7, 7);
            Line(img_, W - 16, 3, W - 16, H - 3, Shift(sample, -0.1f));
            sample = GetPixel(img_, 7, 7);
            Line(img_, W - 15, 3, W - 15, H - 3, Shift(sample, 0.1f));
        }
        Picture();
        Caption();
        if (p_.dropDownSymbol != 0) {
            QRect symbol = boxes_.symbol;
            if (state_ == SkState::Down && Traits(p_.style).symbolMovesAgain) symbol.translate(1, 1);
            DrawSymbol(symbol, p_.enabled ? Solid(p_.foreColor) : Solid(SystemColor(kColorGrayText)));
        }
    }

 private:
    void Picture() {
        const QPixmap& pic = CurrentPicture(look_);
        if (pic.isNull()) return;
        const int pl = boxes_.picture.left(), pt = boxes_.picture.top();
        const QImage src = pic.toImage().convertToFormat(QImage::Format_ARGB32);
        const bool alpha = pic.hasAlphaChannel();
        if (p_.picturePushOnHover && state_ == SkState::Hot) {
            const OleColor silhouette = Rgb(192, 192, 192);
            DrawPicture(src, alpha, pl, pt, &silhouette);
            DrawPicture(src, alpha, pl - 2, pt - 2, nullptr);
            return;
        }
        if (p_.pictureShadow) {
            const OleColor shadow = Average(Rgb(128, 128, 128), back_);
            const OleColor s1 = Shift(shadow, 0.05f), s2 = Shift(shadow, -0.1f);
            DrawPicture(src, alpha, pl + 2, pt + 2, &s1);
            DrawPicture(src, alpha, pl + 1, pt + 1, &s2);
        }
        DrawPicture(src, alpha, pl, pt, nullptr);
    }

    void Caption() {
        if (p_.caption.isEmpty()) return;
        QPainter p(&img_);
        p.setFont(p_.font);
        p.setLayoutDirection(p_.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        const QRect box(boxes_.left, boxes_.top, std::max(0, boxes_.right - boxes_.left),
                        std::max(0, boxes_.bottom - boxes_.top));
        auto draw = [&](int dx, int dy, OleColor c) {
            p.setPen(ToQColor(c));
            p.drawText(box.translated(dx, dy), CaptionTextFlags(), p_.caption);
        };
        switch (p_.captionEffects) {
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
                const OleColor c = Shift(back_, p_.captionEffects == 4 ? 0.1f : -0.1f);
                for (int dx : {-1, 1})
                    for (int dy : {-1, 1}) draw(dx, dy, c);
                break;
            }
            default:
                break;
        }
        OleColor text = p_.foreColor;
        if (!p_.enabled)
            text = SystemColor(kColorGrayText);
        else if (state_ == SkState::Hot)
            text = p_.foreColorHover;
        draw(0, 0, text);
    }

    // The glyph of the drop-down symbol's first decimal digit, drawn the way
    // the classic symbol font shapes it: 3-6 arrows left, right, up, down;
    // 0-2 the window buttons; 7-9 small arrows.
    void DrawSymbol(const QRect& box, OleColor c) {
        const int d = QString::number(std::abs(p_.dropDownSymbol)).at(0).digitValue();
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
            case 4:
            case 5:
            case 6:
                triangle(d - 3, 4);
                break;
            default:  // 7-9
                triangle(d - 7, 3);
                break;
        }
    }

    // One picture, unscaled, at (x, y): mask colour, opacity, effects,
    // greyscale and per-pixel alpha as the state asks.
    void DrawPicture(const QImage& src, bool perPixelAlpha, int x, int y, const OleColor* silhouette) {
        int effect = 0;
        if (state_ == SkState::Hot) effect = p_.pictureEffectOnOver;
        if (state_ == SkState::Down) effect = p_.pictureEffectOnDown;
        int alpha = p_.pictureOpacity;
        bool grey = false;
        if (!p_.enabled) {
            effect = 0;
            if (p_.disabledPictureMode == 0) {
                alpha = 52;
            } else {
                alpha = static_cast<int>(tessel::text::RoundHalfEven(p_.pictureOpacity * 0.75));
                grey = true;
            }
        } else if (state_ == SkState::Hot) {
            alpha = p_.pictureOpacityOnOver;
        }
        const QRgb mask = ToQRgb(Solid(p_.maskColor)) & 0xFFFFFFu;
        for (int sy = 0; sy < src.height(); ++sy) {
            const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(sy));
            for (int sx = 0; sx < src.width(); ++sx) {
                const QRgb s = in[sx];
                int a = alpha;
                if (perPixelAlpha) {
                    a = qAlpha(s) * alpha / 255;
                } else if (p_.useMaskColor && (s & 0xFFFFFFu) == mask) {
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
                BlendPixel(x + sx, y + sy, r, g, bl, a);
            }
        }
    }

    // Every device pixel of one picture pixel.
    void BlendPixel(int x, int y, int r, int g, int b, int a) {
        const int x1 = std::min(DeviceEdge(img_, x + 1), img_.width());
        const int y1 = std::min(DeviceEdge(img_, y + 1), img_.height());
        for (int dy = std::max(DeviceEdge(img_, y), 0); dy < y1; ++dy) {
            auto* out = reinterpret_cast<QRgb*>(img_.scanLine(dy));
            for (int dx = std::max(DeviceEdge(img_, x), 0); dx < x1; ++dx) {
                if (a >= 255) {
                    out[dx] = qRgb(r, g, b);
                } else {
                    const QRgb d = out[dx];
                    out[dx] = qRgb((qRed(d) * (255 - a) + r * a) / 256, (qGreen(d) * (255 - a) + g * a) / 256,
                                   (qBlue(d) * (255 - a) + b * a) / 256);
                }
            }
        }
    }

    QImage& img_;
    const StoredButton& p_;
    const ContentBoxes& boxes_;
    const OleColor back_;
    const SkState state_;
    const ButtonLook& look_;
};

}  // namespace

void PaintContent(QImage& img, const ButtonLook& look, const ContentBoxes& boxes, OleColor back) {
    ContentPainter(img, look, boxes, back).Paint();
}

}  // namespace tessel::controls
