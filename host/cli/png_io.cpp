#include "host/cli/png_io.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

namespace velk::host {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File Open(const std::string& path, const char* mode, const char* verb) {
  errno = 0;
  File file(std::fopen(path.c_str(), mode));
  if (!file) {
    throw FileError(std::string("cannot ") + verb + " " + path + ": " +
                    std::strerror(errno));
  }
  return file;
}

std::vector<unsigned char> ReadWholeFile(const std::string& path) {
  File file = Open(path, "rb", "open");
  std::vector<unsigned char> bytes;
  unsigned char buffer[1 << 16];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    if (bytes.size() + count > static_cast<std::size_t>(INT_MAX)) {
      throw FileError("cannot read " + path + ": file too large");
    }
    bytes.insert(bytes.end(), buffer, buffer + count);
  }
  if (std::ferror(file.get())) {
    throw FileError("cannot read " + path + ": " + std::strerror(errno));
  }
  return bytes;
}

struct PixelsFree {
  void operator()(void* pixels) const { stbi_image_free(pixels); }
};

template <typename Channel>
using DecodedPixels = std::unique_ptr<Channel, PixelsFree>;

template <typename Channel>
Picture ToPicture(const DecodedPixels<Channel>& pixels, int width, int height,
                  bool deep) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.deep = deep;
  const std::size_t values = static_cast<std::size_t>(width) * height * 4;
  picture.rgba.assign(pixels.get(), pixels.get() + values);
  return picture;
}

// errno after a failed write, never 0.
int WriteErrno() { return errno != 0 ? errno : EIO; }

struct WriteTarget {
  std::FILE* file;
  int error;  // errno of the first failed write, 0 while none failed
};

void WriteBytes(void* context, void* data, int size) {
  auto* target = static_cast<WriteTarget*>(context);
  if (std::fwrite(data, 1, static_cast<std::size_t>(size), target->file) !=
          static_cast<std::size_t>(size) &&
      target->error == 0) {
    target->error = WriteErrno();
  }
}

}  // namespace

Picture ReadPng(const std::string& path) {
  const std::vector<unsigned char> bytes = ReadWholeFile(path);
  const auto* data = bytes.data();
  const int length = static_cast<int>(bytes.size());
  int width = 0;
  int height = 0;
  int fileChannels = 0;
  Picture picture;
  if (stbi_is_16_bit_from_memory(data, length)) {
    DecodedPixels<stbi_us> pixels(stbi_load_16_from_memory(
        data, length, &width, &height, &fileChannels, 4));
    if (pixels) picture = ToPicture(pixels, width, height, true);
  } else {
    DecodedPixels<stbi_uc> pixels(
        stbi_load_from_memory(data, length, &width, &height, &fileChannels, 4));
    if (pixels) picture = ToPicture(pixels, width, height, false);
  }
  if (picture.rgba.empty()) {
    const char* reason = stbi_failure_reason();
    throw FileError("cannot read " + path +
                    " as PNG: " + (reason != nullptr ? reason : "no pixels"));
  }
  return picture;
}

void WritePng(const std::string& path, const Picture& picture) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.width > INT_MAX / 4) {
    throw FileError("cannot write " + path + ": no picture of that size");
  }
  std::vector<std::uint8_t> bytes(picture.rgba.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint16_t value = picture.rgba[i];
    bytes[i] = picture.deep ? To8Bits(value) : static_cast<std::uint8_t>(value);
  }
  File file = Open(path, "wb", "create");
  WriteTarget target{file.get(), 0};
  errno = 0;
  const bool encoded = stbi_write_png_to_func(&WriteBytes, &target,
                                              picture.width, picture.height, 4,
                                              bytes.data(), picture.width * 4);
  if (target.error == 0 && std::fflush(file.get()) != 0) {
    target.error = WriteErrno();
  }
  if (std::fclose(file.release()) != 0 && target.error == 0) {
    target.error = WriteErrno();
  }
  if (!encoded || target.error != 0) {
    std::remove(path.c_str());  // no half-written picture is left behind
    throw FileError(
        "cannot write " + path + ": " +
        (encoded ? std::strerror(target.error) : "the PNG encoder failed"));
  }
}

}  // namespace velk::host
