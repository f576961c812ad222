#include "suites/suite_slots.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "tests/host_contract.h"

namespace velk {
namespace {

TEST(SuiteSlots, EverySlotButThreeHasExactlyOneRow) {
  std::multiset<int> slots;
  for (const SuiteSlot& row : kReleaseOrder) slots.insert(row.slot);
  for (int slot = 1; slot <= kSuiteSlotCount; ++slot) {
    const bool empty = slot == 31 || slot == 87 || slot == 123;
    EXPECT_EQ(slots.count(slot), empty ? 0u : 1u) << "slot " << slot;
  }
  EXPECT_EQ(slots.size(), 132u);
}

TEST(SuiteSlots, NoTwoSlotsShareANameAndVersion) {
  std::set<std::pair<std::string, std::int32_t>> pairs;
  std::set<std::string> names;
  for (const SuiteSlot& row : kReleaseOrder) {
    EXPECT_TRUE(pairs.insert({row.name, row.version}).second)
        << row.name << " " << row.version;
    names.insert(row.name);
  }
  EXPECT_EQ(names.size(), 71u);
}

TEST(SuiteSlots, NamesKeepTheHostsSpelling) {
  const std::pair<int, test::Suite> cases[] = {
      {81, test::kIterate8Suite},
      {82, test::kIterate16Suite},
      {83, {"PF iterateFloat Suite", 1}},
      {124, {"PF ColorParamSuite", 1}},
      {98, {"AE Plugin Helper Suite2", 2}},
      {95, {"AEGP Render Asyc Manager Suite", 1}},
      {54, test::kAnsiSuite},
      {66, test::kParamUtilsSuite},
      {135, {"SP Suites Suite", 2}},
      {1, {"AEGP Keyframe Suite", 4}},
  };
  for (const auto& [slot, suite] : cases) {
    const SuiteSlot row = SlotRow(slot);
    EXPECT_EQ(row.slot, slot);
    EXPECT_STREQ(row.name, suite.name) << "slot " << slot;
    EXPECT_EQ(row.version, suite.version) << "slot " << slot;
  }
}

TEST(SuiteSlots, TheEffectsFourSlotsAreReleasedInTheirFixedOrder) {
  std::vector<int> order;
  for (const SuiteSlot& row : kReleaseOrder) {
    if (row.slot == 54 || row.slot == 66 || row.slot == 81 || row.slot == 82) {
      order.push_back(row.slot);
    }
  }
  EXPECT_EQ(order, (std::vector<int>{66, 54, 81, 82}));
}

}  // namespace
}  // namespace velk
