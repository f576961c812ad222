// The host's basic suite: hands out every other callback suite by its exact
// name and a 32-bit version, and takes it back by the same pair.
#pragma once

#include "abi/error_code.h"
#include "abi/host_abi.h"

namespace velk {

struct BasicSuite {
  // Entry 0. Stores the suite's table of operations through `suite`. Only a
  // result of 0 together with a non-null table is success; anything else
  // means the suite is missing.
  ErrorCode (*acquireSuite)(const char* name, std::int32_t version,
                            const void** suite);
  // Entry 1. Hands back a suite with the name and version that acquired it.
  // Callers do not look at the result.
  ErrorCode (*releaseSuite)(const char* name, std::int32_t version);
};
VELK_ASSERT_FIELD(BasicSuite, acquireSuite, 0, 8);
VELK_ASSERT_FIELD(BasicSuite, releaseSuite, 8, 8);

}  // namespace velk
