// The module's command entry point, exported as "EffectMain" (ordinal 1).
#pragma once

#include "effect/error_code.h"
#include "effect/host_abi.h"
#include "effect/image_record.h"
#include "effect/input_record.h"
#include "effect/output_record.h"
#include "effect/param_definition.h"

// Dispatches one host command. Returns the handler's ErrorCode, 0 when the
// selector has no handler, or the value of an ErrorCode thrown while the
// handler ran. No exception of any kind leaves it.
VELK_EXPORT velk::ErrorCode EffectMain(
    std::int32_t selector, velk::InputRecord* input, velk::OutputRecord* output,
    velk::ParamList params, velk::ImageRecord* outputImage, void* extra);
