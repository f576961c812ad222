#include "abi/pixel.h"
#include "host/cli/png_layer_pixels.h"
#include "host/host_image.h"
#include "tests/cli/cli_fixture.h"

namespace velk::test {
namespace {

using host::DownsampledSize;
using host::LayOutImage;

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

// A 2x1 RGBA file whose every sample differs: read into a layer, each
// pixel is alpha first; given back as a PNG row, it is RGBA again.
template <typename Pixel>
void ExpectLaidOutAlphaFirst(int depth) {
  using Channel = decltype(Pixel::alpha);
  const std::string samples = depth == 8 ? std::string("\1\2\3\4\5\6\7\x08")
                                         : std::string(
                                               "\x10\1\x20\2\x30\3\x40\4"
                                               "\x50\5\x60\6\x70\7\x80\x08");
  const std::string path = ScratchPath("in.png");
  WriteFileBytes(
      path,
      png::File({png::Header(2, 1, depth, 6),
                 png::ImageData(std::string(1, '\0') + samples), png::kEnd}));
  const host::File file = host::OpenToRead(path);
  host::PngReader reader(file.get(), path, host::kMaxPixels);
  EXPECT_EQ(reader.deep(), depth == 16);
  Layer layer;
  LayOutImage(layer.record, layer.storage, 2, 1, reader.deep());
  reader.ReadInto(layer.record, {1, 1}, {1, 1});
  const auto sample = [&](std::size_t i) -> Channel {
    if (depth == 8) return static_cast<std::uint8_t>(samples[i]);
    return static_cast<Channel>(static_cast<std::uint8_t>(samples[2 * i]) << 8 |
                                static_cast<std::uint8_t>(samples[2 * i + 1]));
  };
  for (std::int32_t x = 0; x < 2; ++x) {
    const Pixel* pixel = host::PixelAt<Pixel>(layer.record, x, 0);
    EXPECT_EQ(pixel->red, sample(4 * x));
    EXPECT_EQ(pixel->green, sample(4 * x + 1));
    EXPECT_EQ(pixel->blue, sample(4 * x + 2));
    EXPECT_EQ(pixel->alpha, sample(4 * x + 3));
  }
  std::string row(samples.size(), '\0');
  host::png::RgbaRow(layer.record, 0,
                     reinterpret_cast<std::uint8_t*>(row.data()));
  EXPECT_EQ(row, samples);
}

TEST(PictureLayer, EightBitPixelsAreAlphaFirstAndGivenBack) {
  ExpectLaidOutAlphaFirst<Pixel8>(8);
}

TEST(PictureLayer, SixteenBitPixelsAreAlphaFirstAndGivenBack) {
  ExpectLaidOutAlphaFirst<Pixel16>(16);
}

TEST(PictureLayer, DownsampledImageShowsTheNearestPicturePixel) {
  const Picture picture = PatternPicture(5, 7, false);
  const std::string path = ScratchPath("in.png");
  WritePng(path, picture);
  const Picture shown = ReadPng(path, {1, 2}, {1, 3});
  ASSERT_EQ(shown.width, 3);
  ASSERT_EQ(shown.height, 3);
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
