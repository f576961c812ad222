#include "host/cli/png_io.h"

#include <stb_image_write.h>

#include <climits>

#include "host/cli/png_reader.h"

namespace velk::host {

namespace {

// The PNG writer counts in int: its filtered rows take (4 x width + 1) x
// height bytes, and its compressed stream, up to 9/8 of them plus a few
// bytes, grows in a buffer whose capacity runs 2, 5, 11, ... 3 x 2^k - 1
// and must stay below 3 x 2^30 - 1 to be doubled in an int.
constexpr std::uint64_t kMaxWriterBytes = 1'400'000'000;
static_assert(kMaxWriterBytes <= INT_MAX &&
                  kMaxWriterBytes / 8 * 9 + 64 < (3ull << 29) - 1,
              "the writer's counts fit its int sizes");
// width <= pixels, so (4 x width + 1) x height <= 5 x pixels.
static_assert(5 * kMaxPixels <= kMaxWriterBytes,
              "every picture the command reads can be written");

void WriteBytes(void* context, void* data, int size) {
  static_cast<OutputFile*>(context)->Write(data,
                                           static_cast<std::size_t>(size));
}

}  // namespace

Picture ReadPng(const std::string& path) {
  const File file = OpenToRead(path);
  return DecodePng(file.get(), path, kMaxPixels);
}

void WritePng(const std::string& path, const Picture& picture) {
  if (picture.width <= 0 || picture.height <= 0 ||
      (4 * static_cast<std::uint64_t>(picture.width) + 1) * picture.height >
          kMaxWriterBytes) {
    throw FileError("cannot write " + path + ": no picture of that size");
  }
  std::vector<std::uint8_t> bytes(picture.rgba.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint16_t value = picture.rgba[i];
    bytes[i] = picture.deep ? To8Bits(value) : static_cast<std::uint8_t>(value);
  }
  OutputFile file(path);
  if (!stbi_write_png_to_func(&WriteBytes, &file, picture.width, picture.height,
                              4, bytes.data(), picture.width * 4)) {
    throw FileError("cannot write " + path + ": the PNG encoder failed");
  }
  file.Commit();
}

}  // namespace velk::host
