// Reads a fuzz input front to back. A read past the end gives zero bytes, so
// every input, the empty one included, decodes to something. Each chooser
// takes one byte: a low byte picks a value that matters at the host boundary
// (zero, one, the extremes, NaN, the infinities), a middle byte a small value
// near the sizes of the fuzzer's images, and a high byte takes the raw value
// from the bytes that follow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace velk::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size)
      : data_(data), size_(size) {}

  bool empty() const { return at_ >= size_; }

  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

  std::uint32_t Raw32() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t{Byte()} << (8 * i);
    return value;
  }

  std::uint64_t Raw64() {
    const std::uint64_t low = Raw32();
    return low | std::uint64_t{Raw32()} << 32;
  }

  // 0 to 15: a boundary value; 16 to 127: -48 to 63; above: four raw bytes.
  std::int32_t Int() { return IntFrom(Byte()); }

  // A 16.16 coordinate: as Int for a low or a high byte; 16 to 127 run from
  // -16 to 39.5 pixels in half-pixel steps.
  std::int32_t Fixed() {
    const std::uint8_t choice = Byte();
    if (choice >= 16 && choice < 128) return (choice - 48) * 0x8000;
    return IntFrom(choice);
  }

  // An unsigned downsample denominator, zero and top-bit values included;
  // 16 to 127 give 1 to 112.
  std::uint32_t Denominator() {
    static constexpr std::uint32_t kBoundary[16] = {
        0,           1,  2,   3,    0x80000000u, 0xFFFFFFFFu, 0x80000001u, 4, 8,
        0x7FFFFFFFu, 16, 100, 1000, 5,           7,           0x40000000u};
    const std::uint8_t choice = Byte();
    if (choice < 16) return kBoundary[choice];
    if (choice < 128) return choice - 15u;
    return Raw32();
  }

  // A 64-bit real: 0 to 15 boundary values, NaN and infinities among them;
  // 16 to 127 run from -16 to 39.5 in steps of 0.5; above: eight raw bytes.
  double Real() {
    using Limits = std::numeric_limits<double>;
    static const double kBoundary[16] = {0.0,
                                         -0.0,
                                         1.0,
                                         -1.0,
                                         Limits::quiet_NaN(),
                                         -Limits::quiet_NaN(),
                                         Limits::infinity(),
                                         -Limits::infinity(),
                                         Limits::max(),
                                         -Limits::max(),
                                         Limits::min(),
                                         Limits::denorm_min(),
                                         -Limits::denorm_min(),
                                         1e300,
                                         2147483648.0,
                                         50000.0};
    const std::uint8_t choice = Byte();
    if (choice < 16) return kBoundary[choice];
    if (choice < 128) return (choice - 48) * 0.5;
    const std::uint64_t bits = Raw64();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

 private:
  static constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  static constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

  std::int32_t IntFrom(std::uint8_t choice) {
    static constexpr std::int32_t kBoundary[16] = {
        0,    1,    2,     -1,    kMin,       kMax,    kMin + 1, kMax - 1,
        0x80, 0xFF, 0x100, 0x101, 0x7FFF0000, 0x10000, -0x10000, 3};
    if (choice < 16) return kBoundary[choice];
    if (choice < 128) return choice - 64;
    return static_cast<std::int32_t>(Raw32());
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace velk::fuzz
