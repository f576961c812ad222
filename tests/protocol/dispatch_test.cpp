#include "tests/protocol/host_fixture.h"

namespace velk::test {
namespace {

using DispatchTest = SetUpHostTest;

TEST_F(DispatchTest, SelectorsWithoutAHandlerAnswerZeroAndTouchNothing) {
  const std::int32_t unserved[] = {
      2, 3, 5, 6, 7, 8, 9, 10, 12, 15, 1000, -1, -2, 16, 0x7fffffff, INT32_MIN};
  host.SetLayer(3, 2, false);
  for (std::int32_t selector : unserved) {
    SCOPED_TRACE(selector);
    const auto input = BytesOf(host.input);
    const auto output = BytesOf(host.output);
    const auto params = BytesOf(host.params);
    const auto image = BytesOf(host.outputImage);
    const auto pixels = host.outputPixels;
    EXPECT_EQ(host.Command(selector, &host.changed), kOk);
    EXPECT_EQ(BytesOf(host.input), input);
    EXPECT_EQ(BytesOf(host.output), output);
    EXPECT_EQ(BytesOf(host.params), params);
    EXPECT_EQ(BytesOf(host.outputImage), image);
    EXPECT_EQ(host.outputPixels, pixels);
    EXPECT_TRUE(host.Calls().empty());
  }
}

}  // namespace
}  // namespace velk::test
