// PNG files for the stand-in host's render command: read with 8 or 16 bits
// per channel, with or without alpha; written with 8 bits per channel and
// alpha.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/cli/safe_file.h"

namespace velk::host {

// A picture as straight RGBA, four channel values per pixel, row 0 first.
// Values run to 255 when `deep` is false and to 65535 when it is true.
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

// The largest picture that the render command takes, in pixels. A render
// holds about 31 bytes per pixel at once (the picture, the input and output
// images, the picture read back, the PNG writer's rows and its compressed
// stream): about 7.75 GB at this size. Every count derived from it fits the
// 32-bit sizes of what follows (see png_io.cpp and render_command.cpp).
constexpr std::uint64_t kMaxPixels = 250'000'000;

// Reads a PNG of any colour type: grey, grey with alpha, palette, RGB or
// RGBA, at any bit depth, interlaced or not, with tRNS transparency. A PNG
// of 16 bits per channel gives a deep picture; every other one gives 8 bits
// per channel. Without alpha in the file, every pixel is opaque. A damaged
// file, or one of more than kMaxPixels, is refused with FileError.
Picture ReadPng(const std::string& path);

// Writes `picture` as an RGBA PNG of 8 bits per channel, whole or not at
// all (OutputFile). A deep picture is rounded to 8 bits per channel on the
// way (value / 257).
void WritePng(const std::string& path, const Picture& picture);

// A 16-bit channel value rounded to 8 bits.
constexpr std::uint8_t To8Bits(std::uint16_t value) {
  return static_cast<std::uint8_t>((value + 128u) / 257u);
}

}  // namespace velk::host
