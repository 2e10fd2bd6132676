// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/resource_image.h"

#include <png.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "shell/ui/baked_pictures.h"

namespace tessel::shell {

namespace {

// Our own pictures are a few hundred kilobytes; anything past this is not one.
constexpr qint64 kMaxPngBytes = 16 * 1024 * 1024;
constexpr png_uint_32 kMaxSide = 8192;

struct Source {
    const QByteArray& bytes;
    qsizetype at = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (length > static_cast<png_size_t>(source->bytes.size() - source->at)) png_error(png, "cut short");
    std::memcpy(out, source->bytes.constData() + source->at, length);
    source->at += static_cast<qsizetype>(length);
}

// A damaged file ends the reading by a long jump, without a word on
// standard error (libpng's own handler would print one).
[[noreturn]] void Fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void Ignore(png_structp, png_const_charp) {}

QImage QtRead(const QByteArray& bytes) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    QImageReader reader(&buffer, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

// What the reading fills.  The caller's, not Decode's own: a local changed
// between setjmp and the long jump back has no defined value after it.
struct Decoded {
    QImage image;
    std::vector<png_bytep> rows;
};

// Decodes straight into a QImage, with libpng's row transformations, as
// Qt's own reader does for 8-bit pictures; other kinds go to Qt's reader.
// False when the file is damaged.
bool Decode(const QByteArray& bytes, Decoded& out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Ignore);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    Source source{bytes};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &source, ReadFromMemory);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int depth = png_get_bit_depth(png, info);
    const int type = png_get_color_type(png, info);
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide || depth > 8 ||
        png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) {
        // Nothing of ours; Qt's reader knows every kind.
        png_destroy_read_struct(&png, &info, nullptr);
        out.image = QtRead(bytes);
        return !out.image.isNull();
    }
    const bool alpha = (type & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if ((type & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
    // QImage's 32-bit pixels are words 0xAARRGGBB.
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        png_set_bgr(png);
        if (!alpha) png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    } else if (alpha) {
        png_set_swap_alpha(png);
    } else {
        png_set_filler(png, 0xff, PNG_FILLER_BEFORE);
    }
    png_read_update_info(png, info);
    out.image = QImage(static_cast<int>(width), static_cast<int>(height),
                       alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (out.image.isNull() || png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    out.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) out.rows[y] = out.image.scanLine(static_cast<int>(y));
    png_read_image(png, out.rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

QImage DecodeBytes(const QByteArray& bytes) {
    if (bytes.isEmpty() || bytes.size() > kMaxPngBytes) return {};
    Decoded decoded;
    if (!Decode(bytes, decoded)) return {};
    return decoded.image;
}

}  // namespace

QImage ResourcePng(const QString& path) {
    for (std::size_t i = 0; i < kBakedPictureCount; ++i) {
        const BakedPicture& baked = kBakedPictures[i];
        if (path == QLatin1StringView(baked.path)) {
            // Read-only words of the program itself: a change to the image
            // copies them first, as QImage does for any shared picture.
            return QImage(baked.pixels, baked.width, baked.height, baked.width * 4,
                          baked.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return DecodeBytes(file.read(kMaxPngBytes + 1));
}

}  // namespace tessel::shell
