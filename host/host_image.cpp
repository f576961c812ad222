#include "host/host_image.h"

#include <cstring>

namespace velk::host {

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
