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

struct RenderSummary {
  std::int32_t width;  // of the output image
  std::int32_t height;
  bool deep;  // rendered at 16 bits per channel
};

// Runs the whole command. Throws UsageError, FileError (png_io.h),
// EffectError, ProtocolError (stand_in_host.h) when the effect declares its
// parameters inconsistently, or std::runtime_error when the module cannot be
// loaded.
RenderSummary RunRender(const RenderOptions& options);

}  // namespace velk::host
