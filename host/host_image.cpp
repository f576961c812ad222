#include "host/host_image.h"

#include <algorithm>
#include <cstring>

namespace velk::host {

std::int32_t DownsampledSize(std::int32_t size, DownsampleFactor factor) {
  if (size < 1) return 0;
  if (factor.denominator == 0) return size;
  const std::int64_t scaled =
      (static_cast<std::int64_t>(size) * factor.numerator + factor.denominator -
       1) /
      factor.denominator;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(scaled, 1, size));
}

void LayOutImage(ImageRecord& record, std::vector<std::uint8_t>& storage,
                 std::int32_t width, std::int32_t height, bool deep) {
  const std::int32_t pixelBytes = deep ? sizeof(Pixel16) : sizeof(Pixel8);
  storage.assign(static_cast<std::size_t>(width) * height * pixelBytes, 0);
  std::memset(&record, 0, sizeof record);
  record.data = storage.data();
  record.rowBytes = width * pixelBytes;
  record.width = width;
  record.height = height;
  record.worldFlags = deep ? kWorldFlagDeep : 0;
  record.extentLeft = 0;
  record.extentTop = 0;
  record.extentRight = width;
  record.extentBottom = height;
}

}  // namespace velk::host
