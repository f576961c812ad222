// The host's error space: every handler and host operation answers with an
// ErrorCode, 0 meaning success.
#pragma once

#include <cstdint>

namespace velk {

using ErrorCode = std::int32_t;

constexpr ErrorCode kErrNone = 0;

// Thrown (as a plain ErrorCode) by SuiteHandler when the host's basic suite is
// missing or a suite cannot be acquired; EffectMain returns it to the host.
constexpr ErrorCode kErrMissingSuite = 516;

}  // namespace velk
