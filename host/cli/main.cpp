// velk-host: the stand-in host as a command-line program.
#include <iostream>
#include <string>
#include <vector>

#include "host/cli/host_cli.h"
#include "host/cli/signal_cleanup.h"

#if defined(_WIN32)
#include "host/wide_text.h"

// The arguments arrive in UTF-16 and go on in UTF-8, so that names outside
// the system's code page reach the files they name.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    arguments.push_back(velk::host::Utf8FromWide(argv[i]));
  }
  velk::host::RemoveTemporaryFilesOnSignals();
  return velk::host::RunCli(arguments, std::cout, std::cerr);
}
#else
#include <csignal>

int main(int argc, char** argv) {
  // A file size limit makes a write fail (EFBIG), which the command reports
  // and cleans up after, instead of ending the program halfway.
  std::signal(SIGXFSZ, SIG_IGN);
  velk::host::RemoveTemporaryFilesOnSignals();
  return velk::host::RunCli({argv + 1, argv + argc}, std::cout, std::cerr);
}
#endif
