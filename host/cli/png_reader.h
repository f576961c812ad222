// A strict PNG reader over zlib, in three steps: the chunk stream (order,
// lengths and checksums), the image data (inflate, unfilter, interlace
// passes) and the pixels (straight into the input layer). Every colour type
// and bit depth, Adam7 interlace and tRNS transparency are read; a damaged
// file is refused with a message that names the fault. It holds a few rows
// besides the layer, never the whole picture.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "abi/image_record.h"
#include "abi/input_record.h"
#include "host/cli/png_chunk_reader.h"

namespace velk::host {

class PngReader {
 public:
  // Reads `file` (named `path` in messages) up to its image data. Throws
  // FileError (see png::ChunkReader), also for a picture of more than
  // `maxPixels`.
  PngReader(std::FILE* file, const std::string& path, std::uint64_t maxPixels);

  std::int32_t width() const {
    return static_cast<std::int32_t>(chunks_.header().width);
  }
  std::int32_t height() const {
    return static_cast<std::int32_t>(chunks_.header().height);
  }
  // 16 bits per sample: read into a Pixel16 layer; else into a Pixel8 one.
  bool deep() const { return chunks_.header().depth == 16; }

  // Reads the image data into `layer`, laid out at the downsampled size of
  // width() x height() and at the picture's depth, and the rest of the file.
  // Throws FileError; `layer` is then partly written.
  void ReadInto(ImageRecord& layer, DownsampleFactor factorX,
                DownsampleFactor factorY);

 private:
  png::ChunkReader chunks_;
};

}  // namespace velk::host
