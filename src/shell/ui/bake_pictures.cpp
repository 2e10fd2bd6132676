// SPDX-License-Identifier: GPL-3.0-or-later
// Run by the build: writes the C++ source of baked_pictures.h's table from
// PNG files, decoded by Qt's reader into the pixels ResourcePng would give.
//
//   bake_pictures OUT.cpp RESOURCE-PREFIX FILE.png...
//
// Each picture is named RESOURCE-PREFIX/<file name>.  A file that is no
// picture stops the build.
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: bake_pictures OUT.cpp RESOURCE-PREFIX FILE.png...\n", stderr);
        return 2;
    }
    QString text;
    QTextStream out(&text);
    out << "// Written by bake_pictures from the PNG files named below; not to be edited.\n"
           "#include \"shell/ui/baked_pictures.h\"\n\n"
           "namespace tessel::shell {\n\nnamespace {\n";
    QString table;
    QTextStream rows(&table);
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const QString file = QString::fromLocal8Bit(argv[i]);
        QImage image(file, "png");
        if (image.isNull()) {
            std::fprintf(stderr, "bake_pictures: %s is no PNG picture\n", argv[i]);
            return 1;
        }
        const bool alpha = image.hasAlphaChannel();
        image = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        // QImage wraps the words in place: 32-bit pixels on a 4-byte boundary.
        out << "\n// " << QFileInfo(file).fileName() << "\nalignas(16) const unsigned char kPixels" << i
            << "[] = {";
        const int rowBytes = image.width() * 4;
        int column = 0;
        for (int y = 0; y < image.height(); ++y) {
            const uchar* line = image.constScanLine(y);
            for (int x = 0; x < rowBytes; ++x, ++column) {
                if (column % 24 == 0) out << "\n   ";
                out << ' ' << line[x] << ',';
            }
        }
        out << "\n};\n";
        rows << "    {\"" << prefix << '/' << QFileInfo(file).fileName() << "\", kPixels" << i << ", "
             << image.width() << ", " << image.height() << ", " << (alpha ? "true" : "false") << "},\n";
    }
    out << "\n}  // namespace\n\nconst BakedPicture kBakedPictures[] = {\n"
        << table << "};\nconst std::size_t kBakedPictureCount = " << (argc - 3) << ";\n\n"
        << "}  // namespace tessel::shell\n";
    out.flush();

    const QByteArray bytes = text.toUtf8();
    QFile target(QString::fromLocal8Bit(argv[1]));
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate) || target.write(bytes) != bytes.size() ||
        !target.flush()) {
        std::fprintf(stderr, "bake_pictures: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
