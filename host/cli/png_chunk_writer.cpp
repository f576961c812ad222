#include "host/cli/png_chunk_writer.h"

#include <zlib.h>

#include <algorithm>

namespace velk::host::png {

ChunkWriter::ChunkWriter(OutputFile& file) : file_(file) {
  file_.Write(kSignature, sizeof kSignature);
}

void ChunkWriter::Write(const char* type, const std::uint8_t* data,
                        std::size_t size) {
  std::uint8_t head[8];
  PutBigEndian32(static_cast<std::uint32_t>(size), head);
  std::copy(type, type + 4, head + 4);
  uLong crc = crc32(0, head + 4, 4);
  if (size > 0) crc = crc32_z(crc, data, size);  // a null `data` restarts it
  std::uint8_t tail[4];
  PutBigEndian32(static_cast<std::uint32_t>(crc), tail);
  file_.Write(head, sizeof head);
  if (size > 0) file_.Write(data, size);
  file_.Write(tail, sizeof tail);
}

void ChunkWriter::WriteHeader(const Header& header) {
  std::uint8_t data[13] = {};
  PutBigEndian32(header.width, data);
  PutBigEndian32(header.height, data + 4);
  data[8] = static_cast<std::uint8_t>(header.depth);
  data[9] = header.colourType;
  data[12] = header.interlaced ? 1 : 0;
  Write("IHDR", data, sizeof data);
}

}  // namespace velk::host::png
