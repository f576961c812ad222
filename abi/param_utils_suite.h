// "PF Param Utils Suite" version 3: pushes a parameter's user-interface state
// back to the host.
#pragma once

#include "abi/error_code.h"
#include "abi/host_abi.h"
#include "abi/param_definition.h"

namespace velk {

constexpr const char* kParamUtilsSuiteName = "PF Param Utils Suite";
constexpr std::int32_t kParamUtilsSuiteVersion = 3;

struct ParamUtilsSuite {
  // Entry 0. Redraws the control of parameter `index` from `definition`,
  // uiFlags included. A non-zero result stops the caller's run of updates.
  ErrorCode (*updateParamUI)(EffectRef effectRef, std::int32_t index,
                             const ParamDefinition* definition);
};
VELK_ASSERT_FIELD(ParamUtilsSuite, updateParamUI, 0, 8);

}  // namespace velk
