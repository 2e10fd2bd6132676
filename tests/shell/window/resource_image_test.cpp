// SPDX-License-Identifier: GPL-3.0-or-later
// The window's pictures are read by libpng, not by Qt's reader: they must be
// the same pictures, pixel for pixel.
#include "shell/ui/resource_image.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

// The pictures are in the shell's library; registered by name, outside any namespace.
static void InitPictures() { Q_INIT_RESOURCE(tessel); }

namespace tessel::shell {
namespace {

QImage AsArgb(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32); }

TEST(ResourcePng, OurPicturesAreWhatQtsReaderSees) {
    InitPictures();
    const QDir pictures(QStringLiteral(":/tessel"));
    const QStringList names = pictures.entryList({QStringLiteral("*.png")});
    ASSERT_GE(names.size(), 5);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QImage ours = ResourcePng(pictures.filePath(name));
        const QImage qts(pictures.filePath(name), "png");
        ASSERT_FALSE(qts.isNull());
        EXPECT_EQ(ours.format(), qts.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        EXPECT_EQ(AsArgb(ours), AsArgb(qts));
    }
}

// Other kinds of PNG, written by Qt: the same pixels (and transparency) come
// back; what is not a whole PNG is no picture rather than a damaged one.
TEST(ResourcePng, EveryKindOfPngAndNothingElse) {
    QTemporaryDir dir;
    QImage palette(7, 5, QImage::Format_Indexed8);
    palette.setColorTable({qRgba(0, 0, 0, 0), qRgb(200, 30, 40), qRgb(10, 220, 90)});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) palette.setPixel(x, y, (x + y) % 3);
    QImage grey16(9, 4, QImage::Format_Grayscale16);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) reinterpret_cast<quint16*>(grey16.scanLine(y))[x] = quint16(x * 7000 + y);
    QImage translucent(6, 6, QImage::Format_ARGB32);
    translucent.fill(QColor(10, 20, 30, 128));
    QImage grey(5, 3, QImage::Format_Grayscale8);
    grey.fill(77);
    const struct {
        const char* name;
        QImage picture;
    } kinds[] = {{"palette with a transparent entry", palette},
                 {"16-bit grey", grey16},
                 {"half transparent", translucent},
                 {"8-bit grey", grey}};
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const QString path = dir.filePath(QString::fromLatin1(kind.name) + QStringLiteral(".png"));
        ASSERT_TRUE(kind.picture.save(path, "png"));
        const QImage ours = ResourcePng(path);
        ASSERT_FALSE(ours.isNull());
        EXPECT_EQ(AsArgb(ours), AsArgb(QImage(path, "png")));
    }

    QFile whole(dir.filePath(QStringLiteral("half transparent.png")));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    const struct {
        const char* name;
        QByteArray bytes;
    } broken[] = {
        {"empty", {}}, {"text", "[frmMain]\nTop=1\n"}, {"cut short", bytes.left(bytes.size() - 20)}};
    for (const auto& b : broken) {
        SCOPED_TRACE(b.name);
        const QString path = dir.filePath(QStringLiteral("broken.png"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(b.bytes);
        f.close();
        EXPECT_TRUE(ResourcePng(path).isNull());
    }
    EXPECT_TRUE(ResourcePng(dir.filePath(QStringLiteral("absent.png"))).isNull());
}

// The pictures of the first paint come decoded with the program (the test
// above holds them to Qt's reader): asked for twice, they are the same words,
// not decoded or copied again; a change to one copies it first.
TEST(ResourcePng, PicturesOfTheFirstPaintAreNeitherDecodedNorCopied) {
    for (const char* name : {":/tessel/banner.png", ":/tessel/tessel-16.png", ":/tessel/tessel-32.png",
                             ":/tessel/tessel-48.png"}) {
        SCOPED_TRACE(name);
        const QImage first = ResourcePng(QString::fromLatin1(name));
        const QImage second = ResourcePng(QString::fromLatin1(name));
        ASSERT_FALSE(first.isNull());
        EXPECT_EQ(first.constBits(), second.constBits());
        QImage changed = first;
        changed.setPixel(0, 0, qRgba(1, 2, 3, 4));
        EXPECT_NE(changed.constBits(), first.constBits());
        EXPECT_EQ(ResourcePng(QString::fromLatin1(name)), first) << "the program's own words are unchanged";
    }
}

}  // namespace
}  // namespace tessel::shell
