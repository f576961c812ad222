// Pixel storage for the fuzzer: guard bytes before the first row and after
// the last, and padding bytes at the end of every row, so that a byte written
// anywhere but in a pixel shows up when the storage is compared with a copy
// taken before the call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "abi/image_record.h"

namespace velk::fuzz {

class GuardedImage {
 public:
  static constexpr std::size_t kGuardBytes = 64;

  // Points `record`, already laid out by the stand-in host for its size and
  // depth, at this storage with `rowPadding` more bytes per row (a multiple
  // of 8, which keeps 16-bit pixels aligned), and fills every byte, guards
  // and padding included, from `seed`.
  void LayOut(ImageRecord& record, std::int32_t rowPadding, std::uint32_t seed);
  void Fill(std::uint32_t seed);

  // Offset in `bytes` of the pixel at column x, row y.
  std::size_t PixelOffset(std::int32_t x, std::int32_t y) const {
    return kGuardBytes + static_cast<std::size_t>(y) * rowBytes_ +
           static_cast<std::size_t>(x) * pixelBytes_;
  }
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  std::size_t pixelBytes() const { return pixelBytes_; }
  std::size_t alphaBytes() const { return pixelBytes_ / 4; }

  // Whether every byte but the pixels, guards and row padding, equals its
  // copy in `before`.
  bool SameOutsidePixels(const std::vector<std::uint8_t>& before) const;

  std::vector<std::uint8_t> bytes;

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::size_t rowBytes_ = 0;
  std::size_t pixelBytes_ = 4;
};

}  // namespace velk::fuzz
