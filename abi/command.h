// The host's command selectors that the effect serves. EffectMain answers
// every other selector with 0 and touches nothing.
#pragma once

#include <cstdint>

namespace velk {

enum Command : std::uint32_t {
  kCmdAbout = 0,
  kCmdGlobalSetup = 1,
  kCmdParamsSetup = 4,
  kCmdRender = 11,
  kCmdUserChangedParam = 13,
  kCmdUpdateParameterUI = 14,
};

}  // namespace velk
