// The chunk stream of a PNG file, written: the signature, then each chunk
// with its length, type and checksum.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/cli/png_format.h"
#include "host/cli/safe_file.h"

namespace velk::host::png {

class ChunkWriter {
 public:
  // Writes the signature to `file`.
  explicit ChunkWriter(OutputFile& file);

  // Writes a chunk of `type` (4 letters) and `size` bytes of data, at most
  // kMaxLength.
  void Write(const char* type, const std::uint8_t* data, std::size_t size);

  // IHDR for `header`: compression, filter method 0.
  void WriteHeader(const Header& header);

 private:
  OutputFile& file_;
};

}  // namespace velk::host::png
