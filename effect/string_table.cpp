#include "effect/string_table.h"

namespace velk {

// Aggregate-initialised: the remaining characters of every text are zero.
const StringEntry kStringTable[kStringCount] = {
    {kStrNone, ""},
    {kStrName, "Velk"},
    {kStrDescription, "simple velk effect by ORVANE"},
    {kStrTypeName, "Type"},
    {kStrTypeChoices, "Individual|Width Height"},
    {kStrLeftName, "Left"},
    {kStrRightName, "Right"},
    {kStrTopName, "Top"},
    {kStrBottomName, "Bottom"},
    {kStrWidthName, "Width"},
    {kStrHeightName, "Height"},
    {kStrCenterName, "Center"},
    {kStrInvertName, "Invert"},
    {kStrInvertLabel, "Invert alpha"},
};

const char* GetStringPtr(std::int32_t id) {
  if (id < 0 || id >= kStringCount) return kStringTable[kStrNone].text;
  return kStringTable[id].text;
}

}  // namespace velk
