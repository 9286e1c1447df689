#pragma once
// The embedded PNGs, generated at build time from the pixel maps in
// ui/images (see its README): the image strip of 30 images of 16 x 16 and the
// program icon at 32 x 32.
#include <cstddef>

extern const unsigned char kImageStripPng[];
extern const std::size_t kImageStripPngSize;
extern const unsigned char kAppIcon32Png[];
extern const std::size_t kAppIcon32PngSize;
