#include "host/cli/picture_layer.h"

#include <algorithm>

#include "abi/pixel.h"
#include "host/host_image.h"

namespace velk::host {

namespace {

// The picture column (or row) that image column `position` shows.
std::int32_t SourcePosition(std::int32_t position, DownsampleFactor factor,
                            std::int32_t size) {
  const std::int64_t source = static_cast<std::int64_t>(position) *
                              factor.denominator / factor.numerator;
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(source, static_cast<std::int64_t>(size) - 1));
}

template <typename Pixel>
void FillPixels(const Picture& picture, DownsampleFactor factorX,
                DownsampleFactor factorY, ImageRecord& image) {
  using Channel = decltype(Pixel::alpha);
  for (std::int32_t y = 0; y < image.height; ++y) {
    const std::int32_t sourceY = SourcePosition(y, factorY, picture.height);
    for (std::int32_t x = 0; x < image.width; ++x) {
      const std::uint16_t* rgba =
          picture.At(SourcePosition(x, factorX, picture.width), sourceY);
      Pixel* pixel = PixelAt<Pixel>(image, x, y);
      pixel->alpha = static_cast<Channel>(rgba[3]);
      pixel->red = static_cast<Channel>(rgba[0]);
      pixel->green = static_cast<Channel>(rgba[1]);
      pixel->blue = static_cast<Channel>(rgba[2]);
    }
  }
}

template <typename Pixel>
void ReadPixels(const ImageRecord& image, Picture& picture) {
  for (std::int32_t y = 0; y < image.height; ++y) {
    for (std::int32_t x = 0; x < image.width; ++x) {
      const Pixel* pixel = PixelAt<Pixel>(image, x, y);
      std::uint16_t* rgba = picture.At(x, y);
      rgba[0] = pixel->red;
      rgba[1] = pixel->green;
      rgba[2] = pixel->blue;
      rgba[3] = pixel->alpha;
    }
  }
}

}  // namespace

void FillImage(const Picture& picture, DownsampleFactor factorX,
               DownsampleFactor factorY, ImageRecord& image) {
  if (IsDeep(image)) {
    FillPixels<Pixel16>(picture, factorX, factorY, image);
  } else {
    FillPixels<Pixel8>(picture, factorX, factorY, image);
  }
}

Picture PictureOf(const ImageRecord& image) {
  Picture picture;
  picture.width = image.width;
  picture.height = image.height;
  picture.deep = IsDeep(image);
  picture.rgba.assign(static_cast<std::size_t>(image.width) * image.height * 4,
                      0);
  if (picture.deep) {
    ReadPixels<Pixel16>(image, picture);
  } else {
    ReadPixels<Pixel8>(image, picture);
  }
  return picture;
}

}  // namespace velk::host
