// One pixel of a host image: four channels, alpha first in memory.
#pragma once

#include "abi/host_abi.h"

namespace velk {

struct Pixel8 {
  std::uint8_t alpha;
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
};
VELK_ASSERT_FIELD(Pixel8, alpha, 0, 1);
VELK_ASSERT_FIELD(Pixel8, red, 1, 1);
VELK_ASSERT_FIELD(Pixel8, green, 2, 1);
VELK_ASSERT_FIELD(Pixel8, blue, 3, 1);
static_assert(sizeof(Pixel8) == 4, "Pixel8 is four bytes");

struct Pixel16 {
  std::uint16_t alpha;
  std::uint16_t red;
  std::uint16_t green;
  std::uint16_t blue;
};
VELK_ASSERT_FIELD(Pixel16, alpha, 0, 2);
VELK_ASSERT_FIELD(Pixel16, red, 2, 2);
VELK_ASSERT_FIELD(Pixel16, green, 4, 2);
VELK_ASSERT_FIELD(Pixel16, blue, 6, 2);
static_assert(sizeof(Pixel16) == 8, "Pixel16 is eight bytes");

}  // namespace velk
