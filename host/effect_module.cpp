#include "host/effect_module.h"

#include <cstdlib>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>

#include "host/wide_text.h"
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#ifndef VELK_DEFAULT_MODULE
#error "VELK_DEFAULT_MODULE must name the module that the host loads"
#endif

namespace velk::host {

namespace {

#if defined(_WIN32)
// The loader's reason in words.
std::string LoaderMessage(DWORD error) {
  if (error == ERROR_BAD_EXE_FORMAT) {
    return "the file is not a 64-bit Windows module";
  }
  return SystemMessage(error);
}

// A relative path is the file in the current folder: made absolute, it is
// never looked for beside the program or along the search path. The
// module's own imports are looked for beside it first.
void* Open(const std::string& path, std::string& why) {
  HMODULE module = LoadLibraryExW(FullPath(WideFromUtf8(path)).c_str(), nullptr,
                                  LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) why = LoaderMessage(GetLastError());
  return reinterpret_cast<void*>(module);
}
void* Find(void* handle, const char* name) {
  return reinterpret_cast<void*>(
      GetProcAddress(static_cast<HMODULE>(handle), name));
}
void Close(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
// A relative path is the file in the current folder: made absolute, it is
// never looked for along the library search path ("./" where the current
// folder has no name that fits a path).
std::string Absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char* folder = getcwd(nullptr, 0);
  if (folder == nullptr) return "./" + path;
  std::string absolute(folder);
  std::free(folder);
  if (absolute.back() != '/') absolute += '/';
  return absolute + path;
}

void* Open(const std::string& path, std::string& why) {
  void* handle = dlopen(Absolute(path).c_str(), RTLD_NOW | RTLD_LOCAL);
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
  // Beside the program: its own folder, not the loader's search order.
  std::wstring program = FilledText([](wchar_t* buffer, DWORD size) {
    return GetModuleFileNameW(nullptr, buffer, size);
  });
  if (program.empty()) return VELK_DEFAULT_MODULE;
  program.resize(program.find_last_of(L"\\/") + 1);
  return Utf8FromWide(program) + VELK_DEFAULT_MODULE;
#else
  const char* fromEnvironment = std::getenv("VELK_MODULE");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') {
    return fromEnvironment;
  }
#endif
  return VELK_DEFAULT_MODULE;
}

}  // namespace velk::host
