// Temporary files that a signal ending the program removes first. On POSIX
// systems the signals are SIGINT, SIGTERM and SIGHUP: each then ends the
// program as it would have without the tool (a shell sees 128 + n). On
// Windows a console handler does the same for Ctrl+C (status 130), Ctrl+Break
// (131) and the console closing (129).
#pragma once

#include <string>

#if !defined(_WIN32)
#include <signal.h>
#endif

namespace velk::host {

// Called once by the program at its start: installs the handlers. A POSIX
// signal that was ignored then stays ignored. Without this call (the tests'
// own process) nothing is installed and registering changes nothing else.
void RemoveTemporaryFilesOnSignals();

// While one is alive, no handler runs: on POSIX systems the signals wait,
// blocked in this thread (a handler in another thread waits for it), so that
// creating a temporary file and registering it, or renaming it and
// forgetting it, is never cut in half.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
#if !defined(_WIN32)
  sigset_t previous_;
#endif
};

// Registers a temporary file for removal by a handler; returns its slot, or
// -1 when every slot is taken (the file is then not removed on a signal).
// Call with SignalsHeld alive.
#if defined(_WIN32)
int RegisterTemporaryFile(const std::wstring& path);
#else
// `name` (a plain name, shorter than 64 bytes) in the folder open as
// `folder`, which must stay open until the file is forgotten.
int RegisterTemporaryFile(int folder, const std::string& name);
#endif

// The file of `slot` is gone or in place: no handler touches it any more.
// Call with SignalsHeld alive; -1 is ignored.
void ForgetTemporaryFile(int slot);

}  // namespace velk::host
