// Selectors 13 (a parameter changed) and 14 (update the parameters' UI):
// the mode line, the controls' uiFlags and the run of parameter-UI updates.
#include <algorithm>
#include <climits>

#include "tests/protocol/host_fixture.h"

namespace velk::test {
namespace {

using host::kParamArraySize;
using Indices = std::vector<std::int32_t>;

constexpr std::int32_t kChanged = 13;
constexpr std::int32_t kUpdateUI = 14;
const Indices kChangedOrder = {2, 3, 4, 5, 6, 7, 9, 8};
const Indices kUpdateUIOrder = {2, 3, 4, 5, 6, 7, 8};
const std::string kAcquire = "acquire PF Param Utils Suite 3";
const std::string kRelease = "release PF Param Utils Suite 3";

// Words that the host leaves in its definitions before a command.
constexpr std::int32_t kHostUiFlags = 0xFF25;  // 0x20 among other bits
constexpr std::int32_t kHostChangeFlags = 0x77;

struct Outcome {
  ErrorCode result;
  std::string printed;  // everything the command wrote to standard output
};

class ParamUiTest : public HostTest {
 protected:
  void Prime(std::int32_t popupValue, std::int32_t uiFlags) {
    host.params[1].popup.value = popupValue;
    for (int i = 1; i < kParamArraySize; ++i) {
      host.params[i].changeFlags = kHostChangeFlags;
      host.params[i].uiFlags = uiFlags;
    }
    host.updates.clear();
    host.ClearCalls();
  }

  // Selector 13 reports `changedIndex`; selector 14 is handed an extra
  // record too, which it must ignore.
  Outcome Send(std::int32_t selector, std::int32_t changedIndex) {
    host.changed.changedIndex = changedIndex;
    testing::internal::CaptureStdout();
    const ErrorCode result = selector == kChanged
                                 ? host.ChangeParam(changedIndex)
                                 : host.Command(selector, &host.changed);
    return {result, testing::internal::GetCapturedStdout()};
  }

  // The host's definitions as they stand now, to build what a command must
  // leave behind.
  struct Definitions {
    ParamDefinition at[kParamArraySize];
  };
  Definitions Snapshot() const {
    Definitions copy;
    std::memcpy(copy.at, host.params, sizeof copy.at);
    return copy;
  }

  static Calls UpdateCalls(const Indices& indices) {
    Calls calls = {kAcquire};
    for (std::int32_t i : indices)
      calls.push_back("update " + std::to_string(i));
    calls.push_back(kRelease);
    return calls;
  }

  // Each update was for the host's own definition, already marked changed.
  void ExpectUpdatesOf(const Indices& indices) {
    ASSERT_EQ(host.updates.size(), indices.size());
    for (std::size_t k = 0; k < indices.size(); ++k) {
      const host::ReceivedDefinition& update = host.updates[k];
      EXPECT_EQ(update.effectRef, host::StandInHost::HostEffectRef());
      EXPECT_EQ(update.index, indices[k]);
      EXPECT_EQ(update.address, &host.params[indices[k]]);
      EXPECT_EQ(update.copy.changeFlags, kChangeFlagValueChanged);
    }
  }
};

TEST_F(ParamUiTest, OtherChangesAndUiUpdatesOnlyMarkAndSendTheControls) {
  struct Case {
    std::int32_t selector;
    std::int32_t changedIndex;
    const Indices& order;
  };
  const Case cases[] = {
      {kChanged, 2, kChangedOrder},       {kChanged, 9, kChangedOrder},
      {kChanged, 0, kChangedOrder},       {kChanged, -1, kChangedOrder},
      {kChanged, 0x10001, kChangedOrder}, {kUpdateUI, 1, kUpdateUIOrder},
      {kUpdateUI, 2, kUpdateUIOrder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "selector " << c.selector << ", changed "
                                    << c.changedIndex);
    Prime(2, kHostUiFlags);
    Definitions expected = Snapshot();
    for (std::int32_t i : c.order) {
      expected.at[i].changeFlags = kChangeFlagValueChanged;
    }

    const Outcome outcome = Send(c.selector, c.changedIndex);

    EXPECT_EQ(outcome.result, kErrNone);
    EXPECT_EQ(outcome.printed, "");
    EXPECT_EQ(host.Calls(), UpdateCalls(c.order));
    ExpectUpdatesOf(c.order);
    for (const host::ReceivedDefinition& update : host.updates) {
      EXPECT_EQ(update.copy.uiFlags, kHostUiFlags);
    }
    // Only the listed changeFlags words changed: no uiFlags, and nothing of
    // index 1, whose first word is its id.
    EXPECT_EQ(BytesOf(host.params), BytesOf(expected.at));
  }
}

TEST_F(ParamUiTest, PopupChangeWritesTheLineAndEnablesOneGroup) {
  constexpr std::int32_t kOff = kUiFlagsDisabled;
  constexpr std::int32_t kOn = kUiFlagsEnabled;
  struct Case {
    std::int32_t popupValue;
    std::string line;
    std::int32_t margins;  // uiFlags of indices 2 to 5
    std::int32_t box;      // uiFlags of indices 6 to 8
  };
  const Case cases[] = {
      {1, "individual\n", kOn, kOff},    {2, "width height\n", kOff, kOn},
      {0, "width height\n", kOff, kOn},  {3, "width height\n", kOff, kOn},
      {-1, "width height\n", kOff, kOn}, {INT_MIN, "width height\n", kOff, kOn},
  };
  for (const Case& c : cases) {
    for (const std::int32_t hostFlags : {kHostUiFlags, -1, 0}) {
      SCOPED_TRACE(testing::Message() << "popup " << c.popupValue
                                      << ", host uiFlags " << hostFlags);
      Prime(c.popupValue, hostFlags);
      Definitions expected = Snapshot();
      for (std::int32_t i = 2; i <= 9; ++i) {
        expected.at[i].changeFlags = kChangeFlagValueChanged;
      }
      for (std::int32_t i = 2; i <= 8; ++i) {
        expected.at[i].uiFlags = i <= 5 ? c.margins : c.box;
      }

      const Outcome outcome = Send(kChanged, 1);

      EXPECT_EQ(outcome.result, kErrNone);
      EXPECT_EQ(outcome.printed, c.line);
      EXPECT_EQ(host.Calls(), UpdateCalls(kChangedOrder));
      ExpectUpdatesOf(kChangedOrder);
      // Every update already sees the new flags; "Invert" keeps the host's.
      for (const host::ReceivedDefinition& update : host.updates) {
        EXPECT_EQ(update.copy.uiFlags, expected.at[update.index].uiFlags)
            << "update " << update.index;
      }
      EXPECT_EQ(BytesOf(host.params), BytesOf(expected.at));
    }
  }
}

TEST_F(ParamUiTest, MissingBasicSuiteChangesNothing) {
  host.faults.nullBasicSuite = true;
  const std::pair<std::int32_t, std::int32_t> commands[] = {
      {kChanged, 1}, {kChanged, 2}, {kUpdateUI, 1}};
  for (const auto& [selector, changedIndex] : commands) {
    SCOPED_TRACE(testing::Message()
                 << "selector " << selector << ", changed " << changedIndex);
    Prime(2, kHostUiFlags);
    const auto params = BytesOf(host.params);
    const auto input = BytesOf(host.input);
    const auto output = BytesOf(host.output);
    const auto image = BytesOf(host.outputImage);

    const Outcome outcome = Send(selector, changedIndex);

    EXPECT_EQ(outcome.result, kErrMissingSuite);
    EXPECT_EQ(outcome.printed, "");
    EXPECT_TRUE(host.Calls().empty());
    EXPECT_EQ(BytesOf(host.params), params);
    EXPECT_EQ(BytesOf(host.input), input);
    EXPECT_EQ(BytesOf(host.output), output);
    EXPECT_EQ(BytesOf(host.outputImage), image);
  }
}

TEST_F(ParamUiTest, MissingParamUtilsSuiteStopsAfterTheFirstMark) {
  struct Case {
    std::int32_t selector;
    ErrorCode acquireResult;  // 0: success reported, but no suite stored
    std::string line;
  };
  const Case cases[] = {{kChanged, 5, "width height\n"},
                        {kChanged, 0, "width height\n"},
                        {kUpdateUI, kErrMissingSuite, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "selector " << c.selector << ", acquire "
                                    << c.acquireResult);
    host.faults.acquire = {
        {kParamUtilsSuiteName, kParamUtilsSuiteVersion, c.acquireResult}};
    Prime(2, kHostUiFlags);
    Definitions expected = Snapshot();
    expected.at[2].changeFlags = kChangeFlagValueChanged;
    if (c.selector == kChanged) {
      for (std::int32_t i = 2; i <= 8; ++i) {
        expected.at[i].uiFlags = i <= 5 ? kUiFlagsDisabled : kUiFlagsEnabled;
      }
    }

    const Outcome outcome = Send(c.selector, 1);

    EXPECT_EQ(outcome.result, kErrMissingSuite);
    EXPECT_EQ(outcome.printed, c.line);
    EXPECT_EQ(host.Calls(), Calls{kAcquire});
    EXPECT_TRUE(host.updates.empty());
    EXPECT_EQ(BytesOf(host.params), BytesOf(expected.at));
  }
}

// The host counts updates over its whole life, so each failing run gets a
// host of its own.
struct FailingUpdate {
  std::int32_t selector;
  ErrorCode code;
};
void PrintTo(const FailingUpdate& c, std::ostream* out) {
  *out << "selector " << c.selector << ", code " << c.code;
}

class FailingUpdateTest : public ParamUiTest,
                          public testing::WithParamInterface<FailingUpdate> {};

TEST_P(FailingUpdateTest, ThirdUpdateFailureEndsTheRunButNotTheMarks) {
  const FailingUpdate& c = GetParam();
  const Indices& order =
      c.selector == kChanged ? kChangedOrder : kUpdateUIOrder;
  host.faults.updateFailAt = 3;
  host.faults.updateCode = c.code;
  Prime(1, kHostUiFlags);

  const Outcome outcome = Send(c.selector, 2);

  EXPECT_EQ(outcome.result, c.code);
  EXPECT_EQ(host.Calls(), UpdateCalls({2, 3, 4}));
  ExpectUpdatesOf({2, 3, 4});
  for (std::int32_t i = 1; i < kParamArraySize; ++i) {
    const bool listed = std::find(order.begin(), order.end(), i) != order.end();
    EXPECT_EQ(host.params[i].changeFlags,
              listed ? kChangeFlagValueChanged : kHostChangeFlags)
        << "index " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(BothHandlers, FailingUpdateTest,
                         testing::Values(FailingUpdate{kChanged, 42},
                                         FailingUpdate{kChanged, -7},
                                         FailingUpdate{kUpdateUI, 42},
                                         FailingUpdate{kUpdateUI, -7}));

}  // namespace
}  // namespace velk::test
