#include <cstdint>
#include <cstring>
#include <ios>
#include <limits>
#include <string>
#include <vector>

#include "host/host_image.h"
#include "tests/protocol/host_fixture.h"

namespace velk::test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kMinInt = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMaxInt = std::numeric_limits<std::int32_t>::max();

// Gives every byte of the input a value that no output byte has, with the
// input's alpha never 0; returns the output pixels as they are then.
std::vector<std::uint8_t> FillPixels(host::StandInHost& host) {
  for (std::size_t i = 0; i < host.inputPixels.size(); ++i) {
    host.inputPixels[i] = static_cast<std::uint8_t>(0x80 | (i % 127));
    host.outputPixels[i] = static_cast<std::uint8_t>(i % 127);
  }
  return host.outputPixels;
}

// Sets the parameters and the pixels for a render, and forgets what the host
// recorded before; returns the output pixels before the render.
std::vector<std::uint8_t> Prepare(host::StandInHost& host, const Settings& s) {
  Apply(host, s);
  host.ClearCalls();
  host.iterates.clear();
  return FillPixels(host);
}

// Inclusive columns and rows that are inside the rectangle; empty when the
// first exceeds the last.
struct Inside {
  std::int32_t firstColumn, lastColumn, firstRow, lastRow;
};
constexpr Inside kNone{1, 0, 1, 0};
constexpr Inside kAll{kMinInt, kMaxInt, kMinInt, kMaxInt};

// Every output pixel is either a whole copy of its input pixel (inside, or
// outside when inverted) or what it was before with alpha 0.
void ExpectRendered(const host::StandInHost& host,
                    const std::vector<std::uint8_t>& before,
                    const Inside& inside, bool inverted) {
  const ImageRecord& image = host.outputImage;
  const bool deep = host::IsDeep(image);
  const std::size_t pixelBytes = deep ? 8 : 4;
  const std::size_t alphaBytes = deep ? 2 : 1;
  int wrong = 0;
  for (std::int32_t y = 0; y < image.height; ++y) {
    for (std::int32_t x = 0; x < image.width; ++x) {
      const bool in = x >= inside.firstColumn && x <= inside.lastColumn &&
                      y >= inside.firstRow && y <= inside.lastRow;
      const std::size_t at =
          (static_cast<std::size_t>(y) * image.width + x) * pixelBytes;
      std::uint8_t expected[8];
      if (in != inverted) {
        std::memcpy(expected, &host.inputPixels[at], pixelBytes);
      } else {
        std::memcpy(expected, &before[at], pixelBytes);
        std::memset(expected, 0, alphaBytes);
      }
      if (std::memcmp(expected, &host.outputPixels[at], pixelBytes) != 0) {
        if (++wrong <= 3) ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
      }
    }
  }
  EXPECT_EQ(wrong, 0) << "wrong pixels";
}

struct Size {
  std::int32_t width, height;
};
struct Edges {
  double left, right, top, bottom;
};

// Each edge bit for bit, so that neither -0.0 nor a NaN passes for another.
void ExpectEdges(const ReceivedRect& rect, const Edges& expected) {
  const double got[] = {rect.left, rect.right, rect.top, rect.bottom};
  const double want[] = {expected.left, expected.right, expected.top,
                         expected.bottom};
  const char* const names[] = {"left", "right", "top", "bottom"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(std::memcmp(&got[i], &want[i], sizeof(double)), 0)
        << names[i] << " is " << std::hexfloat << got[i] << ", not " << want[i];
  }
}

struct WorkedCase {
  const char* what;
  Size layer;  // the input record's layer size
  DownsampleFactor x, y;
  Settings settings;
  Edges edges;  // exactly
  Inside inside;
};

constexpr DownsampleFactor kFull{1, 1};
constexpr DownsampleFactor kHalf{1, 2};

// clang-format off
const WorkedCase kWorked[] = {
    {"margins", {640, 480}, kFull, kFull,
     {1, 10, 20, 30, 40, 0, 0, 0, 0},
     {10, 620, 30, 440}, {10, 620, 30, 440}},
    {"margins at half size", {640, 480}, kHalf, kHalf,
     {1, 10, 20, 30, 40, 0, 0, 0, 0},
     {5, 310, 15, 220}, {5, 310, 15, 220}},
    {"box", {640, 480}, kFull, kFull,
     {2, 0, 0, 0, 0, 200, 100, 320, 240},
     {220, 420, 190, 290}, {220, 419, 190, 289}},
    {"box on an odd layer", {639, 481}, kFull, kFull,
     {2, 0, 0, 0, 0, 200, 100, 320, 240},
     {220.5, 420.5, 190.5, 290.5}, {221, 420, 191, 290}},
    {"box in the corner", {640, 480}, kFull, kFull,
     {2, 0, 0, 0, 0, 200, 100, 100, 50},
     {0, 200, 0, 100}, {0, 199, 0, 99}},
    {"box at half size", {640, 480}, kHalf, kHalf,
     {2, 0, 0, 0, 0, 200, 100, 160, 120},
     {110, 210, 95, 145}, {110, 209, 95, 144}},
    {"box on an odd layer at half size", {639, 481}, kHalf, kHalf,
     {2, 0, 0, 0, 0, 200, 100, 160, 120},
     {110.25, 210.25, 95.25, 145.25}, {111, 210, 96, 145}},

    {"zero margins keep the layer", {64, 48}, kFull, kFull,
     {1, 0, 0, 0, 0, 0, 0, 0, 0},
     {0, 64, 0, 48}, kAll},
    {"overlapping margins are stored as computed", {640, 48}, kFull, kFull,
     {1, 400, 400, 0, 0, 0, 0, 0, 0},
     {400, 240, 0, 48}, kNone},
    {"box larger than the layer", {640, 480}, kFull, kFull,
     {2, 0, 0, 0, 0, 800, 600, 320, 240},
     {-80, 720, -60, 540}, kAll},
    {"fractional centre", {640, 480}, kFull, kFull,
     {2, 0, 0, 0, 0, 200, 100, 320.5, 240},
     {220.5, 420.5, 190, 290}, {221, 420, 190, 289}},
    {"denominator with its top bit set is positive", {640, 480},
     {1, 0x80000000u}, kFull,
     {1, 10, 20, 30, 40, 0, 0, 0, 0},
     {10.0 / 2147483648.0, 620.0 / 2147483648.0, 30, 440}, kNone},
    {"negative numerator", {640, 480}, kFull, {-1, 2},
     {1, 10, 20, 30, 40, 0, 0, 0, 0},
     {10, 620, -15, -220}, kNone},
    {"zero denominator gives infinite edges", {640, 480}, {1, 0}, kFull,
     {1, 10, 20, 30, 40, 0, 0, 0, 0},
     {kInf, kInf, 30, 440}, kNone},

    // Factors and fractions where a regrouped edge formula, or a centre
    // multiplied by its factor's reciprocal, rounds differently; written by
    // render_edges.py.
    {"margins, 1/3 by 2/3", {641, 479}, {1, 3}, {2, 3},
     {1, 32.7, 15.8, 64.8, 8.1, 0.0, 0.0, 0.0, 0.0},
     {0x1.5cccccccccccdp+3, 0x1.a0ccccccccccdp+7, 0x1.5999999999999p+5, 0x1.39eeeeeeeeeeep+8},
     {11, 208, 44, 313}},
    {"box, 1/3 by 2/3", {641, 479}, {1, 3}, {2, 3},
     {2, 0.0, 0.0, 0.0, 0.0, 61.2, 192.7, 136.375, 78.625},
     {0x1.f95ddddddddddp+6, 0x1.257bbbbbbbbbcp+7, 0x1.d733333333338p+3, 0x1.1e62222222221p+7},
     {127, 146, 15, 143}},
    {"margins, 1/7 by 5/3", {640, 480}, {1, 7}, {5, 3},
     {1, 87.3, 38.5, 17.4, 38.4, 0.0, 0.0, 0.0, 0.0},
     {0x1.8f15f15f15f15p+3, 0x1.57b6db6db6db7p+6, 0x1.d000000000000p+4, 0x1.7000000000001p+9},
     {13, 85, 29, 736}},
    {"box, 1/7 by 5/3", {640, 480}, {1, 7}, {5, 3},
     {2, 0.0, 0.0, 0.0, 0.0, 50.7, 214.8, 36.0625, 399.25},
     {0x1.0387507507506p+5, 0x1.3d78af8af8af8p+5, 0x1.b87ffffffffffp+7, 0x1.2120000000000p+9},
     {33, 39, 221, 578}},
    {"margins, 2/3 by 1/7", {639, 481}, {2, 3}, {1, 7},
     {1, 71.2, 91.7, 10.7, 56.4, 0.0, 0.0, 0.0, 0.0},
     {0x1.7bbbbbbbbbbbcp+5, 0x1.6cdddddddddddp+8, 0x1.8750750750750p+0, 0x1.e541d41d41d42p+5},
     {48, 364, 2, 60}},
    {"box, 2/3 by 1/7", {639, 481}, {2, 3}, {1, 7},
     {2, 0.0, 0.0, 0.0, 0.0, 27.8, 237.8, 92.5, 53.625},
     {0x1.4e44444444446p+6, 0x1.9866666666664p+6, 0x1.25af8af8af8afp+5, 0x1.1aba83a83a83ap+6},
     {84, 102, 37, 70}},
    {"margins, 5/3 by 1/3", {333, 200}, {5, 3}, {1, 3},
     {1, 58.1, 57.4, 54.4, 58.7, 0.0, 0.0, 0.0, 0.0},
     {0x1.8355555555556p+6, 0x1.cb55555555556p+8, 0x1.2222222222222p+4, 0x1.78ccccccccccdp+5},
     {97, 459, 19, 47}},
    {"box, 5/3 by 1/3", {333, 200}, {5, 3}, {1, 3},
     {2, 0.0, 0.0, 0.0, 0.0, 174.0, 232.4, 142.5, 53.125},
     {-0x1.aaaaaaaaaab00p+0, 0x1.2055555555556p+8, 0x1.cc88888888887p+3, 0x1.6f6eeeeeeeeeep+6},
     {-1, 288, 15, 91}},
    {"box, 1/7 by 5/3, centre y 187", {640, 480}, {1, 7}, {5, 3},
     {2, 0.0, 0.0, 0.0, 0.0, 50.7, 214.8, 36.0625, 187.0},
     {0x1.0387507507506p+5, 0x1.3d78af8af8af8p+5, 0x1.fffffffffffe0p+2, 0x1.6dfffffffffffp+8},
     {33, 39, 8, 365}},
    {"box, 5/3 by 1/7, centre x 187", {480, 640}, {5, 3}, {1, 7},
     {2, 0.0, 0.0, 0.0, 0.0, 214.8, 50.7, 187.0, 36.0625},
     {0x1.fffffffffffe0p+2, 0x1.6dfffffffffffp+8, 0x1.0387507507506p+5, 0x1.3d78af8af8af8p+5},
     {8, 365, 33, 39}},
};
// clang-format on

class RenderTest : public SetUpHostTest,
                   public testing::WithParamInterface<bool> {
 protected:
  RenderTest() { host.refconSnapshotBytes = kRectRecordBytes; }
};

TEST_P(RenderTest, WorkedValuesGiveExactEdgesAndPixels) {
  const bool deep = GetParam();
  for (const WorkedCase& c : kWorked) {
    for (std::int32_t invert : {0, 1}) {
      SCOPED_TRACE(std::string(c.what) + (invert ? ", inverted" : ""));
      host.SetLayer(c.layer.width, c.layer.height, deep, c.x, c.y);
      Settings settings = c.settings;
      settings.invert = invert;
      const auto before = Prepare(host, settings);

      ASSERT_EQ(host.Command(kRender), kOk);

      ASSERT_EQ(host.iterates.size(), 1u);
      const ReceivedRect rect = RectOf(host.iterates[0]);
      EXPECT_EQ(rect.mode, settings.mode);
      ExpectEdges(rect, c.edges);
      EXPECT_EQ(rect.invert, invert);
      ExpectRendered(host, before, c.inside, invert != 0);
    }
  }
}

TEST_P(RenderTest, ModesOtherThanMarginsAndBoxLeaveEveryPixel) {
  host.SetLayer(8, 6, GetParam());
  for (std::int32_t mode : {0, 3, -1, 0x101}) {
    SCOPED_TRACE(mode);
    const auto before = Prepare(host, {mode, 1, 1, 1, 1, 4, 4, 4, 3, 1});

    EXPECT_EQ(host.Command(kRender), kOk);

    ASSERT_EQ(host.iterates.size(), 1u);
    const ReceivedRect rect = RectOf(host.iterates[0]);
    EXPECT_EQ(rect.mode, mode);
    ExpectEdges(rect, {0, 0, 0, 0});
    EXPECT_EQ(rect.invert, 1);
    EXPECT_EQ(host.outputPixels, before);
  }
}

TEST_P(RenderTest, InvertTakesTheLowByteOfTheCheckbox) {
  struct Case {
    std::int32_t checkbox;
    std::int8_t invert;
  };
  const Case cases[] = {{0, 0},        {1, 1},   {256, 0},
                        {0x180, -128}, {-1, -1}, {0x7f00, 0}};
  host.SetLayer(8, 6, GetParam());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.checkbox);
    const auto before = Prepare(host, {1, 2, 3, 1, 2, 0, 0, 0, 0, c.checkbox});

    EXPECT_EQ(host.Command(kRender), kOk);

    ASSERT_EQ(host.iterates.size(), 1u);
    EXPECT_EQ(RectOf(host.iterates[0]).invert, c.invert);
    ExpectRendered(host, before, {2, 5, 1, 4}, c.invert != 0);
  }
}

// The pixel functions share only the read-only rectangle record, so rows
// split over the host's threads give the single thread's pixels; the
// ThreadSanitizer build runs this test to show that they race on nothing.
TEST_P(RenderTest, SeveralHostThreadsRenderTheSamePixels) {
  const Settings settings[] = {{2, 0, 0, 0, 0, 10.5, 7, 16, 8.25},
                               {1, 3, 4.5, 2, 5, 0, 0, 0, 0, 1}};
  host.SetLayer(33, 17, GetParam());
  for (const Settings& s : settings) {
    Prepare(host, s);
    host.iterateThreads = 1;
    ASSERT_EQ(host.Command(kRender), kOk);
    const auto oneThread = host.outputPixels;
    for (int threads : {2, 4, 16}) {
      SCOPED_TRACE(testing::Message()
                   << "mode " << s.mode << ", " << threads << " threads");
      FillPixels(host);
      host.iterateThreads = threads;
      ASSERT_EQ(host.Command(kRender), kOk);
      EXPECT_EQ(host.outputPixels, oneThread);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, RenderTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Bits16" : "Bits8";
                         });

using RenderProtocolTest = SetUpHostTest;

// The suite of that depth.
const Suite& IterateSuiteOf(bool deep) {
  return deep ? kIterate16Suite : kIterate8Suite;
}

// What the host logs for a render of six rows.
Calls SixRowCalls(bool deep) {
  return {Acquire(IterateSuiteOf(deep)),
          deep ? "iterate16 0 6" : "iterate8 0 6",
          Release(IterateSuiteOf(deep))};
}

TEST_F(RenderProtocolTest, BitZeroOfWorldFlagsChoosesTheSuite) {
  for (std::uint32_t worldFlags : {0u, 1u, 2u, 3u, 0xFFFFFFFEu}) {
    SCOPED_TRACE(worldFlags);
    const bool deep = (worldFlags & 1) != 0;
    host.SetLayer(8, 6, deep);
    // The input layer's own flags say the opposite: only the output counts.
    host.inputImage().worldFlags = deep ? 0 : 1;
    host.outputImage.worldFlags = worldFlags;
    const auto before = Prepare(host, {1, 2, 3, 1, 2, 0, 0, 0, 0});

    EXPECT_EQ(host.Command(kRender), kOk);

    EXPECT_EQ(host.Calls(), SixRowCalls(deep));
    ExpectRendered(host, before, {2, 5, 1, 4}, false);
    EXPECT_TRUE(host.Outstanding().empty());
  }
}

TEST_F(RenderProtocolTest, IterateGetsTheEightArguments) {
  struct Case {
    std::int32_t extentTop, extentBottom, progressEnd;
  };
  const Case cases[] = {
      {0, 480, 480},
      {100, 300, 200},
      {-5, -10, -5},
      // The difference does not fit 32 bits: it wraps instead of overflowing.
      {kMinInt, kMaxInt, -1},
      {kMaxInt, kMinInt, 1},
      {-1, kMaxInt, kMinInt},
  };
  for (bool deep : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.extentTop) + ".." +
                   std::to_string(c.extentBottom));
      host.SetLayer(4, 3, deep);
      host.outputImage.extentTop = c.extentTop;
      host.outputImage.extentBottom = c.extentBottom;
      host.iterates.clear();

      EXPECT_EQ(host.Command(kRender), kOk);

      ASSERT_EQ(host.iterates.size(), 1u);
      const host::ReceivedIterate& call = host.iterates[0];
      EXPECT_EQ(call.depth, deep ? 16 : 8);
      EXPECT_EQ(call.input, &host.input);
      EXPECT_EQ(call.progressBase, 0);
      EXPECT_EQ(call.progressEnd, c.progressEnd);
      EXPECT_EQ(call.source, &host.params[0].image);
      EXPECT_EQ(call.area, nullptr);
      EXPECT_NE(call.refcon, nullptr);
      EXPECT_EQ(call.dest, &host.outputImage);
      // Nothing of the module's record is read unless a test asks for it.
      EXPECT_TRUE(call.refconBytes.empty());
    }
  }
}

TEST_F(RenderProtocolTest, MissingSuiteGives516AndWritesNoPixel) {
  struct Case {
    const char* what;
    bool deep;
    bool nullBasicSuite;
    ErrorCode acquireCode;  // 0: the host answers 0 but stores no suite
  };
  const Case cases[] = {
      {"no basic suite", false, true, 0},
      {"no basic suite, 16 bit", true, true, 0},
      {"8-bit suite fails", false, false, 7},
      {"no 8-bit table", false, false, 0},
      {"16-bit suite fails", true, false, -3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host.SetLayer(8, 6, c.deep);
    const auto before = Prepare(host, {1, 0, 0, 0, 0, 0, 0, 0, 0});
    host.faults = {};
    host.faults.nullBasicSuite = c.nullBasicSuite;
    const Suite& suite = IterateSuiteOf(c.deep);
    host.faults.acquire = {{suite.name, suite.version, c.acquireCode}};

    EXPECT_EQ(host.Command(kRender), kMissingSuite);

    EXPECT_EQ(host.Calls(), c.nullBasicSuite ? Calls{} : Calls{Acquire(suite)});
    EXPECT_TRUE(host.iterates.empty());
    EXPECT_EQ(host.outputPixels, before);
    EXPECT_TRUE(host.Outstanding().empty());
  }
}

TEST_F(RenderProtocolTest, IterateErrorIsReturnedAfterTheSuiteIsReleased) {
  for (ErrorCode code : {-1, 4, kMissingSuite}) {
    SCOPED_TRACE(code);
    host.SetLayer(8, 6, true);
    host.faults.iterateResult = code;
    host.ClearCalls();

    EXPECT_EQ(host.Command(kRender), code);

    EXPECT_EQ(host.Calls(), SixRowCalls(true));
    EXPECT_TRUE(host.Outstanding().empty());
  }
}

}  // namespace
}  // namespace velk::test
