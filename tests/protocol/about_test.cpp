#include <cstring>

#include "tests/protocol/host_fixture.h"

namespace velk::test {
namespace {

constexpr std::size_t kReturnMessageOffset = 100;

class AboutTest : public HostTest {
 protected:
  AboutTest() {
    // Host garbage everywhere, so that every byte the command writes shows.
    std::memset(&host.output, 0x5a, sizeof host.output);
  }
};

TEST_F(AboutTest, WritesTheAboutTextAndNothingElse) {
  ASSERT_EQ(sizeof kAboutText, 39u);
  auto expected = BytesOf(host.output);
  std::memcpy(&expected[kReturnMessageOffset], kAboutText, 39);

  EXPECT_EQ(host.Command(kAbout), kOk);

  EXPECT_STREQ(host.output.returnMessage, kAboutText);
  EXPECT_EQ(BytesOf(host.output), expected);
  EXPECT_EQ(host.lastPrintDest, host.output.returnMessage);
}

TEST_F(AboutTest, AcquiresPrintsAndReleasesTheAnsiSuiteOnce) {
  ASSERT_EQ(host.Command(kAbout), kOk);
  EXPECT_EQ(host.Calls(),
            (Calls{Acquire(kAnsiSuite), "formatPrint", Release(kAnsiSuite)}));
  EXPECT_TRUE(host.Outstanding().empty());
}

TEST_F(AboutTest, ResultIsZeroWhateverThePrintReports) {
  for (ErrorCode printResult : {1, -1, kMissingSuite}) {
    SCOPED_TRACE(printResult);
    host.faults.printResult = printResult;
    EXPECT_EQ(host.Command(kAbout), kOk);
    EXPECT_STREQ(host.output.returnMessage, kAboutText);
  }
}

TEST_F(AboutTest, NullBasicSuiteGives516AndTouchesNothing) {
  host.faults.nullBasicSuite = true;
  const auto before = BytesOf(host.output);
  EXPECT_EQ(host.Command(kAbout), kMissingSuite);
  EXPECT_EQ(BytesOf(host.output), before);
  EXPECT_TRUE(host.Calls().empty());
}

TEST_F(AboutTest, MissingAnsiSuiteGives516ReleasesNothingAndTouchesNothing) {
  // A host error of any value, or success with no suite handed out.
  for (ErrorCode acquireCode : {1, kMissingSuite, -7, 0}) {
    SCOPED_TRACE(acquireCode);
    host.ClearCalls();
    host.faults.acquire = {{kAnsiSuite.name, kAnsiSuite.version, acquireCode}};
    const auto before = BytesOf(host.output);
    EXPECT_EQ(host.Command(kAbout), kMissingSuite);
    EXPECT_EQ(BytesOf(host.output), before);
    EXPECT_EQ(host.Calls(), Calls{Acquire(kAnsiSuite)});
    EXPECT_TRUE(host.Outstanding().empty());
  }
}

}  // namespace
}  // namespace velk::test
