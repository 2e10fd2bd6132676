// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pictures compiled into the program are PNG files, read by libpng straight
// from the resource.  Qt's reader would first open every image-format
// plug-in to ask which of them handles PNG, on the path to the window's
// first paint.

#include <QImage>
#include <QString>
#include <QStringList>

namespace tessel::shell {

// The picture at `path` (a resource or a file): Format_ARGB32 where the file
// has transparency, else Format_RGB32; a null image when it is no PNG.
QImage ResourcePng(const QString& path);

// Decodes the resources at `paths` ahead, on whichever thread calls it (the
// start does so beside Qt's connection to the display); ResourcePng then
// hands each over once instead of decoding it.  Touches no QObject, so it
// may run before QApplication exists.
void PreloadResourcePngs(const QStringList& paths);

}  // namespace tessel::shell
