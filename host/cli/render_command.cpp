#include "host/cli/render_command.h"

#include <string>

#include "abi/command.h"
#include "host/cli/parameter_assignment.h"
#include "host/cli/picture_layer.h"
#include "host/cli/png_io.h"
#include "host/effect_module.h"
#include "host/host_image.h"
#include "host/stand_in_host.h"

namespace velk::host {

namespace {

// Takes the definitions that parameter setup handed to addParam into the
// parameter array behind the input layer, as a host does; returns how many.
int TakeDeclaredParameters(StandInHost& host) {
  const std::size_t count = host.added.size();
  if (count > static_cast<std::size_t>(kParamArraySize - 1)) {
    throw EffectError("the effect declared " + std::to_string(count) +
                      " parameters; this host holds " +
                      std::to_string(kParamArraySize - 1));
  }
  if (host.output.paramCount != static_cast<std::int32_t>(count) + 1) {
    throw EffectError("the effect declared " + std::to_string(count) +
                      " parameters but reported a parameter count of " +
                      std::to_string(host.output.paramCount) +
                      " (the input layer and its parameters)");
  }
  for (std::size_t i = 0; i < count; ++i) {
    host.params[i + 1] = host.added[i].copy;
  }
  return static_cast<int>(count);
}

void Run(StandInHost& host, std::int32_t selector, const char* command) {
  const ErrorCode result = host.Command(selector);
  if (result != kErrNone) {
    throw EffectError(std::string(command) + " failed: the effect returned " +
                      "error " + std::to_string(result));
  }
}

double FactorValue(DownsampleFactor factor) {
  return static_cast<double>(factor.numerator) / factor.denominator;
}

}  // namespace

RenderSummary RunRender(const RenderOptions& options) {
  const Picture picture = ReadPng(options.input);
  const EffectModule module(options.modulePath.empty()
                                ? EffectModule::DefaultPath()
                                : options.modulePath);
  StandInHost host(module);
  host.iterateThreads = options.threads;

  Run(host, kCmdGlobalSetup, "global setup");
  Run(host, kCmdParamsSetup, "parameter setup");
  const int declared = TakeDeclaredParameters(host);

  const double sx = FactorValue(options.downsampleX);
  const double sy = FactorValue(options.downsampleY);
  for (const ParamAssignment& assignment : options.assignments) {
    AssignParameter(host.paramArray + 1, declared, assignment, sx, sy);
  }

  // The layer keeps its full size in the input record; the images are the
  // downsampled ones that the render works on.
  const std::int32_t width =
      DownsampledSize(picture.width, options.downsampleX);
  const std::int32_t height =
      DownsampledSize(picture.height, options.downsampleY);
  LayOutImage(host.inputImage(), host.inputPixels, width, height, picture.deep);
  LayOutImage(host.outputImage, host.outputPixels, width, height, picture.deep);
  host.input.width = picture.width;
  host.input.height = picture.height;
  host.input.downsampleX = options.downsampleX;
  host.input.downsampleY = options.downsampleY;
  FillImage(picture, options.downsampleX, options.downsampleY,
            host.inputImage());

  Run(host, kCmdRender, "render");
  WritePng(options.output, PictureOf(host.outputImage));
  return {width, height, picture.deep};
}

}  // namespace velk::host
