#include "host/cli/signal_cleanup.h"

#include <atomic>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <time.h>
#include <unistd.h>
#endif

namespace velk::host {

namespace {

constexpr int kSlots = 8;

#if defined(_WIN32)

// Guards the slots; held by SignalsHeld and by the console handler, which
// runs in a thread of its own and never lets go of it.
SRWLOCK lock = SRWLOCK_INIT;
std::wstring slots[kSlots];  // empty: free

BOOL WINAPI OnConsoleEvent(DWORD event) {
  AcquireSRWLockExclusive(&lock);
  for (const std::wstring& path : slots) {
    // Opened with FILE_SHARE_DELETE: gone when the process's handle closes.
    if (!path.empty()) DeleteFileW(path.c_str());
  }
  const UINT status = event == CTRL_C_EVENT       ? 130
                      : event == CTRL_BREAK_EVENT ? 131
                                                  : 129;
  ExitProcess(status);
}

#else

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

struct Slot {
  std::atomic<bool> used{false};
  int folder = -1;
  char name[64] = {};
};
Slot slots[kSlots];

// Set while a thread holds its signals: a handler that runs in another
// thread waits until the file is registered or forgotten.
std::atomic<int> holders{0};

static_assert(std::atomic<bool>::is_always_lock_free &&
                  std::atomic<int>::is_always_lock_free,
              "the handler reads the slots without a lock");

// Only async-signal-safe calls from here on.
extern "C" void OnEndingSignal(int signal) {
  const timespec pause{0, 1'000'000};
  while (holders.load() > 0) nanosleep(&pause, nullptr);
  for (const Slot& slot : slots) {
    if (slot.used.load()) unlinkat(slot.folder, slot.name, 0);
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);        // ends the program as the signal does
  _exit(128 + signal);  // in case it did not
}

#endif

}  // namespace

#if defined(_WIN32)

void RemoveTemporaryFilesOnSignals() {
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

SignalsHeld::SignalsHeld() { AcquireSRWLockExclusive(&lock); }
SignalsHeld::~SignalsHeld() { ReleaseSRWLockExclusive(&lock); }

int RegisterTemporaryFile(const std::wstring& path) {
  for (int i = 0; i < kSlots; ++i) {
    if (slots[i].empty()) {
      slots[i] = path;
      return i;
    }
  }
  return -1;
}

void ForgetTemporaryFile(int slot) {
  if (slot >= 0) slots[slot].clear();
}

#else

void RemoveTemporaryFilesOnSignals() {
  for (const int signal : kEndingSignals) {
    struct sigaction action {};
    if (sigaction(signal, nullptr, &action) != 0 ||
        action.sa_handler == SIG_IGN) {
      continue;  // ignored by whoever started the program: stays so
    }
    action = {};
    action.sa_handler = &OnEndingSignal;
    sigemptyset(&action.sa_mask);
    for (const int other : kEndingSignals) sigaddset(&action.sa_mask, other);
    sigaction(signal, &action, nullptr);
  }
}

SignalsHeld::SignalsHeld() {
  sigset_t ending;
  sigemptyset(&ending);
  for (const int signal : kEndingSignals) sigaddset(&ending, signal);
  pthread_sigmask(SIG_BLOCK, &ending, &previous_);
  holders.fetch_add(1);
}

SignalsHeld::~SignalsHeld() {
  holders.fetch_sub(1);
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

int RegisterTemporaryFile(int folder, const std::string& name) {
  if (name.size() >= sizeof(Slot::name)) return -1;
  for (int i = 0; i < kSlots; ++i) {
    Slot& slot = slots[i];
    if (!slot.used.load()) {
      slot.folder = folder;
      std::memcpy(slot.name, name.c_str(), name.size() + 1);
      slot.used.store(true);
      return i;
    }
  }
  return -1;
}

void ForgetTemporaryFile(int slot) {
  if (slot >= 0) slots[slot].used.store(false);
}

#endif

}  // namespace velk::host
