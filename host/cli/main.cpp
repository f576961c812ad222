// velk-host: the stand-in host as a command-line program.
#include <iostream>

#include "host/cli/host_cli.h"

int main(int argc, char** argv) {
  return velk::host::RunCli({argv + 1, argv + argc}, std::cout, std::cerr);
}
