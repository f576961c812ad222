// The host's per-call input record. The effect only reads it.
#pragma once

#include "abi/basic_suite.h"
#include "abi/error_code.h"
#include "abi/host_abi.h"
#include "abi/param_definition.h"
#include "abi/utility_callbacks.h"

namespace velk {

// Adds a parameter. With index -1 it takes the next index of the parameter
// array; on 0 the host has copied `definition`. Other results end parameter
// setup and are returned to the host.
using AddParamCallback = ErrorCode (*)(EffectRef effectRef, std::int32_t index,
                                       const ParamDefinition* definition);

// A downsample factor: numerator / denominator.
struct DownsampleFactor {
  std::int32_t numerator;
  std::uint32_t denominator;
};

struct InputRecord {
  std::uint8_t hostOwned0[16];
  AddParamCallback addParam;
  std::uint8_t hostOwned1[152];
  const UtilityCallbacks* utilityCallbacks;
  EffectRef effectRef;
  std::uint8_t hostOwned2[60];
  std::int32_t width;  // layer size in pixels
  std::int32_t height;
  std::uint8_t hostOwned3[24];
  DownsampleFactor downsampleX;
  DownsampleFactor downsampleY;
  std::uint8_t hostOwned4[84];
  const BasicSuite* basicSuite;
};
VELK_ASSERT_FIELD(InputRecord, addParam, 16, 8);
VELK_ASSERT_FIELD(InputRecord, utilityCallbacks, 176, 8);
VELK_ASSERT_FIELD(InputRecord, effectRef, 184, 8);
VELK_ASSERT_FIELD(InputRecord, width, 252, 4);
VELK_ASSERT_FIELD(InputRecord, height, 256, 4);
VELK_ASSERT_FIELD(InputRecord, downsampleX, 284, 8);
VELK_ASSERT_FIELD(InputRecord, downsampleY, 292, 8);
VELK_ASSERT_FIELD(InputRecord, basicSuite, 384, 8);
static_assert(offsetof(InputRecord, downsampleX) +
                      offsetof(DownsampleFactor, denominator) ==
                  288,
              "downsampleX denominator at byte 288");
static_assert(offsetof(InputRecord, downsampleY) +
                      offsetof(DownsampleFactor, denominator) ==
                  296,
              "downsampleY denominator at byte 296");

}  // namespace velk
