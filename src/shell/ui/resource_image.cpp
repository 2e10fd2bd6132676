// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/resource_image.h"

#include <png.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace tessel::shell {

namespace {

// Our own pictures are a few hundred kilobytes; anything past this is not one.
constexpr qint64 kMaxPngBytes = 16 * 1024 * 1024;
constexpr png_uint_32 kMaxSide = 8192;

// The byte order of QImage's 32-bit pixels (0xAARRGGBB in a word).
constexpr png_uint_32 kWordArgb =
    QSysInfo::ByteOrder == QSysInfo::LittleEndian ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;

struct PngImage {
    png_image image{};
    PngImage() { image.version = PNG_IMAGE_VERSION; }
    ~PngImage() { png_image_free(&image); }
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;
};

}  // namespace

QImage ResourcePng(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.read(kMaxPngBytes + 1);
    if (bytes.size() > kMaxPngBytes) return {};

    PngImage png;
    if (!png_image_begin_read_from_memory(&png.image, bytes.constData(), static_cast<size_t>(bytes.size())))
        return {};
    if ((png.image.format & PNG_FORMAT_FLAG_LINEAR) != 0) {
        // libpng's simple reader takes 16-bit samples for linear light and
        // would re-encode them; Qt's reader keeps them as they are.
        QBuffer buffer(const_cast<QByteArray*>(&bytes));
        QImageReader reader(&buffer, "png");
        reader.setAutoDetectImageFormat(false);
        return reader.read();
    }
    if (png.image.width == 0 || png.image.height == 0 || png.image.width > kMaxSide ||
        png.image.height > kMaxSide)
        return {};
    // Without transparency (an alpha channel or a tRNS chunk) every pixel
    // comes out opaque, which is RGB32.
    const bool alpha = (png.image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    png.image.format = kWordArgb;
    QImage out(static_cast<int>(png.image.width), static_cast<int>(png.image.height),
               alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (out.isNull()) return {};
    if (!png_image_finish_read(&png.image, nullptr, out.bits(), static_cast<png_int_32>(out.bytesPerLine()),
                               nullptr))
        return {};
    return out;
}

}  // namespace tessel::shell
