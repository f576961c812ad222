// The host's table of utility callbacks, reached from the input record.
#pragma once

#include "abi/error_code.h"
#include "abi/host_abi.h"

namespace velk {

struct UtilityCallbacks {
  void* hostOwned[42];  // entries 0 to 41: not used by the effect
  // Entry 42. Copies the NUL-terminated `source`, NUL included, into `dest`.
  // Callers do not look at the result.
  ErrorCode (*copyString)(char* dest, const char* source);
};
VELK_ASSERT_FIELD(UtilityCallbacks, copyString, 336, 8);

}  // namespace velk
