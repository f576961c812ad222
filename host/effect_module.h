// A built effect module loaded at run time, and its two exports: a shared
// object on Linux, the real Velk.aex on Windows.
#pragma once

#include <string>

#include "effect/error_code.h"
#include "effect/image_record.h"
#include "effect/input_record.h"
#include "effect/output_record.h"
#include "effect/param_definition.h"
#include "effect/registration.h"

namespace velk::host {

using EffectMainFunction = ErrorCode (*)(std::int32_t selector,
                                         InputRecord* input,
                                         OutputRecord* output, ParamList params,
                                         ImageRecord* outputImage, void* extra);

// Arguments past the callback belong to the host and are not read by the
// effect; the stand-in host passes nulls there.
using PluginDataEntryFunction = ErrorCode (*)(void* hostData,
                                              RegistrationCallback callback,
                                              const void* hostArg3,
                                              const void* hostArg4,
                                              const void* hostArg5);

class EffectModule {
 public:
  // Loads the module at `path`; throws std::runtime_error naming the path
  // and the loader's reason when it or one of its exports is missing.
  explicit EffectModule(const std::string& path);
  ~EffectModule();
  EffectModule(const EffectModule&) = delete;
  EffectModule& operator=(const EffectModule&) = delete;

  EffectMainFunction effectMain() const { return effectMain_; }
  PluginDataEntryFunction pluginDataEntry() const { return pluginDataEntry_; }

  // The path of the module this build of the host drives by default: the
  // VELK_MODULE environment variable when set, else the module built beside
  // the host.
  static std::string DefaultPath();

 private:
  void* handle_ = nullptr;
  EffectMainFunction effectMain_ = nullptr;
  PluginDataEntryFunction pluginDataEntry_ = nullptr;
};

}  // namespace velk::host
