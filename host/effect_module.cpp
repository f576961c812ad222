#include "host/effect_module.h"

#include <cstdlib>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>

#include "host/wide_text.h"
#else
#include <dlfcn.h>
#endif

#ifndef VELK_DEFAULT_MODULE
#error "VELK_DEFAULT_MODULE must name the module that the host loads"
#endif

namespace velk::host {

namespace {

#if defined(_WIN32)
void* Open(const std::string& path, std::string& why) {
  HMODULE module = LoadLibraryW(WideFromUtf8(path).c_str());
  if (module == nullptr)
    why = "LoadLibrary error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(module);
}
void* Find(void* handle, const char* name) {
  return reinterpret_cast<void*>(
      GetProcAddress(static_cast<HMODULE>(handle), name));
}
void Close(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
void* Open(const std::string& path, std::string& why) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) why = dlerror();
  return handle;
}
void* Find(void* handle, const char* name) { return dlsym(handle, name); }
void Close(void* handle) { dlclose(handle); }
#endif

template <typename Function>
Function Export(void* handle, const char* name, const std::string& path) {
  void* symbol = Find(handle, name);
  if (symbol == nullptr) {
    throw std::runtime_error(path + ": no export named " + name);
  }
  return reinterpret_cast<Function>(symbol);
}

}  // namespace

EffectModule::EffectModule(const std::string& path) {
  std::string why;
  handle_ = Open(path, why);
  if (handle_ == nullptr) {
    throw std::runtime_error("cannot load " + path + ": " + why);
  }
  try {
    effectMain_ = Export<EffectMainFunc*>(handle_, kEffectMainExport, path);
    pluginDataEntry_ =
        Export<PluginDataEntryFunc*>(handle_, kPluginDataEntryExport, path);
  } catch (...) {
    Close(handle_);
    throw;
  }
}

EffectModule::~EffectModule() { Close(handle_); }

std::string EffectModule::DefaultPath() {
#if defined(_WIN32)
  const wchar_t* fromEnvironment = _wgetenv(L"VELK_MODULE");
  if (fromEnvironment != nullptr && *fromEnvironment != L'\0') {
    return Utf8FromWide(fromEnvironment);
  }
#else
  const char* fromEnvironment = std::getenv("VELK_MODULE");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') {
    return fromEnvironment;
  }
#endif
  return VELK_DEFAULT_MODULE;
}

}  // namespace velk::host
