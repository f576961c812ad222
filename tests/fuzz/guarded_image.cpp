#include "tests/fuzz/guarded_image.h"

#include <cstring>

#include "abi/pixel.h"

namespace velk::fuzz {

void GuardedImage::LayOut(ImageRecord& record, std::int32_t rowPadding,
                          std::uint32_t seed) {
  const bool deep = (record.worldFlags & kWorldFlagDeep) != 0;
  width_ = record.width;
  height_ = record.height;
  pixelBytes_ = deep ? sizeof(Pixel16) : sizeof(Pixel8);
  rowBytes_ = static_cast<std::size_t>(width_) * pixelBytes_ + rowPadding;
  bytes.assign(2 * kGuardBytes + static_cast<std::size_t>(height_) * rowBytes_,
               0);
  record.data = bytes.data() + kGuardBytes;
  record.rowBytes = static_cast<std::int32_t>(rowBytes_);
  Fill(seed);
}

void GuardedImage::Fill(std::uint32_t seed) {
  // xorshift32; its state must not be 0.
  std::uint32_t state = seed | 1;
  for (std::uint8_t& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
}

bool GuardedImage::SameOutsidePixels(
    const std::vector<std::uint8_t>& before) const {
  if (before.size() != bytes.size()) return false;
  const std::size_t pixels = static_cast<std::size_t>(width_) * pixelBytes_;
  // From the end of each row's pixels to the start of the next row's, the
  // front guard before row 0 and the back guard after the last row.
  std::size_t from = 0;
  for (std::int32_t y = 0; y <= height_; ++y) {
    const std::size_t to = y < height_ ? PixelOffset(0, y) : bytes.size();
    if (std::memcmp(&bytes[from], &before[from], to - from) != 0) return false;
    from = to + pixels;
  }
  return true;
}

}  // namespace velk::fuzz
