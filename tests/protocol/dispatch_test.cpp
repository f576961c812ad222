#include <cstring>
#include <functional>

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

// Callbacks of the test's own, written into the input record at the host's
// bytes in place of the stand-in host's.
constexpr ErrorCode kRefusedAdd = 77;
int ownAdds = 0;
int ownCopies = 0;

ErrorCode RefusingAddParam(EffectRef, std::int32_t, const ParamDefinition*) {
  ++ownAdds;
  return kRefusedAdd;
}

ErrorCode CountingCopy(char* dest, const char* source) {
  ++ownCopies;
  std::strcpy(dest, source);
  return kOk;
}

using CopyString = ErrorCode (*)(char* dest, const char* source);

// Each field of the input record is written at its byte in the host's
// layout, over what the stand-in host had put there, and the command that
// reads it must act on the value written.
TEST_F(DispatchTest, HandlersReadTheInputRecordAtTheHostsBytes) {
  CopyString ownUtilities[kCopyStringEntry + 1] = {};
  ownUtilities[kCopyStringEntry] = &CountingCopy;
  // The test's own effect reference is the address of its own callback
  // table, the field beside it: an effect that took the one for the other
  // still calls the test's string copy, and fails the row instead of
  // crashing.
  const EffectRef ownRef = reinterpret_cast<EffectRef>(&ownUtilities[0]);
  // A 64 x 48 layer at full size with margins Left 10, Right 20, Top 5 and
  // Bottom 8 gives the edges 10, 44, 5 and 40.
  const auto edges = [this](double left, double right, double top,
                            double bottom) {
    return [this, left, right, top, bottom](ErrorCode result) {
      EXPECT_EQ(result, kOk);
      ASSERT_EQ(host.iterates.size(), 1u);
      const ReceivedRect rect = RectOf(host.iterates[0]);
      EXPECT_EQ(rect.left, left);
      EXPECT_EQ(rect.right, right);
      EXPECT_EQ(rect.top, top);
      EXPECT_EQ(rect.bottom, bottom);
    };
  };
  struct Row {
    const char* field;
    std::size_t byte;
    std::vector<unsigned char> value;
    std::int32_t selector;
    std::function<void(ErrorCode)> check;
  };
  const Row rows[] = {
      {"addParam", kInputAddParam, BytesOf(&RefusingAddParam), kParamsSetup,
       [this](ErrorCode result) {
         EXPECT_EQ(result, kRefusedAdd);
         EXPECT_EQ(ownAdds, 1);
         EXPECT_TRUE(host.added.empty());
       }},
      {"utilityCallbacks", kInputUtilityCallbacks, BytesOf(&ownUtilities[0]),
       kParamsSetup,
       [this](ErrorCode result) {
         EXPECT_EQ(result, kOk);
         EXPECT_EQ(ownCopies, 9);
         EXPECT_EQ(host.Calls(), Calls(9, "addParam -1"));
       }},
      {"effectRef at parameter setup", kInputEffectRef, BytesOf(ownRef),
       kParamsSetup,
       [this, ownRef](ErrorCode result) {
         EXPECT_EQ(result, kOk);
         ASSERT_EQ(host.added.size(), 9u);
         for (const auto& add : host.added) EXPECT_EQ(add.effectRef, ownRef);
       }},
      {"effectRef at a UI update", kInputEffectRef, BytesOf(ownRef), kUpdateUI,
       [this, ownRef](ErrorCode result) {
         EXPECT_EQ(result, kOk);
         ASSERT_FALSE(host.updates.empty());
         for (const auto& update : host.updates) {
           EXPECT_EQ(update.effectRef, ownRef);
         }
       }},
      {"width", kInputWidth, BytesOf(std::int32_t{60}), kRender,
       edges(10, 40, 5, 40)},
      {"height", kInputHeight, BytesOf(std::int32_t{40}), kRender,
       edges(10, 44, 5, 32)},
      {"downsampleX numerator", kInputDownsampleXNumerator,
       BytesOf(std::int32_t{3}), kRender, edges(30, 132, 5, 40)},
      {"downsampleX denominator", kInputDownsampleXDenominator,
       BytesOf(std::uint32_t{2}), kRender, edges(5, 22, 5, 40)},
      {"downsampleY numerator", kInputDownsampleYNumerator,
       BytesOf(std::int32_t{3}), kRender, edges(10, 44, 15, 120)},
      {"downsampleY denominator", kInputDownsampleYDenominator,
       BytesOf(std::uint32_t{2}), kRender, edges(10, 44, 2.5, 20)},
      {"basicSuite", kInputBasicSuite, BytesOf<const void*>(nullptr), kAbout,
       [this](ErrorCode result) {
         EXPECT_EQ(result, kMissingSuite);
         EXPECT_TRUE(host.Calls().empty());
       }},
  };
  host.SetLayer(64, 48, false);
  host.refconSnapshotBytes = kRectRecordBytes;
  const InputRecord asTheHostFilledIt = host.input;
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.field << " at byte " << row.byte);
    Apply(host, {1, 10, 20, 5, 8, 0, 0, 0, 0});
    host.input = asTheHostFilledIt;
    ASSERT_LE(row.byte + row.value.size(), sizeof host.input);
    std::memcpy(reinterpret_cast<unsigned char*>(&host.input) + row.byte,
                row.value.data(), row.value.size());
    host.ClearCalls();
    host.added.clear();
    host.updates.clear();
    host.iterates.clear();
    ownAdds = ownCopies = 0;

    row.check(host.Command(row.selector, &host.changed));
  }
}

}  // namespace
}  // namespace velk::test
