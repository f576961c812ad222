// No command allocates on the heap: every EffectMain command, and the
// registration entry, driven through the stand-in host with allocations
// counted only while the module runs (the host's own logging and records are
// left out, see host::InHostWork()).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <string>

#include "tests/alloc/heap_counter.h"
#include "tests/protocol/host_fixture.h"

namespace velk::test {
namespace {

constexpr std::int32_t kUnknownSelector = 99;

// Where allocations go, so that the compiler keeps them.
void* volatile sink = nullptr;

using Prepare = void (*)(host::StandInHost&);
// Issues one command through the host.
using IssueCommand = ErrorCode (*)(host::StandInHost&);

void Nothing(host::StandInHost&) {}

// A small layer of the given depth with a rectangle of the given mode.
template <bool kDeep, std::int32_t kMode, std::int32_t kInvert>
void RenderSetting(host::StandInHost& host) {
  host.SetLayer(16, 8, kDeep);
  std::memset(host.inputPixels.data(), 0xA5, host.inputPixels.size());
  Apply(host, {kMode, 2, 3, 1, 2, 6, 4, 8, 4, kInvert});
}

template <std::int32_t kChoice>
void Popup(host::StandInHost& host) {
  host.Param("Type").popup.value = kChoice;
}

template <std::int32_t kSelector>
ErrorCode Send(host::StandInHost& host) {
  return host.Command(kSelector, &host.changed);
}

template <std::int32_t kIndex>
ErrorCode Change(host::StandInHost& host) {
  host.changed.changedIndex = kIndex;
  return host.Command(kParamChanged, &host.changed);
}

ErrorCode Register(host::StandInHost& host) {
  static int hostData;
  return host.Register(&hostData);
}

struct CommandCase {
  const char* what;
  Prepare prepare;
  IssueCommand run;
  std::size_t hostCalls;  // what the host logs when the command runs through
};

// Render: acquire, iterate, release. Parameter changes: acquire, eight
// updates, release; the UI update seven. Parameter setup: a name copy and an
// add for each of the nine parameters.
const CommandCase kCommands[] = {
    {"about", Nothing, Send<kAbout>, 3},
    {"global setup", Nothing, Send<kGlobalSetup>, 0},
    {"parameter setup", Nothing, Send<kParamsSetup>, 18},
    {"render 8-bit, mode 1", RenderSetting<false, 1, 0>, Send<kRender>, 3},
    {"render 8-bit, mode 2", RenderSetting<false, 2, 0>, Send<kRender>, 3},
    {"render 8-bit, inverted", RenderSetting<false, 1, 1>, Send<kRender>, 3},
    {"render 8-bit, no rectangle", RenderSetting<false, 3, 0>, Send<kRender>,
     3},
    {"render 16-bit, mode 1", RenderSetting<true, 1, 0>, Send<kRender>, 3},
    {"render 16-bit, mode 2", RenderSetting<true, 2, 0>, Send<kRender>, 3},
    {"render 16-bit, inverted", RenderSetting<true, 2, 1>, Send<kRender>, 3},
    {"render 16-bit, no rectangle", RenderSetting<true, 0, 1>, Send<kRender>,
     3},
    {"popup changed to Individual", Popup<1>, Change<1>, 10},
    {"popup changed to Width Height", Popup<2>, Change<1>, 10},
    {"another parameter changed", Nothing, Change<3>, 10},
    {"update parameters UI", Nothing, Send<kUpdateUI>, 9},
    {"unknown selector", Nothing, Send<kUnknownSelector>, 0},
    {"registration", Nothing, Register, 1},
};

class NoAllocationTest : public SetUpHostTest {
 protected:
  static void SetUpTestSuite() {
    // The C runtime allocates standard output's buffer on the first write to
    // it, and a change of the popup writes its line to standard output. Write
    // once before anything is counted, so that only the commands' own
    // allocations are.
    std::cout << "[          ] standard output in use before counting"
              << std::endl;
  }

  struct Counted {
    ErrorCode result;
    HeapCount heap;
  };

  Counted CountDuring(IssueCommand run) {
    host.ClearCalls();
    HeapCounting counting;
    const ErrorCode result = run(host);
    return {result, counting.count()};
  }
};

TEST_F(NoAllocationTest, NoCommandAllocates) {
  for (const CommandCase& command : kCommands) {
    SCOPED_TRACE(command.what);
    command.prepare(host);

    const Counted counted = CountDuring(command.run);

    EXPECT_EQ(counted.result, kOk);
    EXPECT_EQ(counted.heap.allocations, 0);
    EXPECT_EQ(counted.heap.releases, 0);
    EXPECT_EQ(host.Calls().size(), command.hostCalls);
    EXPECT_FALSE(host::InHostWork());
  }
}

// A missing suite is thrown as an ErrorCode from inside the module and
// caught by EffectMain. The C++ runtime allocates the exception object for
// the throw (__cxa_allocate_exception) and frees it when the catch ends:
// this path allocates exactly that one block, and keeps nothing.
TEST_F(NoAllocationTest, MissingSuitePathAllocatesOnlyTheThrownCode) {
  struct FaultCase {
    const char* what;
    const Suite* suite;  // the suite whose acquisition fails; null: no basic
    Prepare prepare;
    IssueCommand run;
  };
  const FaultCase cases[] = {
      {"about, no basic suite", nullptr, Nothing, Send<kAbout>},
      {"about", &kAnsiSuite, Nothing, Send<kAbout>},
      {"render 8-bit", &kIterate8Suite, RenderSetting<false, 1, 0>,
       Send<kRender>},
      {"render 16-bit", &kIterate16Suite, RenderSetting<true, 2, 0>,
       Send<kRender>},
      {"popup changed", &kParamUtilsSuite, Popup<1>, Change<1>},
      {"update parameters UI", &kParamUtilsSuite, Nothing, Send<kUpdateUI>},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    c.prepare(host);
    host.faults = {};
    if (c.suite == nullptr) {
      host.faults.nullBasicSuite = true;
    } else {
      host.faults.acquire.push_back({c.suite->name, c.suite->version, 1});
    }

    const Counted counted = CountDuring(c.run);

    EXPECT_EQ(counted.result, kMissingSuite);
    EXPECT_EQ(counted.heap.allocations, 1);
    EXPECT_EQ(counted.heap.releases, counted.heap.allocations);
    std::cout << "[          ] error 516, " << c.what << ": "
              << counted.heap.allocations << " allocation(s), "
              << counted.heap.releases << " release(s)" << std::endl;
  }
}

// The pixel walk of the host's iterate is counted: a pixel function that
// allocates shows up once per pixel, through the suite that a render uses.
ErrorCode AllocatingPixel(void*, std::int32_t, std::int32_t, Pixel8*, Pixel8*) {
  sink = new int(1);
  delete static_cast<int*>(sink);
  return kErrNone;
}

ErrorCode IterateAllocating(host::StandInHost& host) {
  return host.IterateWith<Pixel8>(AllocatingPixel, nullptr);
}

TEST_F(NoAllocationTest, CountsWhatAPixelFunctionAllocates) {
  host.SetLayer(4, 2, false);

  const Counted counted = CountDuring(IterateAllocating);

  EXPECT_EQ(counted.result, kOk);
  EXPECT_EQ(counted.heap.allocations, 8);
  EXPECT_EQ(counted.heap.releases, 8);
}

// Every allocation function counts, also when the library calls it.
TEST(HeapCounterTest, CountsEveryAllocationFunction) {
  struct alignas(64) Wide {
    char bytes[64];
  };
  const struct {
    const char* what;
    void (*allocateAndFree)();
  } cases[] = {
      {"new", [] { delete static_cast<int*>(sink = new int(1)); }},
      {"new[]", [] { delete[] static_cast<char*>(sink = new char[16]); }},
      {"nothrow new",
       [] { delete static_cast<int*>(sink = new (std::nothrow) int(1)); }},
      {"aligned new", [] { delete static_cast<Wide*>(sink = new Wide{}); }},
      {"aligned new[]",
       [] { delete[] static_cast<Wide*>(sink = new Wide[2]); }},
      {"operator new", [] { ::operator delete(sink = ::operator new(8)); }},
      {"malloc", [] { std::free(sink = std::malloc(8)); }},
      {"calloc", [] { std::free(sink = std::calloc(2, 8)); }},
      {"realloc", [] { std::free(sink = std::realloc(nullptr, 8)); }},
      {"aligned_alloc", [] { std::free(sink = std::aligned_alloc(64, 64)); }},
      {"strdup", [] { std::free(sink = strdup("heap")); }},
      {"std::string", [] { sink = std::string(100, 'x').data(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HeapCount count;
    {
      HeapCounting counting;
      c.allocateAndFree();
      count = counting.count();
    }
    EXPECT_EQ(count.allocations, 1);
    EXPECT_EQ(count.releases, 1);
  }
}

}  // namespace
}  // namespace velk::test
