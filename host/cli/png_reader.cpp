#include "host/cli/png_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

namespace velk::host {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P',  'N',  'G',
                                        '\r', '\n', 0x1A, '\n'};
constexpr std::uint32_t kMaxLength = 0x7FFFFFFF;  // of a chunk, and a side
constexpr std::size_t kPiece = 1 << 16;  // bytes read from the file at once

std::uint32_t BigEndian32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) << 24 |
         static_cast<std::uint32_t>(bytes[1]) << 16 |
         static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
}

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

// One pass of the picture's rows: the whole picture, or one of Adam7's.
struct Pass {
  std::uint32_t x0, y0, dx, dy;
};
constexpr Pass kWhole[] = {{0, 0, 1, 1}};
constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8},
                           {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2},
                           {0, 1, 1, 2}};

// The passes of a picture, as a range for a loop.
struct Passes {
  const Pass* first;
  const Pass* last;
  const Pass* begin() const { return first; }
  const Pass* end() const { return last; }
};
Passes PassesOf(bool interlaced) {
  if (interlaced) return {std::begin(kAdam7), std::end(kAdam7)};
  return {std::begin(kWhole), std::end(kWhole)};
}

std::uint32_t PassSize(std::uint32_t size, std::uint32_t start,
                       std::uint32_t step) {
  return size > start ? (size - start + step - 1) / step : 0;
}

std::uint8_t Paeth(int left, int up, int upLeft) {
  const int estimate = left + up - upLeft;
  const int toLeft = std::abs(estimate - left);
  const int toUp = std::abs(estimate - up);
  const int toUpLeft = std::abs(estimate - upLeft);
  if (toLeft <= toUp && toLeft <= toUpLeft)
    return static_cast<std::uint8_t>(left);
  return static_cast<std::uint8_t>(toUp <= toUpLeft ? up : upLeft);
}

// Undoes `filter` (0 to 4) on one row; `previous` is null on a pass's first.
void Unfilter(int filter, std::uint8_t* row, const std::uint8_t* previous,
              std::size_t size, std::size_t pixelBytes) {
  for (std::size_t i = 0; i < size; ++i) {
    const int left = i >= pixelBytes ? row[i - pixelBytes] : 0;
    const int up = previous != nullptr ? previous[i] : 0;
    const int upLeft =
        previous != nullptr && i >= pixelBytes ? previous[i - pixelBytes] : 0;
    int predicted = 0;
    switch (filter) {
      case 1:
        predicted = left;
        break;
      case 2:
        predicted = up;
        break;
      case 3:
        predicted = (left + up) >> 1;
        break;
      case 4:
        predicted = Paeth(left, up, upLeft);
        break;
      default:
        return;
    }
    row[i] = static_cast<std::uint8_t>(row[i] + predicted);
  }
}

class Decoder {
 public:
  Decoder(std::FILE* file, const std::string& path, std::uint64_t maxPixels)
      : file_(file), path_(path), maxPixels_(maxPixels) {}
  ~Decoder() {
    if (zlibOpen_) inflateEnd(&zlib_);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  Picture Decode();

 private:
  [[noreturn]] void Damaged(const std::string& fault) const {
    throw FileError("cannot read " + path_ + " as PNG: " + fault);
  }

  // Reads up to `size` bytes; fewer only at the end of the file.
  std::size_t Read(void* data, std::size_t size);
  void ReadChunkData(const std::string& name, std::uint32_t length,
                     std::vector<std::uint8_t>* kept, std::uint32_t& crc);
  void CheckLength(const std::string& name, std::uint32_t length) const;
  void Header(const std::vector<std::uint8_t>& data);
  void Palette(const std::vector<std::uint8_t>& data);
  void Transparency(const std::vector<std::uint8_t>& data);
  void ImageData(const std::uint8_t* data, std::size_t size);
  void End();
  Picture Pixels();
  void Store(const std::uint8_t* row, std::uint32_t count, std::uint32_t x0,
             std::uint32_t dx, std::uint32_t y, Picture& picture) const;

  std::FILE* file_;
  const std::string& path_;
  std::uint64_t maxPixels_;

  // IHDR
  bool haveHeader_ = false;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  int depth_ = 0;
  int colourType_ = 0;
  bool interlaced_ = false;
  int channels_ = 0;
  std::uint64_t expectedBytes_ = 0;  // of the filtered rows of every pass

  // PLTE and tRNS
  bool havePalette_ = false;
  std::vector<std::uint8_t> palette_;  // red, green, blue per entry
  bool haveTransparency_ = false;
  std::vector<std::uint8_t> paletteAlpha_;  // per palette entry, may be short
  std::uint16_t transparent_[3] = {};       // the one transparent grey or RGB

  // IDAT
  enum class Stage { kBeforeImageData, kInImageData, kAfterImageData };
  Stage stage_ = Stage::kBeforeImageData;
  z_stream zlib_{};
  bool zlibOpen_ = false;
  bool streamEnded_ = false;
  std::vector<std::uint8_t> raw_;  // grows as the stream gives bytes
  std::uint64_t produced_ = 0;
  // A fault found in an IDAT chunk's data, reported once the chunk's
  // checksum shows that the data are what the file's writer wrote.
  std::string fault_;
};

std::size_t Decoder::Read(void* data, std::size_t size) {
  errno = 0;
  const std::size_t count = std::fread(data, 1, size, file_);
  if (count < size && std::ferror(file_)) {
    throw FileError("cannot read " + path_ + ": " +
                    std::strerror(errno != 0 ? errno : EIO));
  }
  return count;
}

// Reads a chunk's data into `kept`, or passes it to the image data (IDAT) or
// nowhere (a chunk that is skipped), adding it to the checksum.
void Decoder::ReadChunkData(const std::string& name, std::uint32_t length,
                            std::vector<std::uint8_t>* kept,
                            std::uint32_t& crc) {
  std::uint8_t piece[kPiece];
  for (std::uint32_t left = length; left > 0;) {
    const std::size_t size = std::min<std::size_t>(left, kPiece);
    if (Read(piece, size) != size) {
      Damaged("file ends inside the " + name + " chunk");
    }
    crc =
        static_cast<std::uint32_t>(crc32(crc, piece, static_cast<uInt>(size)));
    if (kept != nullptr) {
      kept->insert(kept->end(), piece, piece + size);
    } else if (name == "IDAT") {
      ImageData(piece, size);
    }
    left -= static_cast<std::uint32_t>(size);
  }
}

// The lengths of the chunks that are read whole; not under the checksum.
void Decoder::CheckLength(const std::string& name, std::uint32_t length) const {
  if (name == "IHDR" && length != 13) {
    Damaged("IHDR chunk of " + Bytes(length) + ", not 13");
  }
  if (name == "IEND" && length != 0) {
    Damaged("IEND chunk of " + Bytes(length) + ", not 0");
  }
  if (name == "PLTE" && (length == 0 || length > 768 || length % 3 != 0)) {
    Damaged("PLTE chunk of " + Bytes(length) +
            ", not 1 to 256 entries of 3 bytes");
  }
  if (name == "tRNS" && length > 256) {
    Damaged("tRNS chunk of " + Bytes(length) + ", more than 256");
  }
}

void Decoder::Header(const std::vector<std::uint8_t>& data) {
  if (haveHeader_) Damaged("a second IHDR chunk");
  haveHeader_ = true;
  width_ = BigEndian32(&data[0]);
  height_ = BigEndian32(&data[4]);
  depth_ = data[8];
  colourType_ = data[9];
  if (width_ == 0 || width_ > kMaxLength || height_ == 0 ||
      height_ > kMaxLength) {
    Damaged("IHDR gives a size of " + std::to_string(width_) + "x" +
            std::to_string(height_) + " (each side must be 1 to 2147483647)");
  }
  int depths = 0;  // the bit depths allowed, one bit each
  switch (colourType_) {
    case 0:
      channels_ = 1;
      depths = 1 | 2 | 4 | 8 | 16;
      break;
    case 2:
      channels_ = 3;
      depths = 8 | 16;
      break;
    case 3:
      channels_ = 1;
      depths = 1 | 2 | 4 | 8;
      break;
    case 4:
      channels_ = 2;
      depths = 8 | 16;
      break;
    case 6:
      channels_ = 4;
      depths = 8 | 16;
      break;
    default:
      Damaged("IHDR gives colour type " + std::to_string(colourType_) +
              ", which is none of 0, 2, 3, 4, 6");
  }
  if ((depth_ & depths) == 0 || (depth_ & (depth_ - 1)) != 0) {
    Damaged("IHDR gives bit depth " + std::to_string(depth_) +
            ", which colour type " + std::to_string(colourType_) +
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
  interlaced_ = data[12] == 1;

  // Both sides are below 2^31, so the product and every count derived from
  // it below (at most 8 bytes and a filter byte per pixel, maxPixels at most
  // 2^40) fit in 64 bits.
  const std::uint64_t pixels = static_cast<std::uint64_t>(width_) * height_;
  if (pixels > maxPixels_) {
    throw FileError("cannot read " + path_ + ": the picture is " +
                    std::to_string(width_) + "x" + std::to_string(height_) +
                    ", " + std::to_string(pixels) +
                    " pixels; velk-host renders at most " +
                    std::to_string(maxPixels_) + " pixels");
  }
  const std::uint64_t bitsPerPixel =
      static_cast<std::uint64_t>(channels_) * depth_;
  for (const Pass& pass : PassesOf(interlaced_)) {
    const std::uint64_t columns = PassSize(width_, pass.x0, pass.dx);
    const std::uint64_t rows = PassSize(height_, pass.y0, pass.dy);
    if (columns == 0 || rows == 0) continue;
    expectedBytes_ += rows * (1 + (columns * bitsPerPixel + 7) / 8);
  }
  if (inflateInit(&zlib_) != Z_OK) throw std::bad_alloc();
  zlibOpen_ = true;
}

void Decoder::Palette(const std::vector<std::uint8_t>& data) {
  if (stage_ != Stage::kBeforeImageData) Damaged("PLTE chunk after IDAT");
  if (havePalette_) Damaged("a second PLTE chunk");
  if (haveTransparency_) Damaged("PLTE chunk after tRNS");
  if (colourType_ == 0 || colourType_ == 4) {
    Damaged("PLTE chunk in a greyscale PNG");
  }
  const std::size_t entries = data.size() / 3;
  if (colourType_ == 3 && entries > (std::size_t{1} << depth_)) {
    Damaged("PLTE of " + std::to_string(entries) + " entries for bit depth " +
            std::to_string(depth_) + " (at most " +
            std::to_string(1 << depth_) + ")");
  }
  havePalette_ = true;
  palette_ = data;
}

void Decoder::Transparency(const std::vector<std::uint8_t>& data) {
  if (stage_ != Stage::kBeforeImageData) Damaged("tRNS chunk after IDAT");
  if (haveTransparency_) Damaged("a second tRNS chunk");
  haveTransparency_ = true;
  const std::size_t size = data.size();
  switch (colourType_) {
    case 3:
      if (!havePalette_) Damaged("tRNS chunk before PLTE");
      if (size > palette_.size() / 3) {
        Damaged("tRNS of " + Entries(size) + " for a palette of " +
                Entries(palette_.size() / 3));
      }
      paletteAlpha_ = data;
      return;
    case 0:
    case 2:
      if (size != static_cast<std::size_t>(channels_) * 2) {
        Damaged("tRNS chunk of " + Bytes(size) + ", not " +
                std::to_string(channels_ * 2) + " for colour type " +
                std::to_string(colourType_));
      }
      for (int i = 0; i < channels_; ++i) {
        transparent_[i] =
            static_cast<std::uint16_t>(data[2 * i] << 8 | data[2 * i + 1]);
      }
      return;
    default:
      Damaged("tRNS chunk in a PNG with an alpha channel");
  }
}

// Inflates IDAT data into the filtered rows. A fault is kept in fault_.
void Decoder::ImageData(const std::uint8_t* data, std::size_t size) {
  if (!fault_.empty() || size == 0) return;
  if (streamEnded_) {
    fault_ = "data after the end of the compressed image data";
    return;
  }
  zlib_.next_in = const_cast<std::uint8_t*>(data);
  zlib_.avail_in = static_cast<uInt>(size);
  while (zlib_.avail_in > 0) {
    std::uint8_t beyond = 0;  // catches a byte past the expected ones
    const bool full = produced_ == expectedBytes_;
    if (!full && produced_ == raw_.size()) {
      raw_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(
          expectedBytes_, std::max<std::uint64_t>(raw_.size() * 2, kPiece))));
    }
    const std::uint64_t room = full ? 1 : raw_.size() - produced_;
    zlib_.next_out = full ? &beyond : raw_.data() + produced_;
    zlib_.avail_out =
        static_cast<uInt>(std::min<std::uint64_t>(room, 1u << 30));
    const uInt inputBefore = zlib_.avail_in;
    const uInt outputBefore = zlib_.avail_out;
    const int result = inflate(&zlib_, Z_NO_FLUSH);
    const uInt written = outputBefore - zlib_.avail_out;
    if (full && written > 0) {
      fault_ = "too much image data (more than " + Bytes(expectedBytes_) +
               " of filtered rows)";
      return;
    }
    produced_ += written;
    if (result == Z_STREAM_END) {
      streamEnded_ = true;
      if (zlib_.avail_in > 0) {
        fault_ = "data after the end of the compressed image data";
      }
      return;
    }
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result != Z_OK || (written == 0 && zlib_.avail_in == inputBefore)) {
      fault_ = std::string("corrupt compressed image data") +
               (result == Z_NEED_DICT  ? " (it asks for a preset dictionary)"
                : zlib_.msg != nullptr ? std::string(" (") + zlib_.msg + ")"
                                       : "");
      return;
    }
  }
}

void Decoder::End() {
  if (stage_ == Stage::kBeforeImageData) Damaged("no IDAT chunk");
  if (!streamEnded_) {
    Damaged("too little image data (the compressed stream ends early, after " +
            Bytes(produced_) + " of " + std::to_string(expectedBytes_) + ")");
  }
  if (produced_ < expectedBytes_) {
    Damaged("too little image data (" + Bytes(produced_) + " of " +
            std::to_string(expectedBytes_) + ")");
  }
}

// Stores `count` pixels of an unfiltered row at x0, x0 + dx, ... of row y.
void Decoder::Store(const std::uint8_t* row, std::uint32_t count,
                    std::uint32_t x0, std::uint32_t dx, std::uint32_t y,
                    Picture& picture) const {
  const int depth = depth_;
  const auto sample = [row, depth](std::size_t index) -> std::uint16_t {
    if (depth == 16) {
      return static_cast<std::uint16_t>(row[2 * index] << 8 |
                                        row[2 * index + 1]);
    }
    if (depth == 8) return row[index];
    const std::size_t bit = index * depth;
    return static_cast<std::uint16_t>((row[bit / 8] >> (8 - depth - bit % 8)) &
                                      ((1 << depth) - 1));
  };
  const std::uint16_t opaque = depth == 16 ? 0xFFFF : 0xFF;
  // Grey of fewer than 8 bits spreads over 0 to 255: 1 bit x255, 2 x85, 4 x17.
  const std::uint16_t greyScale =
      depth < 8 ? static_cast<std::uint16_t>(255 / ((1 << depth) - 1)) : 1;
  const std::size_t entries = palette_.size() / 3;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint16_t* rgba = picture.At(static_cast<std::int32_t>(x0 + i * dx),
                                     static_cast<std::int32_t>(y));
    const std::size_t s = static_cast<std::size_t>(i) * channels_;
    switch (colourType_) {
      case 0: {
        const std::uint16_t grey = sample(s);
        rgba[0] = rgba[1] = rgba[2] =
            static_cast<std::uint16_t>(grey * greyScale);
        rgba[3] = haveTransparency_ && grey == transparent_[0] ? 0 : opaque;
        break;
      }
      case 2:
        rgba[0] = sample(s);
        rgba[1] = sample(s + 1);
        rgba[2] = sample(s + 2);
        rgba[3] = haveTransparency_ && rgba[0] == transparent_[0] &&
                          rgba[1] == transparent_[1] &&
                          rgba[2] == transparent_[2]
                      ? 0
                      : opaque;
        break;
      case 3: {
        const std::size_t index = sample(s);
        if (index >= entries) {
          Damaged("palette index " + std::to_string(index) +
                  " past a palette of " + Entries(entries));
        }
        rgba[0] = palette_[3 * index];
        rgba[1] = palette_[3 * index + 1];
        rgba[2] = palette_[3 * index + 2];
        rgba[3] = index < paletteAlpha_.size() ? paletteAlpha_[index] : 0xFF;
        break;
      }
      case 4:
        rgba[0] = rgba[1] = rgba[2] = sample(s);
        rgba[3] = sample(s + 1);
        break;
      default:
        rgba[0] = sample(s);
        rgba[1] = sample(s + 1);
        rgba[2] = sample(s + 2);
        rgba[3] = sample(s + 3);
        break;
    }
  }
}

// Undoes the filters of every pass and stores the pixels.
Picture Decoder::Pixels() {
  Picture picture;
  picture.width = static_cast<std::int32_t>(width_);
  picture.height = static_cast<std::int32_t>(height_);
  picture.deep = depth_ == 16;
  picture.rgba.assign(static_cast<std::size_t>(width_) * height_ * 4, 0);
  const std::size_t bitsPerPixel = static_cast<std::size_t>(channels_) * depth_;
  const std::size_t pixelBytes = std::max<std::size_t>(bitsPerPixel / 8, 1);
  const Passes passes = PassesOf(interlaced_);
  std::uint8_t* row = raw_.data();
  for (const Pass& pass : passes) {
    const std::uint32_t columns = PassSize(width_, pass.x0, pass.dx);
    const std::uint32_t rows = PassSize(height_, pass.y0, pass.dy);
    if (columns == 0 || rows == 0) continue;
    const std::size_t rowBytes = (columns * bitsPerPixel + 7) / 8;
    const std::uint8_t* previous = nullptr;
    for (std::uint32_t y = 0; y < rows; ++y, row += rowBytes + 1) {
      if (row[0] > 4) {
        Damaged("unknown filter type " + std::to_string(row[0]) + " in row " +
                std::to_string(y) +
                (interlaced_ ? " of interlace pass " +
                                   std::to_string(&pass - passes.first + 1)
                             : std::string()));
      }
      Unfilter(row[0], row + 1, previous, rowBytes, pixelBytes);
      Store(row + 1, columns, pass.x0, pass.dx, pass.y0 + y * pass.dy, picture);
      previous = row + 1;
    }
  }
  return picture;
}

Picture Decoder::Decode() {
  std::uint8_t signature[sizeof kSignature];
  if (Read(signature, sizeof signature) != sizeof signature ||
      std::memcmp(signature, kSignature, sizeof signature) != 0) {
    Damaged("no PNG signature at the start");
  }
  for (bool first = true;; first = false) {
    std::uint8_t head[8];
    const std::size_t got = Read(head, sizeof head);
    if (got == 0) Damaged("no IEND chunk");
    if (got < sizeof head) Damaged("file ends inside a chunk header");
    const std::uint32_t length = BigEndian32(head);
    const std::string name(reinterpret_cast<const char*>(head + 4), 4);
    for (const char c : name) {
      if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) {
        Damaged("a chunk type that is not 4 letters (bytes " +
                std::to_string(head[4]) + " " + std::to_string(head[5]) + " " +
                std::to_string(head[6]) + " " + std::to_string(head[7]) + ")");
      }
    }
    if (length > kMaxLength) {
      Damaged(name + " chunk length " + std::to_string(length) +
              " is over 2147483647");
    }
    if (first && name != "IHDR") {
      Damaged("the first chunk is " + name + ", not IHDR");
    }
    CheckLength(name, length);
    const bool known =
        name == "IHDR" || name == "PLTE" || name == "tRNS" || name == "IEND";
    if (name == "IDAT") {
      if (stage_ == Stage::kAfterImageData) {
        fault_ = "IDAT chunks that are not consecutive";
      } else if (colourType_ == 3 && !havePalette_) {
        fault_ = "no PLTE chunk before IDAT in a palette PNG";
      }
    } else if (stage_ == Stage::kInImageData) {
      stage_ = Stage::kAfterImageData;
    }
    std::vector<std::uint8_t> data;
    std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, head + 4, 4));
    ReadChunkData(name, length, known ? &data : nullptr, crc);
    std::uint8_t stored[4];
    if (Read(stored, sizeof stored) != sizeof stored) {
      Damaged("file ends inside the " + name + " chunk");
    }
    if (BigEndian32(stored) != crc) Damaged("bad checksum in " + name);
    if (!fault_.empty()) Damaged(fault_);
    if (name == "IHDR") {
      Header(data);
    } else if (name == "PLTE") {
      Palette(data);
    } else if (name == "tRNS") {
      Transparency(data);
    } else if (name == "IDAT") {
      stage_ = Stage::kInImageData;
    } else if (name == "IEND") {
      End();
      break;
    } else if ((name[0] & 0x20) == 0) {
      Damaged("unknown critical chunk " + name);
    }
  }
  std::uint8_t extra = 0;
  if (Read(&extra, 1) != 0) Damaged("data after the IEND chunk");
  return Pixels();
}

}  // namespace

Picture DecodePng(std::FILE* file, const std::string& path,
                  std::uint64_t maxPixels) {
  return Decoder(file, path, maxPixels).Decode();
}

}  // namespace velk::host
