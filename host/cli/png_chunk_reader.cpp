#include "host/cli/png_chunk_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/cli/safe_file.h"

namespace velk::host::png {

namespace {

constexpr std::size_t kPiece = 1 << 16;  // bytes read from the file at once

// "1 byte", "2 bytes"; "1 entry", "2 entries".
std::string Plural(std::uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}
std::string Bytes(std::uint64_t count) {
  return Plural(count, "byte", "bytes");
}
std::string Entries(std::uint64_t count) {
  return Plural(count, "entry", "entries");
}

bool IsLetter(std::uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

ChunkReader::ChunkReader(std::FILE* file, const std::string& path,
                         std::uint64_t maxPixels)
    : file_(file), path_(path), maxPixels_(maxPixels) {
  std::uint8_t signature[sizeof kSignature];
  if (Read(signature, sizeof signature) != sizeof signature ||
      std::memcmp(signature, kSignature, sizeof signature) != 0) {
    Damaged("no PNG signature at the start");
  }
  for (;;) {
    const Chunk chunk = NextChunk();
    if (chunk.type == "IDAT") {
      if (header_.colourType == kPalette && colours_.palette.empty()) {
        fault_ = "no PLTE chunk before IDAT in a palette PNG";
      }
      next_ = chunk;
      return;
    }
    if (chunk.type == "IEND") {
      ReadWhole(chunk);
      Damaged("no IDAT chunk");
    }
    if (chunk.type == "IHDR") {
      TakeHeader(ReadWhole(chunk));
    } else if (chunk.type == "PLTE") {
      TakePalette(ReadWhole(chunk));
    } else if (chunk.type == "tRNS") {
      TakeTransparency(ReadWhole(chunk));
    } else {
      TakeOther(chunk);
    }
  }
}

void ChunkReader::ReadImageData(const DataSink& take) {
  while (next_.type == "IDAT") {
    ReadData(next_, &take);
    next_ = NextChunk();
  }
}

void ChunkReader::ReadEnd() {
  for (Chunk chunk = next_;; chunk = NextChunk()) {
    if (chunk.type == "IEND") {
      ReadWhole(chunk);
      break;
    }
    if (chunk.type == "IDAT") {
      fault_ = "IDAT chunks that are not consecutive";
      ReadData(chunk, nullptr);
    } else if (chunk.type == "IHDR" || chunk.type == "PLTE" ||
               chunk.type == "tRNS") {
      ReadWhole(chunk);
      Damaged(chunk.type == "IHDR" ? "a second IHDR chunk"
                                   : chunk.type + " chunk after IDAT");
    } else {
      TakeOther(chunk);
    }
  }
  std::uint8_t extra = 0;
  if (Read(&extra, 1) != 0) Damaged("data after the IEND chunk");
}

void ChunkReader::Damaged(const std::string& fault) const {
  throw FileError("cannot read " + path_ + " as PNG: " + fault);
}

std::size_t ChunkReader::Read(void* data, std::size_t size) {
  errno = 0;
  const std::size_t count = std::fread(data, 1, size, file_);
  if (count < size && std::ferror(file_)) {
    throw FileError("cannot read " + path_ + ": " + std::strerror(LastErrno()));
  }
  return count;
}

ChunkReader::Chunk ChunkReader::NextChunk() {
  std::uint8_t head[8];
  const std::size_t got = Read(head, sizeof head);
  if (got == 0) Damaged("no IEND chunk");
  if (got < sizeof head) Damaged("file ends inside a chunk header");
  Chunk chunk;
  chunk.length = BigEndian32(head);
  chunk.type.assign(reinterpret_cast<const char*>(head + 4), 4);
  if (!std::all_of(head + 4, head + 8, IsLetter)) {
    Damaged("a chunk type that is not 4 letters (bytes " +
            std::to_string(head[4]) + " " + std::to_string(head[5]) + " " +
            std::to_string(head[6]) + " " + std::to_string(head[7]) + ")");
  }
  if (chunk.length > kMaxLength) {
    Damaged(chunk.type + " chunk length " + std::to_string(chunk.length) +
            " is over 2147483647");
  }
  if (header_.depth == 0 && chunk.type != "IHDR") {  // the file's first chunk
    Damaged("the first chunk is " + chunk.type + ", not IHDR");
  }
  CheckLength(chunk);
  return chunk;
}

void ChunkReader::ReadData(const Chunk& chunk, const DataSink* take) {
  std::uint8_t piece[kPiece];
  auto crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(chunk.type.data()), 4));
  for (std::uint32_t left = chunk.length; left > 0;) {
    const std::size_t size = std::min<std::size_t>(left, kPiece);
    if (Read(piece, size) != size) {
      Damaged("file ends inside the " + chunk.type + " chunk");
    }
    crc =
        static_cast<std::uint32_t>(crc32(crc, piece, static_cast<uInt>(size)));
    if (take != nullptr && fault_.empty()) fault_ = (*take)(piece, size);
    left -= static_cast<std::uint32_t>(size);
  }
  std::uint8_t stored[4];
  if (Read(stored, sizeof stored) != sizeof stored) {
    Damaged("file ends inside the " + chunk.type + " chunk");
  }
  if (BigEndian32(stored) != crc) Damaged("bad checksum in " + chunk.type);
  if (!fault_.empty()) Damaged(fault_);
}

std::string ChunkReader::ReadWhole(const Chunk& chunk) {
  std::string data;
  data.reserve(chunk.length);  // at most 768 bytes: see CheckLength
  const DataSink keep = [&data](const std::uint8_t* piece, std::size_t size) {
    data.append(reinterpret_cast<const char*>(piece), size);
    return std::string();
  };
  ReadData(chunk, &keep);
  return data;
}

// The lengths of the chunks that are read whole; not under the checksum.
void ChunkReader::CheckLength(const Chunk& chunk) const {
  const std::string& type = chunk.type;
  const std::uint32_t length = chunk.length;
  if (type == "IHDR" && length != 13) {
    Damaged("IHDR chunk of " + Bytes(length) + ", not 13");
  }
  if (type == "IEND" && length != 0) {
    Damaged("IEND chunk of " + Bytes(length) + ", not 0");
  }
  if (type == "PLTE" && (length == 0 || length > 768 || length % 3 != 0)) {
    Damaged("PLTE chunk of " + Bytes(length) +
            ", not 1 to 256 entries of 3 bytes");
  }
  if (type == "tRNS" && length > 256) {
    Damaged("tRNS chunk of " + Bytes(length) + ", more than 256");
  }
}

void ChunkReader::TakeHeader(const std::string& text) {
  if (header_.depth != 0) Damaged("a second IHDR chunk");
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::uint32_t width = BigEndian32(&data[0]);
  const std::uint32_t height = BigEndian32(&data[4]);
  const int depth = data[8];
  const int colourType = data[9];
  if (width == 0 || width > kMaxLength || height == 0 || height > kMaxLength) {
    Damaged("IHDR gives a size of " + std::to_string(width) + "x" +
            std::to_string(height) + " (each side must be 1 to 2147483647)");
  }
  int depths = 0;  // the bit depths allowed, one bit each
  switch (colourType) {
    case kGrey:
      depths = 1 | 2 | 4 | 8 | 16;
      break;
    case kPalette:
      depths = 1 | 2 | 4 | 8;
      break;
    case kRgb:
    case kGreyAlpha:
    case kRgba:
      depths = 8 | 16;
      break;
    default:
      Damaged("IHDR gives colour type " + std::to_string(colourType) +
              ", which is none of 0, 2, 3, 4, 6");
  }
  if ((depth & depths) == 0 || (depth & (depth - 1)) != 0) {
    Damaged("IHDR gives bit depth " + std::to_string(depth) +
            ", which colour type " + std::to_string(colourType) +
            " does not allow");
  }
  if (data[10] != 0) {
    Damaged("IHDR gives compression method " + std::to_string(data[10]) +
            ", not 0");
  }
  if (data[11] != 0) {
    Damaged("IHDR gives filter method " + std::to_string(data[11]) + ", not 0");
  }
  if (data[12] > 1) {
    Damaged("IHDR gives interlace method " + std::to_string(data[12]) +
            ", not 0 or 1");
  }
  // Both sides are below 2^31, so the product and every count derived from
  // it (at most 8 bytes and a filter byte per pixel, maxPixels at most 2^40)
  // fit in 64 bits.
  const std::uint64_t pixels = static_cast<std::uint64_t>(width) * height;
  if (pixels > maxPixels_) {
    throw FileError("cannot read " + path_ + ": the picture is " +
                    std::to_string(width) + "x" + std::to_string(height) +
                    ", " + std::to_string(pixels) +
                    " pixels; velk-host renders at most " +
                    std::to_string(maxPixels_) + " pixels");
  }
  header_.width = width;
  header_.height = height;
  header_.depth = depth;
  header_.colourType = static_cast<ColourType>(colourType);
  header_.interlaced = data[12] == 1;
}

void ChunkReader::TakePalette(const std::string& data) {
  if (!colours_.palette.empty()) Damaged("a second PLTE chunk");
  if (haveTransparency_) Damaged("PLTE chunk after tRNS");
  if (header_.colourType == kGrey || header_.colourType == kGreyAlpha) {
    Damaged("PLTE chunk in a greyscale PNG");
  }
  const std::size_t entries = data.size() / 3;
  if (header_.colourType == kPalette &&
      entries > (std::size_t{1} << header_.depth)) {
    Damaged("PLTE of " + std::to_string(entries) + " entries for bit depth " +
            std::to_string(header_.depth) + " (at most " +
            std::to_string(1 << header_.depth) + ")");
  }
  colours_.palette.assign(data.begin(), data.end());
}

void ChunkReader::TakeTransparency(const std::string& text) {
  if (haveTransparency_) Damaged("a second tRNS chunk");
  haveTransparency_ = true;
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t size = text.size();
  const int channels = header_.Channels();
  switch (header_.colourType) {
    case kPalette:
      if (colours_.palette.empty()) Damaged("tRNS chunk before PLTE");
      if (size > colours_.Entries()) {
        Damaged("tRNS of " + Entries(size) + " for a palette of " +
                Entries(colours_.Entries()));
      }
      colours_.paletteAlpha.assign(data, data + size);
      return;
    case kGrey:
    case kRgb: {
      if (size != static_cast<std::size_t>(channels) * 2) {
        Damaged("tRNS chunk of " + Bytes(size) + ", not " +
                std::to_string(channels * 2) + " for colour type " +
                std::to_string(header_.colourType));
      }
      // Only the low `depth` bits of each value count.
      const unsigned mask = (1u << header_.depth) - 1;
      colours_.haveKey = true;
      for (int i = 0; i < channels; ++i) {
        colours_.key[i] = static_cast<std::uint16_t>(
            (data[2 * i] << 8 | data[2 * i + 1]) & mask);
      }
      return;
    }
    default:
      Damaged("tRNS chunk in a PNG with an alpha channel");
  }
}

// A chunk that this reader does not use: skipped when ancillary, refused
// when critical; its checksum is checked either way.
void ChunkReader::TakeOther(const Chunk& chunk) {
  ReadData(chunk, nullptr);
  if ((chunk.type[0] & 0x20) == 0) {
    Damaged("unknown critical chunk " + chunk.type);
  }
}

}  // namespace velk::host::png
