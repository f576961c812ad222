#include "effect/pixel_functions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "effect/rect_info.h"
#include "tests/host_contract.h"

namespace velk {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::int32_t kMinPos = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMaxPos = std::numeric_limits<std::int32_t>::max();

// What a call does to the output pixel.
enum Outcome { kCopied, kCleared, kUntouched };

struct Case {
  const char* what;
  RectInfo rect;
  std::int32_t x;
  std::int32_t y;
  Outcome outcome;
};

RectInfo Rect(std::int32_t mode, double left, double right, double top,
              double bottom, std::int8_t invert = 0) {
  RectInfo rect{};
  rect.mode = mode;
  rect.left = left;
  rect.right = right;
  rect.top = top;
  rect.bottom = bottom;
  rect.invert = invert;
  return rect;
}

// The box [10, 20] x [0, 10]: closed in mode 1, half-open in mode 2.
RectInfo Box(std::int32_t mode, std::int8_t invert = 0) {
  return Rect(mode, 10, 20, 0, 10, invert);
}

const Case kCases[] = {
    {"mode 1 keeps x == right", Box(1), 20, 5, kCopied},
    {"mode 2 drops x == right", Box(2), 20, 5, kCleared},
    {"mode 1 inverted clears x == right", Box(1, 1), 20, 5, kCleared},
    {"mode 2 inverted copies x == right", Box(2, 1), 20, 5, kCopied},
    {"mode 1 keeps y == bottom", Box(1), 15, 10, kCopied},
    {"mode 2 drops y == bottom", Box(2), 15, 10, kCleared},
    {"mode 2 inverted copies y == bottom", Box(2, 1), 15, 10, kCopied},
    {"mode 1 keeps x == left, y == top", Box(1), 10, 0, kCopied},
    {"mode 2 keeps x == left, y == top", Box(2), 10, 0, kCopied},
    {"mode 1 drops x left of left", Box(1), 9, 5, kCleared},
    {"mode 2 drops y above top", Box(2), 15, -1, kCleared},
    {"mode 1 drops x past right", Box(1), 21, 5, kCleared},
    {"mode 1 drops y past bottom", Box(1), 15, 11, kCleared},

    {"fractional: column 10 out", Rect(1, 10.5, 20.5, 0, 9), 10, 5, kCleared},
    {"fractional: column 11 in", Rect(1, 10.5, 20.5, 0, 9), 11, 5, kCopied},
    {"fractional: column 20 in (mode 2)", Rect(2, 10.5, 20.5, 0, 9), 20, 5,
     kCopied},
    {"fractional: column 21 out (mode 2)", Rect(2, 10.5, 20.5, 0, 9), 21, 5,
     kCleared},
    {"fractional top and bottom", Rect(2, 0, 9, 2.5, 3.5), 5, 3, kCopied},

    {"empty: right < left", Rect(1, 20, 10, 0, 9), 15, 5, kCleared},
    {"empty: bottom < top", Rect(1, 0, 9, 8, 2), 5, 5, kCleared},
    {"empty inverted copies", Rect(2, 20, 10, 0, 9, 1), 15, 5, kCopied},
    {"mode 2: right == left is empty", Rect(2, 10, 10, 0, 9), 10, 5, kCleared},
    {"mode 1: right == left keeps one column", Rect(1, 10, 10, 0, 9), 10, 5,
     kCopied},
    {"mode 2: bottom == top is empty", Rect(2, 0, 9, 4, 4), 5, 4, kCleared},
    {"mode 1: bottom == top keeps one row", Rect(1, 0, 9, 4, 4), 5, 4, kCopied},

    {"NaN left", Rect(1, kNaN, 20, 0, 9), 15, 5, kCleared},
    {"NaN right", Rect(2, 10, kNaN, 0, 9), 15, 5, kCleared},
    {"NaN top", Rect(1, 10, 20, kNaN, 9), 15, 5, kCleared},
    {"NaN bottom", Rect(2, 10, 20, 0, kNaN), 15, 5, kCleared},
    {"NaN edge inverted copies", Rect(1, kNaN, 20, 0, 9, 1), 15, 5, kCopied},

    {"infinite edges keep the lowest x", Rect(1, -kInf, kInf, -kInf, kInf),
     kMinPos, kMinPos, kCopied},
    {"infinite edges keep the highest x", Rect(2, -kInf, kInf, -kInf, kInf),
     kMaxPos, kMaxPos, kCopied},
    {"an infinite left edge", Rect(1, kInf, kInf, 0, 9), 5, 5, kCleared},

    {"negative x left of 0", Rect(1, 0, 9, 0, 9), -1, 5, kCleared},
    {"negative y above 0", Rect(2, 0, 9, 0, 9), 5, -1, kCleared},
    {"negative edges", Rect(2, -5, -2, -8, -7), -5, -8, kCopied},
    {"highest x against an exact edge", Rect(1, 0, 2147483647.0, 0, 9), kMaxPos,
     0, kCopied},
    {"highest x against a fractional edge", Rect(1, 0, 2147483646.5, 0, 9),
     kMaxPos, 0, kCleared},
    // Rows above 2^24 are exact only as 64-bit reals: a 32-bit real would
    // take row 2^24 + 1 for 2^24 and put it on the other side of each edge.
    {"row 2^24 + 1 below a bottom edge of 2^24 + 0.5",
     Rect(1, 0, 9, 0, 16777216.5), 5, 16777217, kCleared},
    {"row 2^24 + 1 past a top edge of 2^24 + 0.5",
     Rect(2, 0, 9, 16777216.5, kInf), 5, 16777217, kCopied},

    {"invert 0x80 inverts", Box(1, static_cast<std::int8_t>(0x80)), 15, 5,
     kCleared},
    {"invert 0xFF inverts", Box(2, static_cast<std::int8_t>(0xFF)), 30, 5,
     kCopied},

    {"mode 0 untouched", Box(0), 15, 5, kUntouched},
    {"mode 3 untouched", Box(3), 30, 5, kUntouched},
    {"mode 3 inverted untouched", Box(3, 1), 15, 5, kUntouched},
    {"mode -1 untouched", Box(-1), 15, 5, kUntouched},
    {"mode 0x101 untouched (the whole word counts)", Box(0x101), 15, 5,
     kUntouched},
    {"mode 0x102 untouched", Box(0x102, 1), 30, 5, kUntouched},
};

// Channel values chosen so that every channel of the input differs from the
// output's, and 16-bit channels differ in both bytes.
template <typename Pixel>
struct Values;
template <>
struct Values<Pixel8> {
  static constexpr Pixel8 kIn{0xA1, 0xB2, 0xC3, 0xD4};
  static constexpr Pixel8 kOut{0x11, 0x22, 0x33, 0x44};
  static constexpr PixelFunction<Pixel8> kFunction = PixelFunc8;
};
template <>
struct Values<Pixel16> {
  static constexpr Pixel16 kIn{0xA1A2, 0xB1B2, 0xC1C2, 0xD1D2};
  static constexpr Pixel16 kOut{0x1112, 0x2122, 0x3132, 0x4142};
  static constexpr PixelFunction<Pixel16> kFunction = PixelFunc16;
};

template <typename Pixel>
void ExpectPixel(const Pixel& actual, const Pixel& expected) {
  EXPECT_EQ(actual.alpha, expected.alpha);
  EXPECT_EQ(actual.red, expected.red);
  EXPECT_EQ(actual.green, expected.green);
  EXPECT_EQ(actual.blue, expected.blue);
}

template <typename Pixel>
class PixelFuncTest : public testing::Test {};
using PixelTypes = testing::Types<Pixel8, Pixel16>;
TYPED_TEST_SUITE(PixelFuncTest, PixelTypes);

TYPED_TEST(PixelFuncTest, DecidesEachPixelByTheRectangle) {
  using Pixel = TypeParam;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    RectInfo rect = c.rect;
    const RectInfo before = rect;
    Pixel in = Values<Pixel>::kIn;
    Pixel out = Values<Pixel>::kOut;
    // A mode without a rectangle must not even read the input pixel: it
    // gets none, so a read faults.
    Pixel* inArg = c.outcome == kUntouched ? nullptr : &in;

    EXPECT_EQ(Values<Pixel>::kFunction(&rect, c.x, c.y, inArg, &out),
              test::kOk);

    Pixel expected = Values<Pixel>::kOut;
    if (c.outcome == kCopied) expected = Values<Pixel>::kIn;
    if (c.outcome == kCleared) expected.alpha = 0;  // and nothing else
    ExpectPixel(out, expected);
    ExpectPixel(in, Values<Pixel>::kIn);
    EXPECT_EQ(std::memcmp(&rect, &before, sizeof rect), 0)
        << "the rectangle is only read";
  }
}

}  // namespace
}  // namespace velk
