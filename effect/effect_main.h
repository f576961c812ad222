// The module's command entry point, exported as "EffectMain" (ordinal 1).
#pragma once

#include "abi/entry_points.h"
#include "abi/host_abi.h"

// Dispatches one host command to its handler. Returns the handler's
// ErrorCode, 0 for a selector that has no handler, or the value of an
// ErrorCode thrown while the handler ran: only ErrorCode is caught, and
// nothing in the module throws anything else (the one thrower is
// SuiteHandler's missing-suite error, 516).
VELK_EXPORT velk::EffectMainFunc EffectMain;
