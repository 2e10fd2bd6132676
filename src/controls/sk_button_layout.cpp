// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/sk_button_layout.h"

#include <QFontMetrics>
#include <algorithm>

#include "controls/sk_style_table.h"
#include "text/vbstring.h"

namespace tessel::controls {

namespace {

int HalfEven(int v) { return static_cast<int>(tessel::text::RoundHalfEven(v / 2.0)); }

// Room kept free beside the caption for the frame and the drop-down part.
int CaptionReserve(const ButtonProps& p) {
    if (!HasDropDownPart(p)) return 8;
    return (p.pictureAlign == 2 || p.pictureAlign == 3) ? 24 : 16;
}

}  // namespace

SkState DrawnState(const ButtonLook& look) {
    const StoredButton& p = look.props;
    if (p.mode != 0 && p.value && Traits(p.style).selectedShowsDown) return SkState::Down;
    return look.state;
}

const QPixmap& CurrentPicture(const ButtonLook& look) {
    const StoredButton& p = look.props;
    const SkState s = DrawnState(look);
    if (s == SkState::Down || (p.mode != 0 && p.value)) {
        if (!p.pictureDown.isNull()) return p.pictureDown;
        if (!p.pictureHot.isNull()) return p.pictureHot;
        return p.pictureNormal;
    }
    if (s == SkState::Hot && !p.pictureHot.isNull()) return p.pictureHot;
    return p.pictureNormal;
}

bool HasDropDownPart(const ButtonProps& p) { return p.dropDownSymbol != 0 || p.dropDownSeparator; }

int CaptionTextFlags() { return Qt::TextWordWrap | Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic; }

ContentBoxes LayoutContent(const ButtonLook& look) {
    const StoredButton& p = look.props;
    const int W = look.size.width(), H = look.size.height();
    const QPixmap& pic = CurrentPicture(look);
    const int pw = pic.isNull() ? 0 : pic.width();
    const int ph = pic.isNull() ? 0 : pic.height();
    const bool dropDown = HasDropDownPart(p);
    const int palign = p.pictureAlign;
    const int calign = p.captionAlign;

    // Caption box: the text measured within the width left free.
    int tw = 0, th = 0;
    if (!p.caption.isEmpty()) {
        const QRect calc = QFontMetrics(p.font).boundingRect(
            QRect(0, 0, std::max(1, W - CaptionReserve(p)), 1 << 20), CaptionTextFlags(), p.caption);
        tw = calc.width();
        th = calc.height();
    }
    ContentBoxes b{0, 0, tw, th, {}, {}};
    auto moveBy = [&b](int dx, int dy) {
        b.left += dx;
        b.right += dx;
        b.top += dy;
        b.bottom += dy;
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
                if (b.right > W - pw - 4) {
                    b.right = W - pw - 4;
                    b.left -= pw + 4;
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
                if (calign != 1 && b.left < pw + 4) {
                    b.left = pw + 4;
                    b.right += pw + 4;
                }
                break;
        }
    }
    if (calign == 2 && dropDown) moveBy(-16, 0);

    // Picture box, beside the caption or centred.
    int pl = 0, pt = 0;
    if (!p.pictureNormal.isNull()) {
        const int dropShift = dropDown ? 8 : 0;
        if (!p.caption.trimmed().isEmpty() && palign != 4) {
            auto besideRight = [&] {
                if (dropDown) pl -= 16;
                if (pl < b.right + 2) pl = b.right + 2;
            };
            switch (palign) {
                case 0:
                    pl = 3;
                    pt = (H - ph) / 2;
                    break;
                case 1:
                    pl = b.left - pw - 4;
                    pt = (H - ph) / 2;
                    break;
                case 2:
                    pl = W - pw - 3;
                    pt = (H - ph) / 2;
                    besideRight();
                    break;
                case 3:
                    pl = b.right + 4;
                    pt = (H - ph) / 2;
                    besideRight();
                    break;
                case 5:
                    pt = 4;
                    pl = (W - pw) / 2 - dropShift;
                    break;
                case 6:
                    pt = b.top - ph - 2;
                    pl = (W - pw) / 2 - dropShift;
                    break;
                case 7:
                    pt = H - ph - 4;
                    pl = (W - pw) / 2 - dropShift;
                    break;
                default:  // 8
                    pt = b.bottom + 2;
                    pl = (W - pw) / 2 - dropShift;
                    break;
            }
        } else {
            pl = (W - pw) / 2 - dropShift;
            pt = (H - ph) / 2;
        }
    }

    if (p.dropDownSymbol != 0) {
        const int h2 = HalfEven(H);
        b.symbol = QRect(QPoint(W - 15, h2 - 7), QPoint(W - 1, h2 + 7));
    }
    if (DrawnState(look) == SkState::Down && Traits(p.style).contentMoves) {
        moveBy(1, 1);
        b.moved = true;
        pl += 1;
        pt += 1;
        b.symbol.translate(1, 1);
    }
    if (!pic.isNull()) b.picture = QRect(pl, pt, pw, ph);
    return b;
}

QSize ContentSizeHint(const ButtonLook& look) {
    const StoredButton& p = look.props;
    const QSize text = p.caption.isEmpty()
                           ? QSize()
                           : QFontMetrics(p.font)
                                 .boundingRect(QRect(0, 0, 1 << 20, 1 << 20),
                                               CaptionTextFlags() & ~Qt::TextWordWrap, p.caption)
                                 .size();
    const QPixmap& pic = CurrentPicture(look);
    int w = text.width() + CaptionReserve(p);
    int h = text.height() + 8;
    if (!pic.isNull()) {
        if (p.pictureAlign >= 5) {
            h += pic.height() + 2;
            w = std::max(w, pic.width() + 8);
        } else if (p.pictureAlign != 4) {
            w += pic.width() + 4;
            h = std::max(h, pic.height() + 8);
        } else {
            w = std::max(w, pic.width() + 8);
            h = std::max(h, pic.height() + 8);
        }
    }
    return QSize(std::max(w, 75), std::max(h, 23));
}

}  // namespace tessel::controls
