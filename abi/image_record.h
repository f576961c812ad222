// A host image: the output image of a render, and the input layer's image
// inside parameter definition 0. The effect only reads worldFlags and the
// extent's top and bottom; every other field is the host's.
#pragma once

#include "abi/host_abi.h"

namespace velk {

// Bit 0 of worldFlags: the image has 16 bits per channel (Pixel16); clear,
// it has 8 bits per channel (Pixel8). No other bit is looked at.
constexpr std::uint32_t kWorldFlagDeep = 0x1;

struct ImageRecord {
  // Host's own fields, never touched by the effect: where the pixels are and
  // how they are laid out (row 0 first, rowBytes from one row to the next).
  void* data;
  std::int32_t rowBytes;
  std::int32_t width;

  std::uint32_t worldFlags;

  std::int32_t height;  // host's
  std::uint8_t hostOwned0[20];
  std::int32_t extentLeft;  // host's

  std::int32_t extentTop;
  std::int32_t extentRight;  // host's
  std::int32_t extentBottom;

  std::uint8_t hostOwned1[4];
};
VELK_ASSERT_FIELD(ImageRecord, worldFlags, 16, 4);
VELK_ASSERT_FIELD(ImageRecord, extentTop, 48, 4);
VELK_ASSERT_FIELD(ImageRecord, extentBottom, 56, 4);
// An ImageRecord must fit the 120-byte value union of a ParamDefinition.
static_assert(sizeof(ImageRecord) <= 120, "ImageRecord fits a value union");

}  // namespace velk
