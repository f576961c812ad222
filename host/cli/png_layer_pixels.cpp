#include "host/cli/png_layer_pixels.h"

#include <algorithm>
#include <stdexcept>

#include "abi/pixel.h"
#include "host/host_image.h"

namespace velk::host::png {

namespace {

// The picture position (column or row) that layer position `position` shows
// at `factor`.
std::uint32_t SourceOf(std::int64_t position, DownsampleFactor factor,
                       std::uint32_t size) {
  const std::int64_t source = position * factor.denominator / factor.numerator;
  return static_cast<std::uint32_t>(
      std::min<std::int64_t>(source, std::int64_t{size} - 1));
}

// The first layer position that shows picture position `source` or one
// after it.
std::int64_t FirstShowing(std::uint32_t source, DownsampleFactor factor) {
  return (std::int64_t{source} * factor.numerator + factor.denominator - 1) /
         factor.denominator;
}

bool Whole(DownsampleFactor factor) {
  return static_cast<std::uint32_t>(factor.numerator) == factor.denominator;
}

// Sample `index` of a row of samples of `depth` bits, most significant first.
std::uint16_t Sample(const std::uint8_t* row, std::size_t index, int depth) {
  if (depth == 16) {
    return static_cast<std::uint16_t>(row[2 * index] << 8 | row[2 * index + 1]);
  }
  if (depth == 8) return row[index];
  const std::size_t bit = index * static_cast<std::size_t>(depth);
  return static_cast<std::uint16_t>((row[bit / 8] >> (8 - depth - bit % 8)) &
                                    ((1 << depth) - 1));
}

}  // namespace

LayerFiller::LayerFiller(const Header& header, const Colours& colours,
                         DownsampleFactor factorX, DownsampleFactor factorY,
                         ImageRecord& layer)
    : header_(header),
      colours_(colours),
      factorX_(factorX),
      factorY_(factorY),
      layer_(layer) {
  for (const DownsampleFactor factor : {factorX, factorY}) {
    if (factor.numerator <= 0 ||
        static_cast<std::uint32_t>(factor.numerator) > factor.denominator) {
      throw std::invalid_argument("a downsample factor outside (0, 1]");
    }
  }
}

std::string LayerFiller::Store(const Pass& pass, std::uint32_t y,
                               const std::uint8_t* row) {
  const std::uint32_t columns = pass.Columns(header_);
  if (header_.colourType == kPalette &&
      colours_.Entries() < (std::size_t{1} << header_.depth)) {
    for (std::uint32_t k = 0; k < columns; ++k) {
      const std::size_t index = Sample(row, k, header_.depth);
      if (index >= colours_.Entries()) {
        const std::size_t entries = colours_.Entries();
        return "palette index " + std::to_string(index) +
               " past a palette of " + std::to_string(entries) +
               (entries == 1 ? " entry" : " entries");
      }
    }
  }
  const std::uint32_t pictureY = pass.y0 + y * pass.dy;
  for (std::int64_t layerY = FirstShowing(pictureY, factorY_);
       layerY < layer_.height &&
       SourceOf(layerY, factorY_, header_.height) == pictureY;
       ++layerY) {
    if (header_.depth == 16) {
      StoreRow<Pixel16>(pass, row, static_cast<std::int32_t>(layerY));
    } else {
      StoreRow<Pixel8>(pass, row, static_cast<std::int32_t>(layerY));
    }
  }
  return "";
}

template <typename Pixel>
void LayerFiller::StoreRow(const Pass& pass, const std::uint8_t* row,
                           std::int32_t layerY) const {
  using Channel = decltype(Pixel::alpha);
  const int depth = header_.depth;
  const auto opaque = static_cast<Channel>(depth == 16 ? 0xFFFF : 0xFF);
  const Colours& colours = colours_;
  const bool keyed = colours.haveKey;
  const auto sample = [row, depth](std::size_t index) {
    return static_cast<Channel>(Sample(row, index, depth));
  };
  // Calls `convert(k, pixel)` for each layer pixel of the row that shows
  // pass column k, with the colour type chosen once a row.
  Pixel* layerRow = PixelAt<Pixel>(layer_, 0, layerY);
  const auto place = [&](auto convert) {
    const std::uint32_t columns = pass.Columns(header_);
    if (Whole(factorX_)) {
      for (std::uint32_t k = 0; k < columns; ++k) {
        convert(k, layerRow + pass.x0 + std::size_t{k} * pass.dx);
      }
      return;
    }
    for (std::int64_t x = FirstShowing(pass.x0, factorX_); x < layer_.width;
         ++x) {
      const std::uint32_t source = SourceOf(x, factorX_, header_.width);
      if ((source - pass.x0) % pass.dx == 0) {
        convert((source - pass.x0) / pass.dx, layerRow + x);
      }
    }
  };
  switch (header_.colourType) {
    case kGrey: {
      // Grey below 8 bits spreads over 0 to 255: 1 bit x255, 2 x85, 4 x17.
      const unsigned scale = depth < 8 ? 255u / ((1u << depth) - 1) : 1;
      return place([&](std::size_t k, Pixel* pixel) {
        const Channel grey = sample(k);
        pixel->red = pixel->green = pixel->blue =
            static_cast<Channel>(grey * scale);
        pixel->alpha = keyed && grey == colours.key[0] ? 0 : opaque;
      });
    }
    case kRgb:
      return place([&](std::size_t k, Pixel* pixel) {
        pixel->red = sample(3 * k);
        pixel->green = sample(3 * k + 1);
        pixel->blue = sample(3 * k + 2);
        pixel->alpha = keyed && pixel->red == colours.key[0] &&
                               pixel->green == colours.key[1] &&
                               pixel->blue == colours.key[2]
                           ? 0
                           : opaque;
      });
    case kPalette:
      return place([&](std::size_t k, Pixel* pixel) {
        const std::size_t index = sample(k);
        const std::uint8_t* entry = &colours.palette[3 * index];
        pixel->red = entry[0];
        pixel->green = entry[1];
        pixel->blue = entry[2];
        pixel->alpha = index < colours.paletteAlpha.size()
                           ? colours.paletteAlpha[index]
                           : opaque;
      });
    case kGreyAlpha:
      return place([&](std::size_t k, Pixel* pixel) {
        pixel->red = pixel->green = pixel->blue = sample(2 * k);
        pixel->alpha = sample(2 * k + 1);
      });
    case kRgba:
      return place([&](std::size_t k, Pixel* pixel) {
        pixel->red = sample(4 * k);
        pixel->green = sample(4 * k + 1);
        pixel->blue = sample(4 * k + 2);
        pixel->alpha = sample(4 * k + 3);
      });
  }
}

void RgbaRow(const ImageRecord& image, std::int32_t y, std::uint8_t* out) {
  if (IsDeep(image)) {
    const Pixel16* pixel = PixelAt<Pixel16>(image, 0, y);
    for (std::int32_t x = 0; x < image.width; ++x, ++pixel, out += 8) {
      const std::uint16_t rgba[4] = {pixel->red, pixel->green, pixel->blue,
                                     pixel->alpha};
      for (int c = 0; c < 4; ++c) {
        out[2 * c] = static_cast<std::uint8_t>(rgba[c] >> 8);
        out[2 * c + 1] = static_cast<std::uint8_t>(rgba[c]);
      }
    }
    return;
  }
  const Pixel8* pixel = PixelAt<Pixel8>(image, 0, y);
  for (std::int32_t x = 0; x < image.width; ++x, ++pixel, out += 4) {
    out[0] = pixel->red;
    out[1] = pixel->green;
    out[2] = pixel->blue;
    out[3] = pixel->alpha;
  }
}

}  // namespace velk::host::png
