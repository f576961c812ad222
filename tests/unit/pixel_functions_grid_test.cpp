// The pixel functions against the decision written out step by step, over
// every combination of edges and positions from small sets that hold the
// cases where a comparison can go wrong: equal values, signed zeros,
// fractions, infinities and NaN. Guards the hot path's arrangement of the
// tests against any change of result.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "effect/pixel_functions.h"
#include "effect/rect_info.h"
#include "tests/host_contract.h"

namespace velk {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr double kEdges[] = {-kInf, -1.0, -0.5, -0.0, 0.0,
                             0.5,   1.0,  2.0,  kInf, kNaN};
constexpr std::int32_t kPositions[] = {-1, 0, 1, 2};

enum Outcome { kCopied, kCleared, kUntouched };

// Mode 1 closed, mode 2 half-open, each test in turn; any other mode leaves
// the pixel alone.
Outcome Expected(const RectInfo& rect, std::int32_t x, std::int32_t y) {
  const std::int32_t mode = rect.mode;
  if (mode != 1 && mode != 2) return kUntouched;
  const bool closed = mode == 1;
  const double px = x;
  const double py = y;
  const double left = rect.left, right = rect.right;
  const double top = rect.top, bottom = rect.bottom;
  bool inside = px >= left;
  if (inside) inside = closed ? px <= right : px < right;
  if (inside) inside = py >= top;
  if (inside) inside = closed ? py <= bottom : py < bottom;
  return inside != (rect.invert != 0) ? kCopied : kCleared;
}

template <typename Pixel>
Outcome Observed(PixelFunction<Pixel> function, RectInfo& rect, std::int32_t x,
                 std::int32_t y, Outcome expected) {
  Pixel in{1, 2, 3, 4};
  Pixel out{5, 6, 7, 8};
  // Where the input must not be read, none is handed over.
  Pixel* inArg = expected == kCopied ? &in : nullptr;
  if (function(&rect, x, y, inArg, &out) != test::kOk) return kUntouched;
  if (out.alpha == 1 && out.red == 2 && out.green == 3 && out.blue == 4) {
    return kCopied;
  }
  if (out.red != 6 || out.green != 7 || out.blue != 8) return kUntouched;
  return out.alpha == 0 ? kCleared : kUntouched;
}

template <typename Pixel>
int CountDifferences(PixelFunction<Pixel> function) {
  int differences = 0;
  RectInfo rect{};
  for (const std::int32_t mode : {1, 2, 3}) {
    for (const std::int8_t invert : {0, 1}) {
      rect.mode = mode;
      rect.invert = invert;
      for (const double left : kEdges)
        for (const double right : kEdges)
          for (const double top : kEdges)
            for (const double bottom : kEdges) {
              rect.left = left;
              rect.right = right;
              rect.top = top;
              rect.bottom = bottom;
              for (const std::int32_t x : kPositions)
                for (const std::int32_t y : kPositions) {
                  const Outcome expected = Expected(rect, x, y);
                  if (Observed(function, rect, x, y, expected) == expected) {
                    continue;
                  }
                  if (++differences <= 5) {
                    ADD_FAILURE()
                        << "mode " << mode << " invert " << +invert << " edges "
                        << left << " " << right << " " << top << " " << bottom
                        << " at (" << x << ", " << y << ")";
                  }
                }
            }
    }
  }
  return differences;
}

TEST(PixelFuncGridTest, EightBitsDecideAsTheStepsDo) {
  EXPECT_EQ(CountDifferences<Pixel8>(PixelFunc8), 0);
}

TEST(PixelFuncGridTest, SixteenBitsDecideAsTheStepsDo) {
  EXPECT_EQ(CountDifferences<Pixel16>(PixelFunc16), 0);
}

}  // namespace
}  // namespace velk
