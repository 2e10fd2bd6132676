// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/twips.h"

#include "text/vbstring.h"

namespace tessel::controls {

int TwipsToPixels(double twips) {
    return static_cast<int>(tessel::text::RoundHalfEven(twips / kTwipsPerPixel));
}

QRect TwipsToPixels(const QRectF& twips) {
    return QRect(TwipsToPixels(twips.x()), TwipsToPixels(twips.y()), TwipsToPixels(twips.width()),
                 TwipsToPixels(twips.height()));
}

QRectF PixelsToTwips(const QRect& pixels) {
    return QRectF(PixelsToTwips(pixels.x()), PixelsToTwips(pixels.y()), PixelsToTwips(pixels.width()),
                  PixelsToTwips(pixels.height()));
}

}  // namespace tessel::controls
