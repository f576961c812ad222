// The suite handler's vocabulary: which host suite, by name and version,
// belongs to each of its 135 numbered slots, in the order in which the slots
// are released.
//
// All 135 slots and this release order are kept as the host contract fixes
// them, although the effect fills only four: 54 "PF ANSI Suite" 1, 66 "PF
// Param Utils Suite" 3, 81 "PF Iterate8 Suite" 1, 82 "PF iterate16 Suite" 1.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velk {

constexpr int kSuiteSlotCount = 135;

struct SuiteSlot {
  int slot;  // 1 to 135
  const char* name;
  std::int32_t version;
};

// One row per slot that has a suite, in the order of release. Slots 31, 87
// and 123 have no suite and no row. Names go to the host character for
// character, case and spaces included.
inline constexpr SuiteSlot kReleaseOrder[] = {
    // {slot, name, version}
    {5, "AEGP Marker Suite", 1},
    {6, "AEGP Marker Suite", 2},
    {7, "AEGP Marker Suite", 3},
    {16, "AEGP Layer Suite", 8},
    {17, "AEGP Layer Suite", 10},
    {4, "AEGP Stream Suite", 10},
    {3, "AEGP Stream Suite", 9},
    {2, "AEGP Stream Suite", 8},
    {18, "AEGP Stream Suite", 7},
    {107, "AEGP Stream Suite", 4},
    {19, "AEGP Dynamic Stream Suite", 2},
    {20, "AEGP Dynamic Stream Suite", 3},
    {21, "AEGP Dynamic Stream Suite", 5},
    {1, "AEGP Keyframe Suite", 4},
    {22, "AEGP Keyframe Suite", 3},
    {110, "AEGP Keyframe Suite", 1},
    {8, "AEGP Comp Suite", 9},
    {9, "AEGP Comp Suite", 11},
    {10, "AEGP Comp Suite", 14},
    {11, "AEGP Comp Suite", 15},
    {12, "AEGP Comp Suite", 18},
    {13, "AEGP Comp Suite", 19},
    {14, "AEGP Comp Suite", 21},
    {15, "AEGP Comp Suite", 25},
    {23, "AEGP Canvas Suite", 10},
    {24, "AEGP Canvas Suite", 11},
    {25, "AEGP Canvas Suite", 13},
    {26, "AEGP Canvas Suite", 14},
    {27, "AEGP Camera Suite", 2},
    {28, "AEGP Register Suite", 6},
    {30, "AEGP Item View Suite", 1},
    {32, "AEGP Item Suite", 13},
    {33, "AEGP Item Suite", 11},
    {34, "AEGP Item Suite", 10},
    {35, "AEGP Item Suite", 7},
    {36, "AEGP Item Suite", 3},
    {61, "AEGP PF Interface Suite", 1},
    {62, "AEGP Math Suite", 1},
    {63, "PF AE Adv Time Suite", 4},
    {64, "PF Path Query Suite", 1},
    {29, "AEGP Memory Suite", 1},
    {65, "PF Path Data Suite", 1},
    {66, "PF Param Utils Suite", 3},
    {67, "PF AE App Suite", 6},
    {68, "PF AE App Suite", 7},
    {69, "PF AE App Suite", 1},
    {70, "PF AE Adv App Suite", 2},
    {37, "AEGP Light Suite", 1},
    {38, "AEGP Light Suite", 2},
    {39, "AEGP Effect Suite", 1},
    {40, "AEGP Effect Suite", 2},
    {41, "AEGP Effect Suite", 3},
    {42, "AEGP Effect Suite", 4},
    {43, "AEGP Layer Mask Suite", 5},
    {44, "AEGP Mask Outline Suite", 2},
    {45, "AEGP Mask Outline Suite", 3},
    {46, "AEGP Mask Outline Suite", 5},
    {47, "AEGP Command Suite", 1},
    {48, "AEGP Utility Suite", 7},
    {49, "AEGP Render Suite", 1},
    {50, "AEGP Render Suite", 2},
    {51, "AEGP Render Suite", 3},
    {52, "AEGP Render Suite", 5},
    {53, "AEGP Render Suite", 8},
    {54, "PF ANSI Suite", 1},
    {55, "PF Handle Suite", 2},
    {56, "PF Fill Matte Suite", 2},
    {57, "PF World Transform Suite", 1},
    {58, "AEGP QueryXform Suite", 4},
    {59, "AEGP Composite Suite", 4},
    {60, "PF World Suite", 1},
    {71, "AEGP IO In Suite", 5},
    {72, "AEGP IO Out Suite", 7},
    {75, "AEGP Render Queue Suite", 1},
    {76, "AEGP Render Queue Item Suite", 3},
    {77, "AEGP Output Module Suite", 4},
    {78, "AEGP File Import Manager Suite", 3},
    {79, "PF Sampling8 Suite", 1},
    {80, "PF Sampling16 Suite", 1},
    {81, "PF Iterate8 Suite", 1},
    {82, "PF iterate16 Suite", 1},
    {83, "PF iterateFloat Suite", 1},
    {84, "AEGP Collection Suite", 2},
    {85, "AEGP Text Document Suite", 1},
    {86, "AEGP Sound Data Suite", 1},
    {88, "AEGP Text Layer Suite", 1},
    {89, "AEGP Artisan Util Suite", 1},
    {90, "AEGP World Suite", 2},
    {91, "AEGP World Suite", 3},
    {92, "AEGP Render Options Suite", 1},
    {96, "AEGP Tracker Suite", 1},
    {97, "AEGP Tracker Utility Suite", 1},
    {98, "AE Plugin Helper Suite2", 2},
    {99, "AEGP Layer Suite", 11},
    {100, "AEGP Layer Suite", 12},
    {101, "AEGP Layer Suite", 13},
    {102, "AEGP Layer Suite", 14},
    {122, "PF AE Adv Item Suite", 1},
    {103, "AEGP Layer Suite", 5},
    {104, "AEGP Layer Mask Suite", 2},
    {105, "AEGP Layer Mask Suite", 6},
    {106, "AEGP Layer Mask Suite", 7},
    {108, "AEGP Comp Suite", 4},
    {109, "AEGP Collection Suite", 1},
    {111, "PF AE Adv App Suite", 1},
    {112, "AEGP Utility Suite", 3},
    {113, "AEGP Render Options Suite", 2},
    {93, "AEGP Layer Render Options Suite", 1},
    {94, "AEGP Layer Render Options Suite", 2},
    {95, "AEGP Render Asyc Manager Suite", 1},
    {114, "AEGP Proj Suite", 8},
    {115, "AEGP Proj Suite", 9},
    {116, "AEGP Footage Suite", 11},
    {117, "AEGP Render Queue Item Suite", 4},
    {118, "AEGP Utility Suite", 10},
    {74, "AEGP Persistent Data Suite", 4},
    {73, "AEGP Persistent Data Suite", 3},
    {119, "PF Color Settings Suite", 4},
    {120, "PF Color Settings Suite", 3},
    {121, "PF Color Settings Suite", 1},
    {124, "PF ColorParamSuite", 1},
    {125, "PF SamplingFloat Suite", 1},
    {126, "AEGP Utility Suite", 11},
    {127, "AEGP Utility Suite", 13},
    {128, "PF Effect Custom UI Suite", 1},
    {129, "PF Effect Custom UI Suite", 2},
    {130, "PF Effect Custom UI Overlay Theme Suite", 1},
    {131, "DRAWBOT Draw Suite", 1},
    {132, "DRAWBOT Supplier Suite", 1},
    {133, "DRAWBOT Surface Suite", 2},
    {134, "DRAWBOT Path Suite", 1},
    {135, "SP Suites Suite", 2},
};
constexpr std::size_t kReleaseOrderSize =
    sizeof(kReleaseOrder) / sizeof(kReleaseOrder[0]);
static_assert(kReleaseOrderSize == 132, "132 slots have a suite");

constexpr bool StringsEqual(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

// The row of a slot, found at compile time; a slot without a suite gives a
// row whose slot number differs from the one asked for.
constexpr SuiteSlot SlotRow(int slot) {
  for (const SuiteSlot& row : kReleaseOrder) {
    if (row.slot == slot) return row;
  }
  return SuiteSlot{0, "", 0};
}

}  // namespace velk
