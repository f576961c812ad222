// The extra record of the "user changed a parameter" command.
#pragma once

#include "abi/host_abi.h"

namespace velk {

struct ChangedParamExtra {
  std::int32_t changedIndex;  // index in the parameter array
};
VELK_ASSERT_FIELD(ChangedParamExtra, changedIndex, 0, 4);

}  // namespace velk
