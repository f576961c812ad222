#include "suites/suite_handler.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/host_contract.h"
#include "tests/unit/fake_basic_suite.h"

namespace velk {

struct SuiteHandlerTestAccess {
  static void Fill(SuiteHandler& handler, int slot, const void* suite) {
    handler.slots_[slot - 1] = suite;
  }
};

namespace {

using namespace test;
using Calls = std::vector<std::string>;

// Runs `body` on a fresh handler and returns the ErrorCode that it threw,
// or nothing when no error was thrown.
template <typename Body>
std::optional<ErrorCode> ThrownBy(const BasicSuite* basic, Body body) {
  try {
    SuiteHandler handler(basic);
    body(handler);
  } catch (ErrorCode& thrown) {
    return thrown;
  }
  return std::nullopt;
}

TEST(SuiteHandler, UnusedHandlerMakesNoHostCall) {
  FakeBasicSuite basic;
  {
    SuiteHandler handler(&basic.table);
    for (int slot = 1; slot <= kSuiteSlotCount; ++slot) {
      EXPECT_EQ(handler.Slot(slot), nullptr) << "slot " << slot;
    }
  }
  EXPECT_TRUE(basic.calls.empty());
}

TEST(SuiteHandler, NullBasicSuiteThrows516BeforeAnyHostCall) {
  EXPECT_EQ(ThrownBy(nullptr, [](SuiteHandler&) {}), kMissingSuite);
}

TEST(SuiteHandler, AcquiresOnceCachesAndReleasesOnceWithTheSamePair) {
  struct Case {
    Suite suite;
    const void* (*ask)(SuiteHandler&);
    int slot;
  };
  const Case cases[] = {
      {kAnsiSuite,
       [](SuiteHandler& h) -> const void* { return h.ANSICallbacksSuite1(); },
       54},
      {kParamUtilsSuite,
       [](SuiteHandler& h) -> const void* { return h.ParamUtilsSuite3(); }, 66},
      {kIterate8Suite,
       [](SuiteHandler& h) -> const void* { return h.Iterate8Suite1(); }, 81},
      {kIterate16Suite,
       [](SuiteHandler& h) -> const void* { return h.Iterate16Suite1(); }, 82},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(KeyOf(c.suite));
    FakeBasicSuite basic;
    {
      SuiteHandler handler(&basic.table);
      const void* first = c.ask(handler);
      EXPECT_EQ(first, &basic.suiteTable);
      EXPECT_EQ(c.ask(handler), first);
      EXPECT_EQ(handler.Slot(c.slot), first);
      EXPECT_EQ(basic.calls, Calls{Acquire(c.suite)});
    }
    EXPECT_EQ(basic.calls, (Calls{Acquire(c.suite), Release(c.suite)}));
  }
}

TEST(SuiteHandler, EveryKindOfFailedAcquireThrows516AndReleasesNothing) {
  struct Case {
    const char* what;
    ErrorCode result;
    bool storesSuite;
  };
  const Case cases[] = {
      {"non-zero result", 7, true},
      {"516 from the host", kMissingSuite, true},
      {"negative result", -1, false},
      {"0 with no suite", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeBasicSuite basic;
    basic.acquireResult = c.result;
    basic.acquireStoresSuite = c.storesSuite;
    const void* slot81 = &basic;
    EXPECT_EQ(ThrownBy(&basic.table,
                       [&](SuiteHandler& handler) {
                         try {
                           handler.Iterate8Suite1();
                         } catch (ErrorCode&) {
                           slot81 = handler.Slot(81);
                           throw;
                         }
                       }),
              kMissingSuite);
    EXPECT_EQ(slot81, nullptr);
    EXPECT_EQ(basic.calls, Calls{Acquire(kIterate8Suite)});
  }
}

TEST(SuiteHandler, ThrownErrorReleasesWhatWasAcquiredBefore) {
  FakeBasicSuite basic;
  basic.failOnly = KeyOf(kIterate16Suite);
  basic.acquireResult = 3;
  EXPECT_EQ(ThrownBy(&basic.table,
                     [](SuiteHandler& handler) {
                       handler.ANSICallbacksSuite1();
                       handler.Iterate16Suite1();
                     }),
            kMissingSuite);
  EXPECT_EQ(basic.calls, (Calls{Acquire(kAnsiSuite), Acquire(kIterate16Suite),
                                Release(kAnsiSuite)}));
}

TEST(SuiteHandler, ReleasesInTableOrderNotAcquisitionOrder) {
  FakeBasicSuite basic;
  {
    SuiteHandler handler(&basic.table);
    handler.Iterate16Suite1();
    handler.Iterate8Suite1();
    handler.ANSICallbacksSuite1();
    handler.ParamUtilsSuite3();
    basic.calls.clear();
  }
  EXPECT_EQ(basic.calls,
            (Calls{Release(kParamUtilsSuite), Release(kAnsiSuite),
                   Release(kIterate8Suite), Release(kIterate16Suite)}));
}

TEST(SuiteHandler, FailedReleasesDoNotStopTheWalk) {
  FakeBasicSuite basic;
  basic.releaseResult = 9;
  {
    SuiteHandler handler(&basic.table);
    handler.Iterate8Suite1();
    handler.ParamUtilsSuite3();
    basic.calls.clear();
  }
  EXPECT_EQ(basic.calls,
            (Calls{Release(kParamUtilsSuite), Release(kIterate8Suite)}));
}

TEST(SuiteHandler, AllSlotsFilledAreReleasedOnceEachInTableOrder) {
  FakeBasicSuite basic;
  {
    SuiteHandler handler(&basic.table);
    // Fill every slot, those without a suite included: the walk must still
    // never visit 31, 87 or 123.
    for (int slot = 1; slot <= kSuiteSlotCount; ++slot) {
      SuiteHandlerTestAccess::Fill(handler, slot, &basic.suiteTable);
    }
  }
  ASSERT_EQ(basic.calls.size(), kReleaseOrderSize);
  for (std::size_t i = 0; i < kReleaseOrderSize; ++i) {
    EXPECT_EQ(basic.calls[i], "release " + std::string(kReleaseOrder[i].name) +
                                  " " +
                                  std::to_string(kReleaseOrder[i].version))
        << "release number " << i + 1;
  }
}

TEST(SuiteHandler, HandlersInARowEachAcquireAfresh) {
  FakeBasicSuite basic;
  for (int command = 0; command < 2; ++command) {
    SuiteHandler handler(&basic.table);
    handler.ANSICallbacksSuite1();
  }
  EXPECT_EQ(basic.calls, (Calls{Acquire(kAnsiSuite), Release(kAnsiSuite),
                                Acquire(kAnsiSuite), Release(kAnsiSuite)}));
}

}  // namespace
}  // namespace velk
