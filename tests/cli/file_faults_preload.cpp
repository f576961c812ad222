// A library that the tests preload into velk-host (LD_PRELOAD) to stop it,
// or make it fail, at a system call on its temporary file (one whose name
// holds ".velk-host-"). Test-only: the program itself has no such hook.
//
//   VELK_FAULT_HOLD=create|write  after the temporary file is made, or
//                        before the first write to it: make the file
//                        VELK_FAULT_MARKER, then wait until it is gone
//                        (10 s at most)
//   VELK_FAULT_RENAME=N  renaming the temporary file fails with errno N
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

int temporary = -1;  // the descriptor of the temporary file, once made

bool IsTemporary(const char* name) {
  return name != nullptr && std::strstr(name, ".velk-host-") != nullptr;
}

bool Holds(const char* point) {
  const char* hold = std::getenv("VELK_FAULT_HOLD");
  return hold != nullptr && std::strcmp(hold, point) == 0;
}

void Hold() {
  const char* marker = std::getenv("VELK_FAULT_MARKER");
  if (marker == nullptr) return;
  const int made = creat(marker, 0600);
  if (made >= 0) close(made);
  const timespec pause{0, 1'000'000};
  for (int waited = 0; waited < 10'000 && access(marker, F_OK) == 0; ++waited) {
    nanosleep(&pause, nullptr);
  }
}

template <typename Function>
Function* Next(const char* name) {
  return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

int OpenAt(const char* symbol, int folder, const char* name, int flags,
           mode_t mode) {
  using Function = int(int, const char*, int, ...);
  const int opened = Next<Function>(symbol)(folder, name, flags, mode);
  if (opened >= 0 && (flags & O_CREAT) != 0 && IsTemporary(name)) {
    temporary = opened;
    if (Holds("create")) Hold();
  }
  return opened;
}

}  // namespace

extern "C" {

int openat(int folder, const char* name, int flags, ...) {
  mode_t mode = 0;
  if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
    va_list arguments;
    va_start(arguments, flags);
    mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
  }
  return OpenAt("openat", folder, name, flags, mode);
}

int openat64(int folder, const char* name, int flags, ...) {
  mode_t mode = 0;
  if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
    va_list arguments;
    va_start(arguments, flags);
    mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
  }
  return OpenAt("openat64", folder, name, flags, mode);
}

ssize_t write(int file, const void* data, size_t size) {
  if (file >= 0 && file == temporary && Holds("write")) {
    temporary = -1;  // the first write only
    Hold();
  }
  return Next<ssize_t(int, const void*, size_t)>("write")(file, data, size);
}

int renameat(int from, const char* old_name, int to, const char* new_name) {
  const char* fault = std::getenv("VELK_FAULT_RENAME");
  if (fault != nullptr && IsTemporary(old_name)) {
    errno = std::atoi(fault);
    return -1;
  }
  return Next<int(int, const char*, int, const char*)>("renameat")(
      from, old_name, to, new_name);
}

}  // extern "C"
