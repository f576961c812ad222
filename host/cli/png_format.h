// What the PNG reader and writer share: the file's signature, the header's
// values and the rows that they give, and the seven passes of Adam7
// interlace.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <vector>

namespace velk::host::png {

constexpr std::uint8_t kSignature[8] = {0x89, 'P',  'N',  'G',
                                        '\r', '\n', 0x1A, '\n'};

// The largest chunk length, and the largest side of a picture.
constexpr std::uint32_t kMaxLength = 0x7FFFFFFF;

enum ColourType : std::uint8_t {
  kGrey = 0,
  kRgb = 2,
  kPalette = 3,
  kGreyAlpha = 4,
  kRgba = 6,
};

// Filter types of a row, the byte in front of it.
enum Filter : std::uint8_t { kNone = 0, kSub, kUp, kAverage, kPaeth };
constexpr int kFilterTypes = 5;

// The values of the IHDR chunk that the rows depend on.
struct Header {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int depth = 0;  // bits per sample: 1, 2, 4, 8 or 16
  ColourType colourType = kGrey;
  bool interlaced = false;

  int Channels() const {
    switch (colourType) {
      case kRgb:
        return 3;
      case kGreyAlpha:
        return 2;
      case kRgba:
        return 4;
      default:
        return 1;
    }
  }
  std::uint64_t BitsPerPixel() const {
    return static_cast<std::uint64_t>(Channels()) * depth;
  }
  // The distance from a byte to the one it is filtered against: the bytes
  // of one pixel, and at least 1 below 8 bits per pixel.
  std::uint32_t FilterDistance() const {
    return BitsPerPixel() >= 8 ? static_cast<std::uint32_t>(BitsPerPixel() / 8)
                               : 1;
  }
  // The bytes of a row of `columns` pixels, padded to whole bytes, without
  // its filter byte.
  std::uint64_t RowBytes(std::uint64_t columns) const {
    return (columns * BitsPerPixel() + 7) / 8;
  }
};

// What the chunks before the image data say of the pixels' colours.
struct Colours {
  std::vector<std::uint8_t> palette;       // red, green, blue per entry
  std::vector<std::uint8_t> paletteAlpha;  // per entry, may be short: opaque
  // Grey or RGB: the one sample value (or three) that is transparent, its
  // low `depth` bits as the file gives them.
  bool haveKey = false;
  std::uint16_t key[3] = {};

  std::size_t Entries() const { return palette.size() / 3; }
};

// One pass over the picture's pixels: those at x0 + i dx, y0 + j dy.
struct Pass {
  std::uint32_t x0, y0, dx, dy;

  // Pass columns (or rows) of a picture side of `size` pixels.
  static std::uint32_t Count(std::uint32_t size, std::uint32_t start,
                             std::uint32_t step) {
    return size > start ? (size - start + step - 1) / step : 0;
  }
  std::uint32_t Columns(const Header& header) const {
    return Count(header.width, x0, dx);
  }
  std::uint32_t Rows(const Header& header) const {
    return Count(header.height, y0, dy);
  }
};

constexpr Pass kWhole[] = {{0, 0, 1, 1}};
constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8},
                           {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2},
                           {0, 1, 1, 2}};

// The passes of a picture, in file order, as a range for a loop.
struct Passes {
  const Pass* first;
  const Pass* last;
  const Pass* begin() const { return first; }
  const Pass* end() const { return last; }
};
inline Passes PassesOf(bool interlaced) {
  if (interlaced) return {std::begin(kAdam7), std::end(kAdam7)};
  return {std::begin(kWhole), std::end(kWhole)};
}

// The bytes of the filtered rows of every pass, filter bytes included.
inline std::uint64_t ImageDataBytes(const Header& header) {
  std::uint64_t bytes = 0;
  for (const Pass& pass : PassesOf(header.interlaced)) {
    const std::uint64_t columns = pass.Columns(header);
    const std::uint64_t rows = pass.Rows(header);
    if (columns != 0 && rows != 0)
      bytes += rows * (1 + header.RowBytes(columns));
  }
  return bytes;
}

// The Paeth predictor of a byte from the bytes to its left, above, and above
// to the left; written without branches, so that the row loops vectorize.
inline int Paeth(int left, int up, int upLeft) {
  const int toLeft = std::abs(up - upLeft);
  const int toUp = std::abs(left - upLeft);
  const int toUpLeft = std::abs(left + up - 2 * upLeft);
  const int upOrUpLeft = toUp <= toUpLeft ? up : upLeft;
  return toLeft <= toUp && toLeft <= toUpLeft ? left : upOrUpLeft;
}

// What filter type kFilter predicts a byte to be from the bytes to its left,
// above, and above to the left (0 where there are none): the filtered byte
// is the difference.
template <Filter kFilter>
int Prediction(int left, int up, int upLeft) {
  switch (kFilter) {
    case kSub:
      return left;
    case kUp:
      return up;
    case kAverage:
      return (left + up) >> 1;
    case kPaeth:
      return Paeth(left, up, upLeft);
    default:
      return 0;
  }
}

inline std::uint32_t BigEndian32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) << 24 |
         static_cast<std::uint32_t>(bytes[1]) << 16 |
         static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
}

inline void PutBigEndian32(std::uint32_t value, std::uint8_t* bytes) {
  bytes[0] = static_cast<std::uint8_t>(value >> 24);
  bytes[1] = static_cast<std::uint8_t>(value >> 16);
  bytes[2] = static_cast<std::uint8_t>(value >> 8);
  bytes[3] = static_cast<std::uint8_t>(value);
}

}  // namespace velk::host::png
