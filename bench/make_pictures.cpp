// Writes the pictures that scripts/bench renders with velk-host and with
// ImageMagick, through the render tool's own PNG writer:
//   smooth8.png   8000x8000 RGBA, 8 bits: slow gradients and waves
//   noisy8.png    8000x8000 RGBA, 8 bits: every sample random
//   noisy16.png   4000x4000 RGBA, 16 bits: every sample random
// The same pictures on every run: the noise comes from a fixed seed.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "abi/pixel.h"
#include "host/cli/png_writer.h"
#include "host/cli/safe_file.h"
#include "host/host_image.h"

namespace {

using velk::ImageRecord;
using velk::Pixel16;
using velk::Pixel8;

// xorshift64: fast, and the same sequence everywhere.
struct Noise {
  std::uint64_t state;
  std::uint64_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
};

void Smooth(ImageRecord& image) {
  for (std::int32_t y = 0; y < image.height; ++y) {
    const double v = static_cast<double>(y) / image.height;
    Pixel8* row = velk::host::PixelAt<Pixel8>(image, 0, y);
    for (std::int32_t x = 0; x < image.width; ++x) {
      const double u = static_cast<double>(x) / image.width;
      row[x] = {
          static_cast<std::uint8_t>(200 + 55 * std::sin(6.0 * u * v)),
          static_cast<std::uint8_t>(255 * u),
          static_cast<std::uint8_t>(255 * v),
          static_cast<std::uint8_t>(127.5 + 127.5 * std::sin(9.0 * (u + v)))};
    }
  }
}

template <typename Pixel>
void Noisy(ImageRecord& image, std::uint64_t seed) {
  Noise noise{seed};
  for (std::int32_t y = 0; y < image.height; ++y) {
    auto* row = reinterpret_cast<std::uint8_t*>(
        velk::host::PixelAt<Pixel>(image, 0, y));
    const std::size_t bytes = image.width * sizeof(Pixel);
    for (std::size_t i = 0; i + 8 <= bytes; i += 8) {
      const std::uint64_t word = noise.Next();
      std::memcpy(row + i, &word, 8);
    }
  }
}

template <typename Fill>
void Write(const std::string& path, std::int32_t side, bool deep, Fill fill) {
  ImageRecord image{};
  std::vector<std::uint8_t> storage;
  velk::host::LayOutImage(image, storage, side, side, deep);
  fill(image);
  velk::host::OutputFile file(path);
  velk::host::WritePng(file, image,
                       static_cast<int>(std::thread::hardware_concurrency()));
  file.Commit();
  std::printf("wrote %s\n", path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: velk_bench_pictures FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  try {
    Write(folder + "smooth8.png", 8000, false, Smooth);
    Write(folder + "noisy8.png", 8000, false, [](ImageRecord& image) {
      Noisy<Pixel8>(image, 0x9E3779B97F4A7C15u);
    });
    Write(folder + "noisy16.png", 4000, true, [](ImageRecord& image) {
      Noisy<Pixel16>(image, 0xD1B54A32D192ED03u);
    });
  } catch (const std::exception& error) {
    std::fprintf(stderr, "velk_bench_pictures: %s\n", error.what());
    return 1;
  }
  return 0;
}
