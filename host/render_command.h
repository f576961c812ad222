// The stand-in host's render command: a PNG in, the effect's render of it
// out. The host loads the module, runs global setup and parameter setup,
// sets the parameters that the effect declared by their names, lays the
// picture out as the input layer and an output image of the same depth, at
// the downsample factors asked for, renders, and writes the output image.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "abi/input_record.h"
#include "abi/param_definition.h"

namespace velk::host {

// The command line asked for something that the host cannot do: an unknown
// option or parameter name, or a value that does not parse or is out of
// range. The message names the problem on one line.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The effect answered a command with an error code, or declared its
// parameters inconsistently.
class EffectError : public std::runtime_error {
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
// Options may also be written --option=value, anywhere on the line. Throws
// UsageError.
RenderOptions ParseRenderArguments(const std::vector<std::string>& arguments);

// "N/D" gives both axes, "NX/DX,NY/DY" each its own; a factor must lie in
// (0, 1]. A plain "1" stands for 1/1. Throws UsageError.
void ParseDownsample(const std::string& text, DownsampleFactor& x,
                     DownsampleFactor& y);

// Sets the value of the declared parameter named `assignment.name` among
// `declared[0 .. count-1]`, parsed by the parameter's type:
//   popup     a choice number from 1, or the choice's text
//   slider    a real within the slider's valid range
//   point     "x,y" in layer pixels; stored in 16.16 fixed point and scaled by
//             the downsample factors (sx, sy) as a host hands point values to
//             a render at that resolution
//   checkbox  on, off, 1 or 0
// Throws UsageError naming the parameter or the value.
void AssignParameter(ParamDefinition* const* declared, int count,
                     const ParamAssignment& assignment, double sx, double sy);

struct RenderSummary {
  std::int32_t width;  // of the output image
  std::int32_t height;
  bool deep;  // rendered at 16 bits per channel
};

// Runs the whole command. Throws UsageError, FileError (png_io.h),
// EffectError, or std::runtime_error when the module cannot be loaded.
RenderSummary RunRender(const RenderOptions& options);

}  // namespace velk::host
