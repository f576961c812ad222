#include <fstream>

#include "tests/cli/cli_fixture.h"

namespace velk::test {
namespace {

TEST(Cli, HelpSaysHowSixteenBitResultsAreWritten) {
  const CliRun run = RunCommandLine({"render", "--help"});
  EXPECT_EQ(run.status, host::kExitOk);
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("usage: velk-host render"), std::string::npos);
  EXPECT_NE(run.out.find("A 16-bit render is written as an 8-bit PNG"),
            std::string::npos);
}

// Failures that come before the effect runs: one line on the error stream,
// the exit status, no output file.
TEST(Cli, BadInputGetsOneLineNamingTheProblem) {
  const std::string sample = SamplePath("gradient-rgb8.png");
  const std::string text = ScratchPath("text.png");
  std::ofstream(text) << "plain text\n";
  const std::string missing = ScratchPath("missing.png");
  const std::string output = ScratchPath("out.png");
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string named;
  } cases[] = {
      {{}, host::kExitBadUsage, "no command given"},
      {{"draw", sample, output}, host::kExitBadUsage, "command \"draw\""},
      {{"render"}, host::kExitBadUsage, "missing INPUT.png"},
      {{"render", "--bogus", sample, output}, host::kExitBadUsage, "--bogus"},
      {{"render", sample, output, "--downsample", "2/1"},
       host::kExitBadUsage,
       "\"2/1\""},
      {{"render", sample, output, "--threads", "many"},
       host::kExitBadUsage,
       "\"many\""},
      {{"render", sample, output, "Left"}, host::kExitBadUsage, "\"Left\""},
      {{"render", missing, output},
       host::kExitFailed,
       "cannot open " + missing},
      {{"render", text, output},
       host::kExitFailed,
       "cannot read " + text + " as PNG"},
      {{"render", sample, output, "--module", missing},
       host::kExitFailed,
       "cannot load " + missing},
  };
  for (const auto& [arguments, status, named] : cases) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    const CliRun run = RunCommandLine(arguments);
    EXPECT_EQ(run.status, status);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("velk-host: error: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_FALSE(FileExists(output));
  }
}

}  // namespace
}  // namespace velk::test
