// The texts that the effect shows to the user, by string id. The table is
// constant data of the module: every text keeps its address and content for
// as long as the module is loaded, so a pointer to it may be handed to the
// host instead of a copy.
#pragma once

#include <cstdint>

namespace velk {

enum StringId : std::int32_t {
  kStrNone = 0,  // the empty text
  kStrName = 1,
  kStrDescription = 2,
  kStrTypeName = 3,
  kStrTypeChoices = 4,  // the popup's choices, separated by "|"
  kStrLeftName = 5,
  kStrRightName = 6,
  kStrTopName = 7,
  kStrBottomName = 8,
  kStrWidthName = 9,
  kStrHeightName = 10,
  kStrCenterName = 11,
  kStrInvertName = 12,
  kStrInvertLabel = 13,  // shown beside the checkbox
};

constexpr int kStringCount = 14;
constexpr int kStringTextSize = 256;

struct StringEntry {
  std::int32_t id;             // equal to the entry's position; never read
  char text[kStringTextSize];  // NUL-terminated, zero behind the NUL
};

extern const StringEntry kStringTable[kStringCount];

// The text of string id `id`, straight from the entry at that position. An
// id outside 0 to 13 gives the empty text rather than a read outside the
// table.
const char* GetStringPtr(std::int32_t id);

}  // namespace velk
