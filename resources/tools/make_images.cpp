// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the program's pictures: the 500 x 60 banner, the window icon in 16,
// 32 and 48 pixels and the 16 x 16 picture beside the file-name label.
// Run by make_images.sh; the PNGs it writes are committed.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

namespace {

const QColor kDeep(0x0b, 0x4f, 0x8a);
const QColor kSea(0x1d, 0x8c, 0xc4);
const QColor kFoam(0x8f, 0xd8, 0xf0);
const QString kFace = QStringLiteral("WenQuanYi Micro Hei");

QPolygonF Hexagon(QPointF c, double r) {
    QPolygonF p;
    for (int i = 0; i < 6; ++i) {
        const double a = (60.0 * i + 30.0) * M_PI / 180.0;
        p << QPointF(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
    }
    return p;
}

// A field of hexagonal tiles, lighter towards the right, so the ripple has
// something to bend.
void Tiles(QPainter& p, const QRectF& area, double r, double lightness) {
    const double w = std::sqrt(3.0) * r;
    const double h = 1.5 * r;
    int row = 0;
    for (double y = area.top() - r; y < area.bottom() + r; y += h, ++row) {
        const double shift = (row % 2) ? w / 2 : 0;
        for (double x = area.left() - w + shift; x < area.right() + w; x += w) {
            const double t = (x - area.left()) / area.width();
            QColor c = QColor::fromHsvF(0.56 - 0.04 * t, 0.75 - 0.35 * t, 0.55 + lightness * t);
            // A faint checker of tones gives the tiling its texture.
            const int k = (static_cast<int>(std::floor(x / w)) + row) % 3;
            c = c.lighter(100 + 8 * k);
            p.setBrush(c);
            p.setPen(QPen(QColor(255, 255, 255, 60), 1.0));
            p.drawPolygon(Hexagon({x, y}, r - 0.6));
        }
    }
}

// The banner at `scale` times its 500 x 60 pixels, drawn (not enlarged) for
// screens with more pixels per point.
QImage Banner(int scale) {
    QImage img(500 * scale, 60 * scale, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    QLinearGradient sky(0, 0, 500, 60);
    sky.setColorAt(0, kDeep);
    sky.setColorAt(1, kSea);
    p.fillRect(QRectF(0, 0, 500, 60), sky);
    Tiles(p, QRectF(0, 0, 500, 60), 9.0, 0.35);

    // A soft band of light behind the name.
    QLinearGradient veil(0, 0, 330, 0);
    veil.setColorAt(0, QColor(6, 40, 80, 210));
    veil.setColorAt(0.75, QColor(6, 40, 80, 120));
    veil.setColorAt(1, QColor(6, 40, 80, 0));
    p.fillRect(QRectF(0, 0, 330, 60), veil);

    QFont name(kFace);
    name.setPixelSize(30);
    name.setBold(true);
    name.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(name);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QPointF(17, 35), QStringLiteral("TESSEL"));
    p.setPen(Qt::white);
    p.drawText(QPointF(15, 33), QStringLiteral("TESSEL"));

    QFont line(kFace);
    line.setPixelSize(12);
    p.setFont(line);
    p.setPen(kFoam);
    p.drawText(QPointF(16, 51), QStringLiteral("专链转换 · 网盘提取 · 在线视频解析"));

    QFont ver(kFace);
    ver.setPixelSize(11);
    ver.setBold(true);
    p.setFont(ver);
    p.setPen(QColor(255, 255, 255, 220));
    p.drawText(QRectF(140, 12, 40, 14), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("V2"));
    p.end();
    return img;
}

QImage Icon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const QRectF box(0.5, 0.5, s - 1, s - 1);
    QLinearGradient g(0, 0, s, s);
    g.setColorAt(0, kSea);
    g.setColorAt(1, kDeep);
    QPainterPath rounded;
    rounded.addRoundedRect(box, s * 0.2, s * 0.2);
    p.fillPath(rounded, g);
    p.setClipPath(rounded);
    if (size >= 32) {
        // Three tiles meeting in the middle: the tessellation of the name.
        const double r = s * 0.2;
        const double w = std::sqrt(3.0) * r;
        const QPointF c(s / 2, s / 2 + s * 0.04);
        const QPointF centres[] = {
            {c.x() - w / 2, c.y() + r * 0.75}, {c.x() + w / 2, c.y() + r * 0.75}, {c.x(), c.y() - r * 0.75}};
        const QColor fills[] = {QColor(255, 255, 255, 235), kFoam, QColor(255, 255, 255, 160)};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(fills[i]);
            p.setPen(QPen(kDeep, s / 32.0));
            p.drawPolygon(Hexagon(centres[i], r));
        }
    } else {
        QFont f(kFace);
        f.setPixelSize(13);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 0, s, s), Qt::AlignCenter, QStringLiteral("T"));
    }
    p.setClipping(false);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), s * 0.2, s * 0.2);
    p.end();
    return img;
}

// A page with a folded corner and a film strip: "the file of this video".
QImage Tip() {
    QImage img(16, 16, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath page;
    page.moveTo(2.5, 1.5);
    page.lineTo(10.5, 1.5);
    page.lineTo(13.5, 4.5);
    page.lineTo(13.5, 14.5);
    page.lineTo(2.5, 14.5);
    page.closeSubpath();
    p.fillPath(page, Qt::white);
    p.setPen(QPen(kDeep, 1));
    p.drawPath(page);
    p.drawLine(QPointF(10.5, 1.5), QPointF(10.5, 4.5));
    p.drawLine(QPointF(10.5, 4.5), QPointF(13.5, 4.5));
    p.fillRect(QRectF(4.5, 7, 7, 5), kSea);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (double x : {5.2, 7.2, 9.2}) {
        p.drawRect(QRectF(x, 7.5, 1, 1));
        p.drawRect(QRectF(x, 10.5, 1, 1));
    }
    p.end();
    return img;
}

bool Save(const QImage& img, const QString& path) {
    if (img.save(path)) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    bool ok = Save(Banner(1), dir + "/banner.png") && Save(Banner(2), dir + "/banner@2x.png");
    for (int size : {16, 32, 48}) ok &= Save(Icon(size), dir + QStringLiteral("/tessel-%1.png").arg(size));
    ok &= Save(Tip(), dir + "/imgtip.png");
    return ok ? 0 : 1;
}
