// Moves pixels between a Picture (straight RGBA) and a host image (Pixel8 or
// Pixel16, alpha first), as a host lays out a layer for a render and reads
// the rendered output back.
#pragma once

#include <cstdint>

#include "abi/image_record.h"
#include "abi/input_record.h"
#include "host/cli/png_io.h"

namespace velk::host {

// Fills `image`, already laid out at the downsampled size and at the
// picture's depth, from `picture`: each image pixel takes the picture pixel
// that its position maps to at the factors (nearest pixel, no filtering).
void FillImage(const Picture& picture, DownsampleFactor factorX,
               DownsampleFactor factorY, ImageRecord& image);

// The pixels of `image` as a picture of its size and depth.
Picture PictureOf(const ImageRecord& image);

}  // namespace velk::host
