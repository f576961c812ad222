#include "host/cli/render_command.h"

#include <algorithm>
#include <new>
#include <string>
#include <thread>

#include "abi/command.h"
#include "abi/pixel.h"
#include "host/cli/parameter_assignment.h"
#include "host/cli/png_reader.h"
#include "host/cli/png_writer.h"
#include "host/cli/safe_file.h"
#include "host/effect_module.h"
#include "host/stand_in_host.h"

namespace velk::host {

namespace {

void Run(StandInHost& host, std::int32_t selector, const char* command) {
  const ErrorCode result = host.Command(selector);
  if (result != kErrNone && host.ranOutOfMemory) throw std::bad_alloc();
  if (result != kErrNone) {
    throw EffectError(std::string(command) + " failed: the effect returned " +
                      "error " + std::to_string(result));
  }
}

// A host image row holds up to 8 bytes per pixel (Pixel16) in the int32
// rowBytes, and a picture's width is at most its pixel count.
static_assert(kMaxPixels * sizeof(Pixel16) <= 0x7FFFFFFF,
              "every row of a picture that the command reads fits rowBytes");

// Threads that deflate the output: one a processor.
int WriterThreads() {
  const unsigned processors = std::thread::hardware_concurrency();
  return processors == 0 ? 1 : static_cast<int>(std::min(processors, 64u));
}

}  // namespace

RenderSummary RunRender(const RenderOptions& options) {
  // The input's header first: a file that cannot be read is named before
  // anything else is loaded.
  const File input = OpenToRead(options.input);
  PngReader reader(input.get(), options.input, kMaxPixels);

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

  // Refused before the picture is read when OUTPUT.png cannot be written.
  OutputFile output(options.output);
  host.SetLayer(reader.width(), reader.height(), reader.deep(),
                options.downsampleX, options.downsampleY);
  reader.ReadInto(host.inputImage(), options.downsampleX, options.downsampleY);

  Run(host, kCmdRender, "render");
  WritePng(output, host.outputImage, WriterThreads());
  output.Commit();
  return {host.outputImage.width, host.outputImage.height, reader.deep(),
          host.iterateThreadsUsed};
}

}  // namespace velk::host
