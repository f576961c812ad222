// Pixel storage owned by the stand-in host, with the ImageRecord that
// describes it to the effect.
#pragma once

#include <cstdint>
#include <vector>

#include "abi/image_record.h"
#include "abi/input_record.h"
#include "abi/pixel.h"

namespace velk::host {

// The size of one axis of a layer `size` pixels long, rendered at `factor`:
// rounded up, kept within 1 and `size`. An empty axis stays empty, and a
// zero denominator keeps `size`.
std::int32_t DownsampledSize(std::int32_t size, DownsampleFactor factor);

// Lays out `record` over `storage` as a width x height image, 16 bits per
// channel when `deep`, with the extent (0, 0, width, height).
void LayOutImage(ImageRecord& record, std::vector<std::uint8_t>& storage,
                 std::int32_t width, std::int32_t height, bool deep);

template <typename Pixel>
Pixel* PixelAt(const ImageRecord& record, std::int32_t x, std::int32_t y) {
  auto* row = static_cast<std::uint8_t*>(record.data) +
              static_cast<std::ptrdiff_t>(y) * record.rowBytes;
  return reinterpret_cast<Pixel*>(row) + x;
}

inline bool IsDeep(const ImageRecord& record) {
  return (record.worldFlags & kWorldFlagDeep) != 0;
}

}  // namespace velk::host
