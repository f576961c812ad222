#include "host/cli/png_writer.h"

#include "host/cli/png_chunk_writer.h"
#include "host/cli/png_image_encoder.h"
#include "host/cli/png_layer_pixels.h"
#include "host/host_image.h"

namespace velk::host {

void WritePng(OutputFile& file, const ImageRecord& image, int threads) {
  png::Header header;
  header.width = static_cast<std::uint32_t>(image.width);
  header.height = static_cast<std::uint32_t>(image.height);
  header.depth = IsDeep(image) ? 16 : 8;
  header.colourType = png::kRgba;
  png::ChunkWriter chunks(file);
  chunks.WriteHeader(header);
  png::EncodeImageData(
      header,
      [&image](std::uint32_t y, std::uint8_t* row) {
        png::RgbaRow(image, static_cast<std::int32_t>(y), row);
      },
      [&chunks](const std::uint8_t* data, std::size_t size) {
        chunks.Write("IDAT", data, size);
      },
      threads);
  chunks.Write("IEND", nullptr, 0);
}

}  // namespace velk::host
