// The render command end to end through the built module: global setup,
// parameter setup, parameters set by their declared names, render, and the
// written PNG checked pixel by pixel.
#include "tests/cli/cli_fixture.h"

namespace velk::test {
namespace {

// The rectangle that a render should keep, in output pixels.
struct Kept {
  double left, right, top, bottom;
  bool closed;  // "Individual" includes right and bottom, "Width Height" not
  bool inverted;

  bool Copies(std::int32_t x, std::int32_t y) const {
    const bool inside = closed
                            ? x >= left && x <= right && y >= top && y <= bottom
                            : x >= left && x < right && y >= top && y < bottom;
    return inside != inverted;
  }
};

struct RenderCase {
  const char* name;
  std::vector<std::string> settings;  // options and NAME=VALUE
  std::int32_t factor;                // the picture pixel step per output pixel
  Kept kept;
};

// Every output pixel is its picture pixel or cleared. The host's output
// image starts at zero, and the effect writes only the alpha of a cleared
// pixel, so a cleared pixel reads back as 0, 0, 0, 0.
void ExpectRendered(const Picture& input, const Picture& output,
                    const RenderCase& render) {
  ASSERT_EQ(output.deep, input.deep);
  ASSERT_EQ(output.width, (input.width + render.factor - 1) / render.factor);
  ASSERT_EQ(output.height, (input.height + render.factor - 1) / render.factor);
  int copied = 0;
  int cleared = 0;
  for (std::int32_t y = 0; y < output.height; ++y) {
    for (std::int32_t x = 0; x < output.width; ++x) {
      SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
      const std::uint16_t* source =
          input.At(x * render.factor, y * render.factor);
      const std::uint16_t* rendered = output.At(x, y);
      const bool copies = render.kept.Copies(x, y);
      (copies ? copied : cleared) += 1;
      for (int channel = 0; channel < 4; ++channel) {
        const std::uint16_t expected = copies ? source[channel] : 0;
        ASSERT_EQ(rendered[channel], expected) << "channel " << channel;
      }
    }
  }
  EXPECT_GT(copied, 0);
  EXPECT_GT(cleared, 0);
}

void ExpectRenderCases(const std::string& inputPath,
                       const std::vector<RenderCase>& cases) {
  const Picture input = ReadPng(inputPath);
  for (const RenderCase& render : cases) {
    SCOPED_TRACE(render.name);
    const std::string output = ScratchPath(std::string(render.name) + ".png");
    std::vector<std::string> arguments = {"render", inputPath, output};
    arguments.insert(arguments.end(), render.settings.begin(),
                     render.settings.end());
    const CliRun run = RunCommandLine(arguments);
    ASSERT_EQ(run.status, host::kExitOk) << run.err;
    EXPECT_EQ(run.out, "");  // the status line is a message, on err
    EXPECT_EQ(run.err.rfind("wrote " + output, 0), 0u) << run.err;
    ExpectRendered(input, ReadPng(output), render);
  }
}

TEST(RenderEndToEnd, EightBitMarginsAndBoxes) {
  const std::string input = ScratchPath("in.png");
  WritePng(input, PatternPicture(40, 30, false));
  ExpectRenderCases(
      input, {{"margins",
               {"Type=Individual", "Left=5", "Right=10", "Top=3", "Bottom=4"},
               1,
               {5, 30, 3, 26, true, false}},
              {"margins-threads",
               {"--threads", "3", "Type=1", "Left=5", "Right=10", "Top=3",
                "Bottom=4.5"},
               1,
               {5, 30, 3, 25.5, true, false}},
              {"box-inverted",
               {"Type=Width Height", "Width=10", "Height=6", "Center=20,15",
                "Invert=on"},
               1,
               {15, 25, 12, 18, false, true}},
              {"box-half",
               {"--downsample", "1/2", "Type=2", "Width=10", "Height=6",
                "Center=20,15"},
               2,
               {7.5, 12.5, 6, 9, false, false}},
              {"margins-half-inverted",
               {"--downsample=1/2", "Left=4", "Right=8", "Top=2", "Bottom=10",
                "Invert=1"},
               2,
               {2, 16, 1, 10, true, true}}});
}

TEST(RenderEndToEnd, SixteenBitBoxIsRenderedAndWrittenAtSixteenBits) {
  const std::string input = SamplePath("gradient-rgba16.png");
  ExpectRenderCases(
      input, {{"box16",
               {"Type=Width Height", "Width=100", "Height=50", "Center=128,80"},
               1,
               {78, 178, 55, 105, false, false}}});
  const CliRun run = RunCommandLine(
      {"render", input, ScratchPath("again.png"), "Type=Individual"});
  EXPECT_NE(run.err.find("(256x160, 16 bits per channel)"), std::string::npos)
      << run.err;
}

// --threads N gives the host's iterate N threads, up to the limit, and the
// same pixels as one thread.
TEST(RenderEndToEnd, ThreadsWalkTheRowsAndGiveTheSamePicture) {
  const std::string input = ScratchPath("in.png");
  WritePng(input, PatternPicture(70, 67, false));
  std::string first;
  for (const int threads : {1, 3, host::kMaxThreads}) {
    SCOPED_TRACE(threads);
    const std::string output = ScratchPath("out.png");
    const host::RenderSummary summary =
        host::RunRender(host::ParseRenderArguments(
            {input, output, "--threads", std::to_string(threads),
             "Type=Width Height", "Width=31", "Height=17", "Center=35,30"}));
    EXPECT_EQ(summary.iterateThreads, threads);
    const std::string bytes = ReadFileBytes(output);
    if (first.empty()) first = bytes;
    EXPECT_EQ(bytes, first);
  }
}

TEST(RenderEndToEnd, NamesAndValuesAreCheckedAgainstTheDeclaredParameters) {
  const std::string input = SamplePath("gradient-rgb8.png");
  const std::string output = ScratchPath("out.png");
  const std::pair<const char*, const char*> cases[] = {
      {"Colour=1",
       "unknown parameter \"Colour\" (the effect declares \"Type\", "
       "\"Left\", \"Right\", \"Top\", \"Bottom\", \"Width\", \"Height\", "
       "\"Center\", \"Invert\")"},
      {"Left=ten",
       "parameter \"Left\" takes a number from 0 to 50000, got \"ten\" (not "
       "a plain decimal number)"},
      {"Width=-5", "parameter \"Width\" takes a number from 0 to 50000"},
      {"Type=3", "\"Individual\", \"Width Height\", got \"3\""},
      {"Center=1;2", "parameter \"Center\" takes x,y"},
      {"Invert=maybe", "parameter \"Invert\" takes on, off, 1 or 0"},
  };
  for (const auto& [assignment, named] : cases) {
    SCOPED_TRACE(assignment);
    const CliRun run = RunCommandLine({"render", input, output, assignment});
    EXPECT_EQ(run.status, host::kExitBadUsage);
    EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_FALSE(FileExists(output));
  }
}

}  // namespace
}  // namespace velk::test
