#include "host/cli/render_command.h"

#include <string>

#include "abi/command.h"
#include "abi/pixel.h"
#include "host/cli/parameter_assignment.h"
#include "host/cli/picture_layer.h"
#include "host/cli/png_io.h"
#include "host/effect_module.h"
#include "host/stand_in_host.h"

namespace velk::host {

namespace {

void Run(StandInHost& host, std::int32_t selector, const char* command) {
  const ErrorCode result = host.Command(selector);
  if (result != kErrNone) {
    throw EffectError(std::string(command) + " failed: the effect returned " +
                      "error " + std::to_string(result));
  }
}

// A host image row holds up to 8 bytes per pixel (Pixel16) in the int32
// rowBytes, and a picture's width is at most its pixel count.
static_assert(kMaxPixels * sizeof(Pixel16) <= 0x7FFFFFFF,
              "every row of a picture that the command reads fits rowBytes");

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

  for (const ParamAssignment& assignment : options.assignments) {
    AssignParameter(host.paramArray.data() + 1,
                    static_cast<int>(host.paramArray.size()) - 1, assignment,
                    options.downsampleX, options.downsampleY);
  }

  host.SetLayer(picture.width, picture.height, picture.deep,
                options.downsampleX, options.downsampleY);
  FillImage(picture, options.downsampleX, options.downsampleY,
            host.inputImage());

  Run(host, kCmdRender, "render");
  WritePng(options.output, PictureOf(host.outputImage));
  return {host.outputImage.width, host.outputImage.height, picture.deep};
}

}  // namespace velk::host
