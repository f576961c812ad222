// Pixels between PNG rows and host images (Pixel8 or Pixel16, alpha first):
// each decoded row stored straight into the input layer, at the downsample
// factors, and each row of the output image given as a PNG row of RGBA.
#pragma once

#include <cstdint>
#include <string>

#include "abi/image_record.h"
#include "abi/input_record.h"
#include "host/cli/png_format.h"

namespace velk::host::png {

// Stores decoded rows into a layer as a host lays out a picture for a render
// at the downsample factors: each layer pixel shows the picture pixel that its
// position maps to (nearest pixel, no filtering). A picture of 16 bits per
// sample fills a Pixel16 layer with the file's values; every other one fills
// a Pixel8 layer, grey below 8 bits spread over 0 to 255. Pixels of the
// tRNS colour get alpha 0; without alpha in the file, pixels are opaque.
class LayerFiller {
 public:
  // `layer` is laid out at the downsampled size of the header's picture and
  // at its depth (DownsampledSize, LayOutImage).
  LayerFiller(const Header& header, const Colours& colours,
              DownsampleFactor factorX, DownsampleFactor factorY,
              ImageRecord& layer);

  // Stores row `y` of `pass`, unfiltered. Answers "" or the fault: a palette
  // index past the palette (looked for in every row, whether stored or not).
  std::string Store(const Pass& pass, std::uint32_t y, const std::uint8_t* row);

 private:
  template <typename Pixel>
  void StoreRow(const Pass& pass, const std::uint8_t* row,
                std::int32_t layerY) const;

  const Header& header_;
  const Colours& colours_;
  DownsampleFactor factorX_;
  DownsampleFactor factorY_;
  ImageRecord& layer_;
};

// Row `y` of `image` as a PNG row of RGBA: 4 bytes a pixel, or 8 (big-endian
// 16-bit samples) for a deep image.
void RgbaRow(const ImageRecord& image, std::int32_t y, std::uint8_t* out);

}  // namespace velk::host::png
