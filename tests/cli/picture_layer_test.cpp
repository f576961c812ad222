#include "host/cli/picture_layer.h"

#include "abi/pixel.h"
#include "host/host_image.h"
#include "tests/cli/cli_fixture.h"

namespace velk::test {
namespace {

using host::DownsampledSize;
using host::FillImage;
using host::LayOutImage;
using host::PictureOf;

TEST(PictureLayer, DownsampledSizeRoundsUpAndKeepsOnePixel) {
  const struct {
    std::int32_t size;
    DownsampleFactor factor;
    std::int32_t expected;
  } cases[] = {{256, {1, 1}, 256},
               {256, {1, 2}, 128},
               {255, {1, 2}, 128},
               {7, {2, 3}, 5},
               {1, {1, 4}, 1},
               {3, {1, 4}, 1},
               {100, {1, 4294967295u}, 1},
               // Factors no host hands out, and an empty layer.
               {5, {-1, 2}, 1},
               {5, {1, 0}, 5},
               {0, {1, 2}, 0}};
  for (const auto& [size, factor, expected] : cases) {
    EXPECT_EQ(DownsampledSize(size, factor), expected)
        << size << " at " << factor.numerator << "/" << factor.denominator;
  }
}

template <typename Pixel>
void ExpectLaidOutAlphaFirst(bool deep) {
  const host::Picture picture = PatternPicture(5, 3, deep);
  ImageRecord image{};
  std::vector<std::uint8_t> storage;
  LayOutImage(image, storage, 5, 3, deep);
  FillImage(picture, {1, 1}, {1, 1}, image);
  for (std::int32_t y = 0; y < 3; ++y) {
    for (std::int32_t x = 0; x < 5; ++x) {
      const Pixel* pixel = host::PixelAt<Pixel>(image, x, y);
      const std::uint16_t* rgba = picture.At(x, y);
      EXPECT_EQ(pixel->alpha, rgba[3]);
      EXPECT_EQ(pixel->red, rgba[0]);
      EXPECT_EQ(pixel->green, rgba[1]);
      EXPECT_EQ(pixel->blue, rgba[2]);
    }
  }
  const host::Picture back = PictureOf(image);
  EXPECT_EQ(back.deep, deep);
  EXPECT_EQ(back.rgba, picture.rgba);
}

TEST(PictureLayer, EightBitPixelsAreAlphaFirstAndReadBack) {
  ExpectLaidOutAlphaFirst<Pixel8>(false);
}

TEST(PictureLayer, SixteenBitPixelsAreAlphaFirstAndReadBack) {
  ExpectLaidOutAlphaFirst<Pixel16>(true);
}

TEST(PictureLayer, DownsampledImageShowsTheNearestPicturePixel) {
  const host::Picture picture = PatternPicture(5, 7, false);
  const DownsampleFactor half{1, 2};
  const DownsampleFactor third{1, 3};
  ImageRecord image{};
  std::vector<std::uint8_t> storage;
  LayOutImage(image, storage, DownsampledSize(5, half),
              DownsampledSize(7, third), false);
  ASSERT_EQ(image.width, 3);
  ASSERT_EQ(image.height, 3);
  FillImage(picture, half, third, image);
  const host::Picture shown = PictureOf(image);
  for (std::int32_t y = 0; y < 3; ++y) {
    for (std::int32_t x = 0; x < 3; ++x) {
      for (int channel = 0; channel < 4; ++channel) {
        EXPECT_EQ(shown.At(x, y)[channel], picture.At(x * 2, y * 3)[channel]);
      }
    }
  }
}

}  // namespace
}  // namespace velk::test
