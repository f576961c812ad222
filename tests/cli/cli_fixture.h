// Helpers for the command-line tests: scratch files, small pictures, and
// the command line run in-process with its output captured.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "abi/pixel.h"
#include "host/cli/host_cli.h"
#include "host/cli/png_reader.h"
#include "host/cli/png_writer.h"
#include "host/cli/render_command.h"
#include "host/host_image.h"

namespace velk::test {

// A path in the build's scratch directory, unique to the running test.
inline std::string ScratchPath(const std::string& leaf) {
  const testing::TestInfo* test =
      testing::UnitTest::GetInstance()->current_test_info();
  return std::string(VELK_CLI_SCRATCH_DIR) + "/" + test->test_suite_name() +
         "." + test->name() + "." + leaf;
}

inline std::string SamplePath(const std::string& leaf) {
  return std::string(VELK_SAMPLES_DIR) + "/" + leaf;
}

inline bool FileExists(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

// A picture as straight RGBA, four channel values per pixel, row 0 first:
// what the tests state and compare. Values run to 255 when `deep` is false
// and to 65535 when it is true.
struct Picture {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool deep = false;
  std::vector<std::uint16_t> rgba;

  std::uint16_t* At(std::int32_t x, std::int32_t y) {
    return &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
  }
  const std::uint16_t* At(std::int32_t x, std::int32_t y) const {
    return &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
  }
};

// A host image with the storage behind it, laid out by the stand-in host.
struct Layer {
  ImageRecord record{};
  std::vector<std::uint8_t> storage;
};

template <typename Pixel>
Picture PixelsOf(const ImageRecord& image) {
  Picture picture;
  picture.width = image.width;
  picture.height = image.height;
  picture.deep = sizeof(Pixel) == sizeof(Pixel16);
  for (std::int32_t y = 0; y < image.height; ++y) {
    for (std::int32_t x = 0; x < image.width; ++x) {
      const Pixel* pixel = host::PixelAt<Pixel>(image, x, y);
      picture.rgba.insert(picture.rgba.end(), {pixel->red, pixel->green,
                                               pixel->blue, pixel->alpha});
    }
  }
  return picture;
}

// The pixels of a host image as a picture of its size and depth.
inline Picture PictureOf(const ImageRecord& image) {
  return host::IsDeep(image) ? PixelsOf<Pixel16>(image)
                             : PixelsOf<Pixel8>(image);
}

// `picture` as a host image of its size and depth.
inline void LayOut(const Picture& picture, Layer& layer) {
  host::LayOutImage(layer.record, layer.storage, picture.width, picture.height,
                    picture.deep);
  for (std::int32_t y = 0; y < picture.height; ++y) {
    for (std::int32_t x = 0; x < picture.width; ++x) {
      const std::uint16_t* rgba = picture.At(x, y);
      if (picture.deep) {
        *host::PixelAt<Pixel16>(layer.record, x, y) = {rgba[3], rgba[0],
                                                       rgba[1], rgba[2]};
      } else {
        *host::PixelAt<Pixel8>(layer.record, x, y) = {
            static_cast<std::uint8_t>(rgba[3]),
            static_cast<std::uint8_t>(rgba[0]),
            static_cast<std::uint8_t>(rgba[1]),
            static_cast<std::uint8_t>(rgba[2])};
      }
    }
  }
}

// Reads a PNG file into a layer, as the render command does, at the
// downsample factors, and gives the layer's pixels.
inline Picture ReadPng(const std::string& path, DownsampleFactor x = {1, 1},
                       DownsampleFactor y = {1, 1}) {
  const host::File file = host::OpenToRead(path);
  host::PngReader reader(file.get(), path, host::kMaxPixels);
  Layer layer;
  host::LayOutImage(layer.record, layer.storage,
                    host::DownsampledSize(reader.width(), x),
                    host::DownsampledSize(reader.height(), y), reader.deep());
  reader.ReadInto(layer.record, x, y);
  return PictureOf(layer.record);
}

// Writes `picture` as the render command writes its output image.
inline void WritePng(const std::string& path, const Picture& picture,
                     int threads = 3) {
  Layer layer;
  LayOut(picture, layer);
  host::OutputFile file(path);
  host::WritePng(file, layer.record, threads);
  file.Commit();
}

// A width x height picture whose every channel value differs from its
// neighbours', alpha included, with no alpha of 0.
inline Picture PatternPicture(std::int32_t width, std::int32_t height,
                              bool deep) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.deep = deep;
  picture.rgba.resize(static_cast<std::size_t>(width) * height * 4);
  const unsigned scale = deep ? 257 : 1;
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      std::uint16_t* rgba = picture.At(x, y);
      rgba[0] = static_cast<std::uint16_t>((x * 5 + 3) % 256 * scale);
      rgba[1] = static_cast<std::uint16_t>((y * 7 + 11) % 256 * scale);
      rgba[2] = static_cast<std::uint16_t>((x + y * 3) % 256 * scale);
      rgba[3] = static_cast<std::uint16_t>((128 + x + y) % 255 + 1) * scale;
    }
  }
  return picture;
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// PNG files made chunk by chunk, with right or wrong checksums.
namespace png {

inline const std::string kSignature("\x89PNG\r\n\x1A\n", 8);

inline std::string BigEndian32(std::uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
          static_cast<char>(value >> 8), static_cast<char>(value)};
}

// A chunk whose checksum is off by `crcError` (0: the right one).
inline std::string Chunk(const std::string& type, const std::string& data,
                         std::uint32_t crcError = 0) {
  const std::string body = type + data;
  const auto crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(body.data()),
            static_cast<uInt>(body.size())));
  return BigEndian32(static_cast<std::uint32_t>(data.size())) + body +
         BigEndian32(crc ^ crcError);
}

inline std::string Header(std::uint32_t width, std::uint32_t height, int depth,
                          int colourType, int interlace = 0,
                          int compression = 0, int filter = 0) {
  return Chunk(
      "IHDR",
      BigEndian32(width) + BigEndian32(height) +
          std::string{static_cast<char>(depth), static_cast<char>(colourType),
                      static_cast<char>(compression), static_cast<char>(filter),
                      static_cast<char>(interlace)});
}

// `raw` (filter bytes and rows) as a zlib stream.
inline std::string Compressed(const std::string& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string stream(size, '\0');
  compress(reinterpret_cast<Bytef*>(stream.data()), &size,
           reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  stream.resize(size);
  return stream;
}

inline std::string ImageData(const std::string& raw) {
  return Chunk("IDAT", Compressed(raw));
}

inline const std::string kEnd = Chunk("IEND", "");

inline std::string File(std::initializer_list<std::string> chunks) {
  std::string file = kSignature;
  for (const std::string& chunk : chunks) file += chunk;
  return file;
}

}  // namespace png

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

inline CliRun RunCommandLine(const std::vector<std::string>& arguments) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = host::RunCli(arguments, out, err);
  return {status, out.str(), err.str()};
}

}  // namespace velk::test
