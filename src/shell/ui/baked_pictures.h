// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The pictures the window shows from its first paint (the banner and the
// window icon) are decoded when the program is built, by bake_pictures.cpp,
// and kept in it as pixels: the start neither decodes nor copies them.
// ResourcePng hands them out under their resource names.

#include <cstddef>

namespace tessel::shell {

struct BakedPicture {
    const char* path;             // the resource it was made from, ":/tessel/banner.png"
    const unsigned char* pixels;  // rows of 32-bit words 0xAARRGGBB, in this machine's byte order
    int width;
    int height;
    bool alpha;  // Format_ARGB32 when true, else Format_RGB32
};

extern const BakedPicture kBakedPictures[];
extern const std::size_t kBakedPictureCount;

}  // namespace tessel::shell
