// "PF ANSI Suite" version 1: the host's C-library string services.
#pragma once

#include "abi/error_code.h"
#include "abi/host_abi.h"

namespace velk {

constexpr const char* kAnsiSuiteName = "PF ANSI Suite";
constexpr std::int32_t kAnsiSuiteVersion = 1;

struct AnsiSuite {
  void* hostOwned[15];  // entries 0 to 14: not used by the effect
  // Entry 15. Formats into `dest`, NUL-terminated, with no length given:
  // %s takes a NUL-terminated text, %d a 32-bit signed integer. Callers do
  // not look at the result.
  ErrorCode (*formatPrint)(char* dest, const char* format, ...);
};
VELK_ASSERT_FIELD(AnsiSuite, formatPrint, 120, 8);

}  // namespace velk
