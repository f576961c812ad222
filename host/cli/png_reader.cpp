#include "host/cli/png_reader.h"

#include "host/cli/png_image_data.h"
#include "host/cli/png_layer_pixels.h"

namespace velk::host {

PngReader::PngReader(std::FILE* file, const std::string& path,
                     std::uint64_t maxPixels)
    : chunks_(file, path, maxPixels) {}

void PngReader::ReadInto(ImageRecord& layer, DownsampleFactor factorX,
                         DownsampleFactor factorY) {
  png::LayerFiller pixels(chunks_.header(), chunks_.colours(), factorX, factorY,
                          layer);
  png::RowDecoder rows(chunks_.header(),
                       [&pixels](const png::Pass& pass, std::uint32_t y,
                                 const std::uint8_t* row) {
                         return pixels.Store(pass, y, row);
                       });
  chunks_.ReadImageData([&rows](const std::uint8_t* data, std::size_t size) {
    return rows.Take(data, size);
  });
  chunks_.ReadEnd();
  const std::string fault = rows.Finish();
  if (!fault.empty()) chunks_.Damaged(fault);
}

}  // namespace velk::host
