// Helpers for the command-line tests that need more than the command run
// in-process: the program in a process of its own (to signal it, to run it
// as another user, to stop it inside a system call), standard output
// swapped for another descriptor, and the temporary files left in a folder.
#pragma once

#if !defined(_WIN32)
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace velk::test {

// The names in `folder` that start as the command's temporary files do.
inline std::vector<std::string> TemporaryFilesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(listing)) {
      const std::string name = entry->d_name;
      if (name.rfind(".velk-host-", 0) == 0) names.push_back(name);
    }
    closedir(listing);
  }
  return names;
}

// Descriptor 1 of this process is `descriptor` while this is alive.
class StandardOutputSwapped {
 public:
  explicit StandardOutputSwapped(int descriptor) {
    std::cout.flush();
    std::fflush(stdout);
    saved_ = dup(1);
    dup2(descriptor, 1);
  }
  ~StandardOutputSwapped() {
    dup2(saved_, 1);
    close(saved_);
  }
  StandardOutputSwapped(const StandardOutputSwapped&) = delete;
  StandardOutputSwapped& operator=(const StandardOutputSwapped&) = delete;

 private:
  int saved_ = -1;
};

// The user that the program runs as in the tests that need a user other
// than root: "nobody" (through setpriv) when the tests run as root, the
// tests' own user otherwise.
constexpr uid_t kNobody = 65534;
inline bool RunningAsRoot() { return geteuid() == 0; }
inline uid_t ProgramUser() { return RunningAsRoot() ? kNobody : geteuid(); }
inline gid_t ProgramGroup() { return RunningAsRoot() ? kNobody : getegid(); }

struct ProgramOptions {
  std::vector<std::string> environment;  // NAME=VALUE, added
  bool asProgramUser = false;            // as ProgramUser()
  int standardError = -1;                // a descriptor, else inherited
  std::size_t addressSpace = 0;          // its limit in bytes (prlimit --as)
};

// The command line that runs the rest as user nobody (as root only).
inline std::vector<std::string> AsNobody() {
  const std::string id = std::to_string(kNobody);
  return {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id,
          "--clear-groups", "--"};
}

// Starts `line` with `environment` (NAME=VALUE each) and standard error on
// `standardError` when it is not -1; returns its process id, or -1.
inline pid_t Spawn(std::vector<std::string> line,
                   std::vector<std::string> environment,
                   int standardError = -1) {
  std::vector<char*> argv;
  for (std::string& argument : line) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& variable : environment) envp.push_back(variable.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (standardError >= 0) {
    posix_spawn_file_actions_adddup2(&actions, standardError, 2);
  }
  pid_t process = -1;
  if (posix_spawn(&process, argv[0], &actions, nullptr, argv.data(),
                  envp.data()) != 0) {
    process = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  return process;
}

// This process's environment, after `added`.
inline std::vector<std::string> Environment(
    std::vector<std::string> added = {}) {
  for (char** variable = environ; *variable != nullptr; ++variable) {
    added.push_back(*variable);
  }
  return added;
}

// Starts velk-host with `arguments`; returns its process id, or -1.
inline pid_t StartProgram(const std::vector<std::string>& arguments,
                          const ProgramOptions& options = {}) {
  std::vector<std::string> line;
  if (options.asProgramUser && RunningAsRoot()) line = AsNobody();
  if (options.addressSpace > 0) {
    line.insert(line.end(),
                {"/usr/bin/prlimit",
                 "--as=" + std::to_string(options.addressSpace), "--"});
  }
  line.push_back(VELK_HOST_PROGRAM);
  line.insert(line.end(), arguments.begin(), arguments.end());
  return Spawn(line, Environment(options.environment), options.standardError);
}

// The wait status of `process` once it has ended.
inline int WaitForProgram(pid_t process) {
  int status = 0;
  while (waitpid(process, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

// Whether ProgramUser() passes /usr/bin/test with `conditions` (such as
// "-x", PATH): root's own folders may be closed to nobody.
inline bool ProgramUserPasses(const std::vector<std::string>& conditions) {
  if (!RunningAsRoot()) return true;
  std::vector<std::string> line = AsNobody();
  line.push_back("/usr/bin/test");
  line.insert(line.end(), conditions.begin(), conditions.end());
  const pid_t process = Spawn(line, Environment());
  if (process < 0) return false;
  const int status = WaitForProgram(process);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs velk-host to its end; returns the wait status.
inline int RunProgram(const std::vector<std::string>& arguments,
                      const ProgramOptions& options = {}) {
  const pid_t process = StartProgram(arguments, options);
  return process < 0 ? -1 : WaitForProgram(process);
}

// Whether `path` exists within `seconds`.
inline bool AppearsWithin(const std::string& path, int seconds) {
  const auto end =
      std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (access(path.c_str(), F_OK) != 0) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A fresh, empty folder at `path`, owned by `user` and `group`.
inline void FreshFolder(const std::string& path, uid_t user = geteuid(),
                        gid_t group = getegid()) {
  const std::string command = "rm -rf '" + path + "'";
  if (std::system(command.c_str()) != 0 || mkdir(path.c_str(), 0755) != 0 ||
      (user != geteuid() && chown(path.c_str(), user, group) != 0)) {
    ADD_FAILURE() << "cannot make the folder " << path;
  }
}

}  // namespace velk::test
#endif
