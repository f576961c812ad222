#include <cstring>

#include "tests/protocol/host_fixture.h"

namespace velk::test {
namespace {

using GlobalSetupTest = HostTest;

TEST_F(GlobalSetupTest, WritesOnlyTheVersionWordAndTheGlobalFlags) {
  for (bool nullBasicSuite : {false, true}) {
    SCOPED_TRACE(nullBasicSuite);
    host.faults.nullBasicSuite = nullBasicSuite;
    std::memset(&host.output, 0xc3, sizeof host.output);
    auto expected = BytesOf(host.output);
    std::memcpy(&expected[0], &kVersionWord, 4);
    std::memcpy(&expected[96], &kGlobalFlags, 4);
    const auto input = BytesOf(host.input);
    const auto params = BytesOf(host.params);

    EXPECT_EQ(host.Command(kGlobalSetup), kOk);

    EXPECT_EQ(BytesOf(host.output), expected);
    EXPECT_EQ(BytesOf(host.params), params);
    EXPECT_TRUE(host.Calls().empty());
    EXPECT_EQ(BytesOf(host.input), input);
  }
}

}  // namespace
}  // namespace velk::test
