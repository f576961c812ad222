// A built effect module loaded at run time, and its two exports: a shared
// object on Linux, the real Velk.aex on Windows.
#pragma once

#include <string>

#include "abi/entry_points.h"

namespace velk::host {

class EffectModule {
 public:
  // Loads the module at `path` (relative: in the current folder); throws
  // std::runtime_error naming the path and the loader's reason in words
  // when it or one of its exports is missing.
  explicit EffectModule(const std::string& path);
  ~EffectModule();
  EffectModule(const EffectModule&) = delete;
  EffectModule& operator=(const EffectModule&) = delete;

  EffectMainFunc* effectMain() const { return effectMain_; }
  PluginDataEntryFunc* pluginDataEntry() const { return pluginDataEntry_; }

  // The path of the module this build of the host drives by default: the
  // VELK_MODULE environment variable when set, else the module built beside
  // the host (on Windows, in the program's own folder).
  static std::string DefaultPath();

 private:
  void* handle_ = nullptr;
  EffectMainFunc* effectMain_ = nullptr;
  PluginDataEntryFunc* pluginDataEntry_ = nullptr;
};

}  // namespace velk::host
