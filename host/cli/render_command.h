// The stand-in host's render command: a PNG in, the effect's render of it
// out. The host loads the module, runs global setup and parameter setup,
// sets the parameters that the effect declared by their names, lays the
// picture out as the input layer and an output image of the same depth, at
// the downsample factors asked for, renders, and writes the output image.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "host/cli/render_arguments.h"

namespace velk::host {

// The effect answered a command with an error code.
class EffectError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The largest picture that the render command takes, in pixels. The host
// holds the input layer and the output image, 4 bytes a pixel each at 8 bits
// per channel and 8 at 16, besides a few rows: about 2 GB at this size, 4 GB
// at 16 bits. Every count derived from it fits the 32-bit sizes of host
// images (see render_command.cpp).
constexpr std::uint64_t kMaxPixels = 250'000'000;

struct RenderSummary {
  std::int32_t width;  // of the output image
  std::int32_t height;
  bool deep;           // rendered at 16 bits per channel
  int iterateThreads;  // that walked the render's pixels
};

// Runs the whole command. Throws UsageError, FileError (safe_file.h),
// EffectError, ProtocolError (stand_in_host.h) when the effect declares its
// parameters inconsistently, or std::runtime_error when the module cannot be
// loaded.
RenderSummary RunRender(const RenderOptions& options);

}  // namespace velk::host
