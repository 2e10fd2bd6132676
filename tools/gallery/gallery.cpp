// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the custom controls into one PNG: every button style (rows) in
// each colour scheme, in each state (columns), then a few content variants
// and a four-tab strip.  Usage: tessel-gallery [--scale R] [out.png]
// draws the sheet for a screen of device pixel ratio R (1 when not given),
// as Qt does with QT_SCALE_FACTOR=R.
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <vector>

#include "controls/ole_color.h"
#include "controls/safe_tabs.h"
#include "controls/sk_button.h"

using tessel::controls::Rgb;
using tessel::controls::SafeTabs;
using tessel::controls::SkButton;

namespace {

constexpr int kCellW = 96, kCellH = 32, kLabelW = 150, kHeaderH = 22;
constexpr int kButtonW = 80, kButtonH = 24;

void Mouse(QWidget* w, QEvent::Type type, QPointF at) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent e(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

// The button as it shows on a white form: its surface clipped to its shape.
void Blit(QPainter& p, SkButton& b, QPoint at) {
    const QImage& img = b.Surface();
    p.save();
    if (!b.mask().isEmpty()) p.setClipRegion(b.mask().translated(at));
    p.drawImage(at, img);
    p.restore();
}

struct StateColumn {
    const char* name;
    std::function<void(SkButton&)> apply;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QString out = QStringLiteral("gallery.png");
    double scale = 1.0;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--scale" && i + 1 < argc) {
            bool ok = false;
            scale = QByteArray(argv[++i]).toDouble(&ok);
            if (!ok || scale < 0.5 || scale > 8) {
                std::fprintf(stderr, "tessel-gallery: --scale takes a ratio from 0.5 to 8, not %s\n",
                             argv[i]);
                return 2;
            }
        } else {
            out = QString::fromLocal8Bit(arg);
        }
    }
    // The controls draw for the screen's ratio, as they would on a desktop
    // scaled this way.
    if (scale != 1.0) qputenv("QT_SCALE_FACTOR", QByteArray::number(scale));
    QApplication app(argc, argv);

    // One active window holds the button being drawn, so focus frames show.
    QWidget window;
    window.resize(200, 100);
    SkButton spare(&window, QStringLiteral("spare"));
    spare.move(100, 50);
    window.show();
    QApplication::setActiveWindow(&window);
    QCoreApplication::processEvents();

    const std::vector<StateColumn> states = {
        {"Normal", [](SkButton&) {}},
        {"Hot",
         [](SkButton& b) {
             Mouse(&b, QEvent::MouseMove, {10, 10});
         }},
        {"Down",
         [](SkButton& b) {
             Mouse(&b, QEvent::MouseButtonPress, {10, 10});
         }},
        {"Focused",
         [](SkButton& b) {
             b.setFocus();
             QCoreApplication::processEvents();
         }},
        {"Checked",
         [](SkButton& b) {
             b.setMode(1);
             b.setValue(true);
         }},
        {"Disabled", [](SkButton& b) { b.setEnabled(false); }},
    };

    const int rows = 14 * 4;
    const int extrasH = kHeaderH + 2 * (kCellH + 20);
    const int tabsH = 160;
    const int width = kLabelW + kCellW * static_cast<int>(states.size()) + 8;
    const int height = kHeaderH + rows * kCellH + extrasH + tabsH + 16;
    const QSize sheetSize(std::max(width, 560), height);
    QImage sheet(sheetSize * window.devicePixelRatioF(), QImage::Format_RGB32);
    sheet.setDevicePixelRatio(window.devicePixelRatioF());
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.setPen(Qt::black);
    QFont labelFont = app.font();
    labelFont.setPointSizeF(8);
    p.setFont(labelFont);

    for (size_t c = 0; c < states.size(); ++c)
        p.drawText(QRect(kLabelW + static_cast<int>(c) * kCellW, 0, kCellW, kHeaderH), Qt::AlignCenter,
                   QString::fromLatin1(states[c].name));

    int y = kHeaderH;
    for (int style = 0; style <= 13; ++style) {
        for (int scheme = 0; scheme <= 3; ++scheme) {
            const QString label = style == 13 ? QStringLiteral("style 13 (drawn as 2), scheme %1").arg(scheme)
                                              : QStringLiteral("style %1, scheme %2").arg(style).arg(scheme);
            p.setPen(Qt::black);
            p.drawText(QRect(4, y, kLabelW - 8, kCellH), Qt::AlignVCenter | Qt::AlignLeft, label);
            for (size_t c = 0; c < states.size(); ++c) {
                SkButton b(&window, QStringLiteral("skbGallery"));
                b.setGeometry(4, 4, kButtonW, kButtonH);
                b.show();
                b.setButtonStyle(style);
                if (scheme == 3)
                    b.setBackColor(Rgb(214, 232, 214));  // a colour of the user's own
                else
                    b.setColorScheme(scheme);
                b.setCaption(QStringLiteral("转换 OK"));
                states[c].apply(b);
                Blit(p, b,
                     QPoint(kLabelW + static_cast<int>(c) * kCellW + (kCellW - kButtonW) / 2,
                            y + (kCellH - kButtonH) / 2));
                spare.setFocus();
            }
            y += kCellH;
        }
    }

    // Content variants on the main window's look.
    p.setPen(Qt::black);
    p.drawText(QRect(4, y, width, kHeaderH), Qt::AlignVCenter, QStringLiteral("Content (style 2, scheme 0)"));
    y += kHeaderH;
    QImage picture(16, 16, QImage::Format_RGB32);
    picture.fill(QColor(224, 224, 224));  // mask colour
    {
        QPainter pp(&picture);
        pp.setBrush(QColor(30, 120, 200));
        pp.setPen(Qt::NoPen);
        pp.drawEllipse(1, 1, 14, 14);
    }
    struct Variant {
        const char* name;
        QSize size;
        std::function<void(SkButton&)> apply;
    };
    const std::vector<Variant> variants = {
        {"picture", {96, 26}, [&](SkButton& b) { b.setPictureNormal(QPixmap::fromImage(picture)); }},
        {"drop-down",
         {96, 26},
         [](SkButton& b) {
             b.setDropDownSymbol(6);
             b.setDropDownSeparator(true);
         }},
        {"relief", {96, 26}, [](SkButton& b) { b.setCaptionEffects(2); }},
        {"column", {23, 48}, [](SkButton& b) { b.setCaption(QStringLiteral("转换为")); }},
        {"access key", {96, 26}, [](SkButton& b) { b.setCaption(QStringLiteral("&Save && close")); }},
        {"picture top",
         {96, 44},
         [&](SkButton& b) {
             b.setPictureNormal(QPixmap::fromImage(picture));
             b.setPictureAlign(5);
             b.setPictureShadow(true);
         }},
    };
    int x = 8;
    for (const Variant& v : variants) {
        SkButton b(&window, QStringLiteral("skbVariant"));
        b.setButtonStyle(13);
        b.setCaption(QStringLiteral("解析 Parse"));
        b.setGeometry(QRect(QPoint(4, 4), v.size));
        b.show();
        v.apply(b);
        p.setPen(Qt::black);
        p.drawText(QRect(x, y, 100, 14), Qt::AlignLeft, QString::fromLatin1(v.name));
        Blit(p, b, QPoint(x, y + 16));
        x += std::max(v.size.width(), 70) + 16;
        spare.setFocus();
    }
    y += 2 * (kCellH + 20);

    // The four-tab strip of the main window, second tab active.
    SafeTabs tabs;
    tabs.resize(std::min(540, sheetSize.width() - 16), tabsH - 20);
    tabs.LoadTabs({QStringLiteral("115网盘"), QStringLiteral("专链转换"), QStringLiteral("在线视频"),
                   QStringLiteral("关于")},
                  1);
    tabs.setBackColor(Rgb(255, 255, 255));
    p.setPen(Qt::black);
    p.drawText(QRect(4, y, width, 16), Qt::AlignVCenter, QStringLiteral("Tab strip"));
    p.drawImage(QPoint(8, y + 18), tabs.Surface());
    p.end();

    if (!sheet.save(out)) {
        std::fprintf(stderr, "tessel-gallery: cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s (%dx%d device pixels, ratio %g)\n", qPrintable(out), sheet.width(), sheet.height(),
                sheet.devicePixelRatio());
    return 0;
}
