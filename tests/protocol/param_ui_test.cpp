// Selectors 13 (a parameter changed) and 14 (update the parameters' UI):
// the mode line, the controls' uiFlags and the run of parameter-UI updates.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <stdexcept>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "tests/protocol/host_fixture.h"

namespace velk::test {
namespace {

using Indices = std::vector<std::int32_t>;
using Definitions = std::vector<ParamDefinition>;

const Indices kChangedOrder = {2, 3, 4, 5, 6, 7, 9, 8};
const Indices kUpdateUIOrder = {2, 3, 4, 5, 6, 7, 8};

// Words that the host leaves in its definitions before a command.
constexpr std::int32_t kHostUiFlags = 0xFF25;  // 0x20 among other bits
constexpr std::int32_t kHostChangeFlags = 0x77;

struct Outcome {
  ErrorCode result;
  std::string printed;  // what reached file descriptor 1 during the command
};

int OpenPipe(int ends[2]) {
#if defined(_WIN32)
  return _pipe(ends, 4096, _O_BINARY);
#else
  return pipe(ends);
#endif
}

class ParamUiTest : public SetUpHostTest {
 protected:
  void Prime(std::int32_t popupValue, std::int32_t uiFlags) {
    host.Param("Type").popup.value = popupValue;
    for (std::size_t i = 1; i < host.params.size(); ++i) {
      host.params[i].changeFlags = kHostChangeFlags;
      host.params[i].uiFlags = uiFlags;
    }
    host.updates.clear();
    host.ClearCalls();
  }

  // The extra record reports `changedIndex` to selector 13; selector 14
  // must ignore it. File descriptor 1 goes to a pipe while the command runs
  // and back before the pipe is read; nothing flushes the C library's
  // standard output in between, so a line that the effect left in its
  // buffer does not count as printed. (Under ctest standard output is a
  // pipe, so the C library buffers it fully.)
  Outcome Send(std::int32_t selector, std::int32_t changedIndex) {
    host.changed.changedIndex = changedIndex;
    std::fflush(stdout);  // the test's own output goes where it belongs
    int ends[2];
    if (OpenPipe(ends) != 0) throw std::runtime_error("no pipe");
    const int standardOutput = dup(1);
    dup2(ends[1], 1);
    close(ends[1]);
    const ErrorCode result = host.Command(selector, &host.changed);
    dup2(standardOutput, 1);
    close(standardOutput);
    std::string printed;
    char chunk[64];
    for (int n; (n = read(ends[0], chunk, sizeof chunk)) > 0;) {
      printed.append(chunk, n);
    }
    close(ends[0]);
    return {result, printed};
  }

  static Calls UpdateCalls(const Indices& indices) {
    Calls calls = {Acquire(kParamUtilsSuite)};
    for (std::int32_t i : indices)
      calls.push_back("update " + std::to_string(i));
    calls.push_back(Release(kParamUtilsSuite));
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
      EXPECT_EQ(update.copy.changeFlags, kValueChanged);
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
      {kParamChanged, 2, kChangedOrder},
      {kParamChanged, 9, kChangedOrder},
      {kParamChanged, 0, kChangedOrder},
      {kParamChanged, -1, kChangedOrder},
      {kParamChanged, 0x10001, kChangedOrder},
      {kUpdateUI, 1, kUpdateUIOrder},
      {kUpdateUI, 2, kUpdateUIOrder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "selector " << c.selector << ", changed "
                                    << c.changedIndex);
    Prime(2, kHostUiFlags);
    Definitions expected = host.params;
    for (std::int32_t i : c.order) expected[i].changeFlags = kValueChanged;

    const Outcome outcome = Send(c.selector, c.changedIndex);

    EXPECT_EQ(outcome.result, kOk);
    EXPECT_EQ(outcome.printed, "");
    EXPECT_EQ(host.Calls(), UpdateCalls(c.order));
    ExpectUpdatesOf(c.order);
    for (const host::ReceivedDefinition& update : host.updates) {
      EXPECT_EQ(update.copy.uiFlags, kHostUiFlags);
    }
    // Only the listed changeFlags words changed: no uiFlags, and nothing of
    // index 1, whose first word is its id.
    EXPECT_EQ(BytesOf(host.params), BytesOf(expected));
  }
}

TEST_F(ParamUiTest, PopupChangeWritesTheLineAndEnablesOneGroup) {
  struct Case {
    std::int32_t popupValue;
    std::string line;
    std::int32_t margins;  // uiFlags of indices 2 to 5
    std::int32_t box;      // uiFlags of indices 6 to 8
  };
  const Case cases[] = {
      {1, "individual\n", kEnabled, kDisabled},
      {2, "width height\n", kDisabled, kEnabled},
      {0, "width height\n", kDisabled, kEnabled},
      {3, "width height\n", kDisabled, kEnabled},
      {-1, "width height\n", kDisabled, kEnabled},
      {INT_MIN, "width height\n", kDisabled, kEnabled},
  };
  for (const Case& c : cases) {
    for (const std::int32_t hostFlags : {kHostUiFlags, -1, 0}) {
      SCOPED_TRACE(testing::Message() << "popup " << c.popupValue
                                      << ", host uiFlags " << hostFlags);
      Prime(c.popupValue, hostFlags);
      Definitions expected = host.params;
      for (std::int32_t i = 2; i <= 9; ++i) {
        expected[i].changeFlags = kValueChanged;
      }
      for (std::int32_t i = 2; i <= 8; ++i) {
        expected[i].uiFlags = i <= 5 ? c.margins : c.box;
      }

      const Outcome outcome = Send(kParamChanged, 1);

      EXPECT_EQ(outcome.result, kOk);
      EXPECT_EQ(outcome.printed, c.line);
      EXPECT_EQ(host.Calls(), UpdateCalls(kChangedOrder));
      ExpectUpdatesOf(kChangedOrder);
      // Every update already sees the new flags; "Invert" keeps the host's.
      for (const host::ReceivedDefinition& update : host.updates) {
        EXPECT_EQ(update.copy.uiFlags, expected[update.index].uiFlags)
            << "update " << update.index;
      }
      EXPECT_EQ(BytesOf(host.params), BytesOf(expected));
    }
  }
}

TEST_F(ParamUiTest, MissingBasicSuiteChangesNothing) {
  host.faults.nullBasicSuite = true;
  const std::pair<std::int32_t, std::int32_t> commands[] = {
      {kParamChanged, 1}, {kParamChanged, 2}, {kUpdateUI, 1}};
  for (const auto& [selector, changedIndex] : commands) {
    SCOPED_TRACE(testing::Message()
                 << "selector " << selector << ", changed " << changedIndex);
    Prime(2, kHostUiFlags);
    const auto params = BytesOf(host.params);
    const auto input = BytesOf(host.input);
    const auto output = BytesOf(host.output);
    const auto image = BytesOf(host.outputImage);

    const Outcome outcome = Send(selector, changedIndex);

    EXPECT_EQ(outcome.result, kMissingSuite);
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
  const Case cases[] = {{kParamChanged, 5, "width height\n"},
                        {kParamChanged, 0, "width height\n"},
                        {kUpdateUI, kMissingSuite, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "selector " << c.selector << ", acquire "
                                    << c.acquireResult);
    host.faults.acquire = {
        {kParamUtilsSuite.name, kParamUtilsSuite.version, c.acquireResult}};
    Prime(2, kHostUiFlags);
    Definitions expected = host.params;
    expected[2].changeFlags = kValueChanged;
    if (c.selector == kParamChanged) {
      for (std::int32_t i = 2; i <= 8; ++i) {
        expected[i].uiFlags = i <= 5 ? kDisabled : kEnabled;
      }
    }

    const Outcome outcome = Send(c.selector, 1);

    EXPECT_EQ(outcome.result, kMissingSuite);
    EXPECT_EQ(outcome.printed, c.line);
    EXPECT_EQ(host.Calls(), Calls{Acquire(kParamUtilsSuite)});
    EXPECT_TRUE(host.updates.empty());
    EXPECT_EQ(BytesOf(host.params), BytesOf(expected));
  }
}

TEST_F(ParamUiTest, ThirdUpdateFailureEndsTheRunButNotTheMarks) {
  const std::pair<std::int32_t, ErrorCode> cases[] = {{kParamChanged, 42},
                                                      {kParamChanged, -7},
                                                      {kUpdateUI, 42},
                                                      {kUpdateUI, -7}};
  host.faults.updateFailAt = 3;
  for (const auto& [selector, code] : cases) {
    SCOPED_TRACE(testing::Message()
                 << "selector " << selector << ", code " << code);
    const Indices& order =
        selector == kParamChanged ? kChangedOrder : kUpdateUIOrder;
    host.faults.updateCode = code;
    Prime(1, kHostUiFlags);

    const Outcome outcome = Send(selector, 2);

    EXPECT_EQ(outcome.result, code);
    EXPECT_EQ(host.Calls(), UpdateCalls({2, 3, 4}));
    ExpectUpdatesOf({2, 3, 4});
    for (std::int32_t i = 1; i < kParamCountWithLayer; ++i) {
      const bool listed =
          std::find(order.begin(), order.end(), i) != order.end();
      EXPECT_EQ(host.params[i].changeFlags,
                listed ? kValueChanged : kHostChangeFlags)
          << "index " << i;
    }
  }
}

}  // namespace
}  // namespace velk::test
