// What every call through the fuzzer must leave true. Each check aborts with
// a message on standard error at the first invariant that fails, which
// libFuzzer reports as a crash and keeps the input for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/stand_in_host.h"
#include "tests/fuzz/guarded_image.h"

namespace velk::fuzz {

[[noreturn]] void Fail(const char* what);

inline void Require(bool holds, const char* what) {
  if (!holds) Fail(what);
}

// Everything that a call may or may not change, taken just before it.
struct Before {
  InputRecord input;
  OutputRecord output;
  std::vector<ParamDefinition> params;
  std::vector<ParamDefinition*> paramArray;
  ImageRecord outputImage;
  ChangedParamExtra changed;
  std::vector<std::uint8_t> inputBytes;
  std::vector<std::uint8_t> outputBytes;
  std::size_t registrations;
};

// The host and the storage of its two images, as the checks see them.
struct Scene {
  host::StandInHost& host;
  const GuardedImage& inputImage;
  const GuardedImage& outputImage;
  bool deep;
};

Before TakeBefore(const Scene& scene);

// After EffectMain: suites, result, records, parameters and pixels.
void CheckCommand(const Scene& scene, std::int32_t selector,
                  const host::HostFaults& faults, ErrorCode result,
                  const Before& before);

// After PluginDataEntryFunction, handed `hostData` and a callback that
// answered `answer`.
void CheckRegistration(const Scene& scene, void* hostData, ErrorCode answer,
                       ErrorCode result, const Before& before);

}  // namespace velk::fuzz
