// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pictures compiled into the program are PNG files, read by libpng straight
// from the resource.  Qt's reader would first open every image-format
// plug-in to ask which of them handles PNG, on the path to the window's
// first paint.  Those of the first paint are decoded by the build instead
// (baked_pictures.h).

#include <QImage>
#include <QString>

namespace tessel::shell {

// The picture at `path` (a resource or a file): Format_ARGB32 where the file
// has transparency, else Format_RGB32; a null image when it is no PNG.
QImage ResourcePng(const QString& path);

}  // namespace tessel::shell
