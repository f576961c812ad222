// The stand-in host's command line, `velk-host`: the render command and its
// help. Kept apart from main() so that tests run it in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace velk::host {

// Exit statuses of the command line.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;    // a file, the module or the effect failed
constexpr int kExitBadUsage = 2;  // an option, parameter or value is wrong

// Runs the command line `arguments` (without the program name). Writes only
// what was asked for on `out` (the help), and says what it did, or any
// failure as one line, on `err`; returns the exit status.
int RunCli(const std::vector<std::string>& arguments, std::ostream& out,
           std::ostream& err);

}  // namespace velk::host
