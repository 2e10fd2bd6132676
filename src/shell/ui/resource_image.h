// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pictures compiled into the program are PNG files.  Reading them with the
// format fixed and detection off keeps Qt from loading every image-format
// plug-in to ask whether it knows the file (a few milliseconds and a JPEG
// library the window never needs at start-up).

#include <QImage>
#include <QImageReader>
#include <QString>

namespace tessel::shell {

inline QImage ResourcePng(const QString& path) {
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

}  // namespace tessel::shell
