// The rectangle that a render hands to every pixel-function call through the
// iterate operation's reference value. Packed: each field follows the one
// before it with no gap (37 bytes), so the edges are not 8-byte aligned;
// read them by value, never through a reference or a pointer to a member.
#pragma once

#include "abi/host_abi.h"
#include "effect/param_index.h"

namespace velk {

// RectInfo::mode, the "Type" popup's value. Any other value means there is
// no rectangle and the pixel functions leave every output pixel as it is.
constexpr std::int32_t kRectModeMargins = kTypeIndividual;  // closed edges
constexpr std::int32_t kRectModeBox = kTypeWidthHeight;     // half-open

#pragma pack(push, 1)
struct RectInfo {
  std::int32_t mode;  // the "Type" popup's value, unchanged
  // Edges in the output image's pixel coordinates: left <= x, x <= right
  // (mode 1) or x < right (mode 2), and likewise top and bottom for y. They
  // are neither ordered nor clamped and may be fractional, infinite or NaN.
  double left;
  double right;
  double top;
  double bottom;
  std::int8_t invert;  // non-zero: clear the inside, keep the outside
};
#pragma pack(pop)

VELK_ASSERT_FIELD(RectInfo, mode, 0, 4);
VELK_ASSERT_FIELD(RectInfo, left, 4, 8);
VELK_ASSERT_FIELD(RectInfo, right, 12, 8);
VELK_ASSERT_FIELD(RectInfo, top, 20, 8);
VELK_ASSERT_FIELD(RectInfo, bottom, 28, 8);
VELK_ASSERT_FIELD(RectInfo, invert, 36, 1);
static_assert(sizeof(RectInfo) == 37, "RectInfo is packed into 37 bytes");

}  // namespace velk
