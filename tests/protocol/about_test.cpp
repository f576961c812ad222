#include <cstring>

#include "tests/protocol/host_fixture.h"

namespace velk::test {
namespace {

constexpr std::int32_t kAbout = 0;
constexpr std::size_t kReturnMessageOffset = 100;

// The name, " v1.0", a carriage return alone, and the description.
const std::string kAboutText = "Velk v1.0\rsimple velk effect by ORVANE";

class AboutTest : public HostTest {
 protected:
  AboutTest() {
    // Host garbage everywhere, so that every byte the command writes shows.
    std::memset(&host.output, 0x5a, sizeof host.output);
  }
};

TEST_F(AboutTest, WritesTheAboutTextAndNothingElse) {
  ASSERT_EQ(kAboutText.size(), 38u);
  auto expected = BytesOf(host.output);
  std::memcpy(&expected[kReturnMessageOffset], kAboutText.c_str(), 39);

  EXPECT_EQ(host.Command(kAbout), kErrNone);

  EXPECT_EQ(std::string(host.output.returnMessage), kAboutText);
  EXPECT_EQ(host.output.returnMessage[38], '\0');
  EXPECT_EQ(std::strchr(host.output.returnMessage, '\n'), nullptr);
  EXPECT_EQ(BytesOf(host.output), expected);
  EXPECT_EQ(host.lastPrintDest, host.output.returnMessage);
}

TEST_F(AboutTest, AcquiresPrintsAndReleasesTheAnsiSuiteOnce) {
  ASSERT_EQ(host.Command(kAbout), kErrNone);
  EXPECT_EQ(host.Calls(), (Calls{"acquire PF ANSI Suite 1", "formatPrint",
                                 "release PF ANSI Suite 1"}));
  EXPECT_TRUE(host.Outstanding().empty());
}

TEST_F(AboutTest, ResultIsZeroWhateverThePrintReports) {
  for (ErrorCode printResult : {1, -1, 516}) {
    SCOPED_TRACE(printResult);
    host.faults.printResult = printResult;
    EXPECT_EQ(host.Command(kAbout), kErrNone);
    EXPECT_EQ(std::string(host.output.returnMessage), kAboutText);
  }
}

TEST_F(AboutTest, NullBasicSuiteGives516AndTouchesNothing) {
  host.faults.nullBasicSuite = true;
  const auto before = BytesOf(host.output);
  EXPECT_EQ(host.Command(kAbout), kErrMissingSuite);
  EXPECT_EQ(BytesOf(host.output), before);
  EXPECT_TRUE(host.Calls().empty());
}

TEST_F(AboutTest, MissingAnsiSuiteGives516ReleasesNothingAndTouchesNothing) {
  // A host error of any value, or success with no suite handed out.
  for (ErrorCode acquireCode : {1, 516, -7, 0}) {
    SCOPED_TRACE(acquireCode);
    host.ClearCalls();
    host.faults.acquire = {{"PF ANSI Suite", 1, acquireCode}};
    const auto before = BytesOf(host.output);
    EXPECT_EQ(host.Command(kAbout), kErrMissingSuite);
    EXPECT_EQ(BytesOf(host.output), before);
    EXPECT_EQ(host.Calls(), (Calls{"acquire PF ANSI Suite 1"}));
    EXPECT_TRUE(host.Outstanding().empty());
  }
}

}  // namespace
}  // namespace velk::test
