// The render command's command line: its options, the input and output
// files and the NAME=VALUE parameter assignments, parsed before anything is
// loaded or read.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "abi/input_record.h"

namespace velk::host {

// The command line asked for something that the host cannot do: an unknown
// option or parameter name, or a value that does not parse or is out of
// range. The message names the problem on one line.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One "NAME=VALUE" of the command line.
struct ParamAssignment {
  std::string name;
  std::string value;
};

constexpr int kMaxThreads = 64;

struct RenderOptions {
  std::string input;
  std::string output;
  std::string modulePath;  // empty: EffectModule::DefaultPath()
  DownsampleFactor downsampleX{1, 1};
  DownsampleFactor downsampleY{1, 1};
  int threads = 1;  // the host's iterate splits rows over this many threads
  std::vector<ParamAssignment> assignments;  // in command-line order
};

// Parses the arguments that follow "render":
//   [--module PATH] [--downsample F[,F]] [--threads N]
//   INPUT.png OUTPUT.png [NAME=VALUE ...]
// Options may also be written --option=value, anywhere on the line before a
// "--", after which every argument is a file or NAME=VALUE. "-" is standard
// input as INPUT.png and standard output as OUTPUT.png. Throws UsageError.
RenderOptions ParseRenderArguments(const std::vector<std::string>& arguments);

// "N/D" gives both axes, "NX/DX,NY/DY" each its own; a factor must lie in
// (0, 1]. A plain "1" stands for 1/1. Throws UsageError.
void ParseDownsample(const std::string& text, DownsampleFactor& x,
                     DownsampleFactor& y);

}  // namespace velk::host
