#include <cstring>

#include "tests/protocol/host_fixture.h"

namespace velk::test {
namespace {

constexpr std::int32_t kGlobalSetup = 1;

template <typename Word>
void PutAt(std::vector<unsigned char>& bytes, std::size_t offset, Word word) {
  std::memcpy(&bytes[offset], &word, sizeof word);
}

using GlobalSetupTest = HostTest;

TEST_F(GlobalSetupTest, WritesOnlyTheVersionWordAndTheGlobalFlags) {
  for (bool nullBasicSuite : {false, true}) {
    SCOPED_TRACE(nullBasicSuite);
    host.faults.nullBasicSuite = nullBasicSuite;
    std::memset(&host.output, 0xc3, sizeof host.output);
    auto expected = BytesOf(host.output);
    PutAt<std::uint32_t>(expected, 0, 0x80001);
    PutAt<std::uint32_t>(expected, 96, 0x2000000);
    const auto input = BytesOf(host.input);
    const auto params = BytesOf(host.params);

    EXPECT_EQ(host.Command(kGlobalSetup), kErrNone);

    EXPECT_EQ(BytesOf(host.output), expected);
    EXPECT_EQ(BytesOf(host.params), params);
    EXPECT_TRUE(host.Calls().empty());
    EXPECT_EQ(BytesOf(host.input), input);
  }
}

}  // namespace
}  // namespace velk::test
