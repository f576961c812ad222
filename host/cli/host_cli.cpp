#include "host/cli/host_cli.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

#include "host/cli/render_command.h"
#include "host/cli/safe_file.h"

namespace velk::host {

namespace {

constexpr const char* kHelp =
    R"(usage: velk-host render [options] [--] INPUT.png OUTPUT.png [NAME=VALUE ...]
       velk-host --help

Renders INPUT.png through the effect module as a host would: global setup,
parameter setup, the parameters set by NAME=VALUE, then one render of the
picture as the input layer. Writes the output image to OUTPUT.png as RGBA,
transparent where the effect cleared the alpha.

INPUT.png may be any PNG: grey, grey with alpha, palette, RGB or RGBA, at
any bit depth, interlaced or not. A damaged file is refused with what is
wrong with it. A PNG of 16 bits per channel renders at 16 bits, every other
at 8, and OUTPUT.png has the render's depth: 16 bits per channel, every bit
kept, or 8.

The largest picture it takes has 250000000 pixels (20000x12500, say). The
command holds the input layer and the output image and a few rows: about 8
bytes per pixel at 8 bits per channel and 16 at 16 bits (8.2 and 16.9
measured on pictures of 64 and 16 million pixels), 2 GB or 4 GB at the
largest size, less at a downsample factor. The PNG is deflated on one
thread a processor.

INPUT.png "-" reads standard input. OUTPUT.png "-" (or /dev/stdout) writes
to standard output as it is: appended with >>, after what came before in a
group. The line that says what was written goes to standard error. A device
or a pipe is written in place.

Any other OUTPUT.png is written whole or not at all, as careful editors
write: to a temporary file in its folder (mode 0600), synced, then renamed
over it. On any failure, or on SIGINT, SIGTERM or SIGHUP (Ctrl+C), an
existing file keeps its contents (INPUT.png too, when it is the same file)
and no temporary file is left. A replaced file keeps its mode, owner, ACL
and extended attributes; one that you may not write (as cp would refuse
it) is refused before the render. Symbolic links are followed to the file
they name (which may be new); other names of a hard-linked file keep the
old picture.

Parameters, by the names that the effect declares:
  Type=Individual | "Type=Width Height" | Type=1 | Type=2
  Left= Right= Top= Bottom=   margins in layer pixels ("Individual")
  Width= Height=              box size in layer pixels ("Width Height")
  Center=X,Y                  box centre in layer pixels ("Width Height"),
                              each from -32768 to 32767 (times D/N at
                              --downsample N/D)
  Invert=on | off | 1 | 0     clear the inside instead of the outside

Numbers are plain decimal: digits, with an optional '-', fraction and
exponent (12, -0.5, 2.5e3). Each parameter and option is given once.

Options (also as --option=VALUE):
  --module PATH         the effect module, relative to the current folder
                        (default: VELK_MODULE, else the module built beside
                        this program)
  --downsample N/D      render at N/D of the layer's resolution on both axes,
  --downsample NX/DX,NY/DY  or per axis (0 < N <= D); the output PNG has the
                        downsampled size
  --threads N           the host's pixel iteration uses N threads (1 to 64)
  -h, --help            this text
  --                    ends the options: a file may then start with '-'

Exit status: 0 done, 1 a file, the module or the effect failed, 2 a bad
option, parameter name or value, 128 + N ended by signal N.
)";

// One line, whatever the message holds.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

// Says what was written on `err`, which is for messages: OUTPUT.png may be
// standard output.
int Render(const std::vector<std::string>& arguments, std::ostream& err) {
  const RenderOptions options = ParseRenderArguments(arguments);
  const RenderSummary summary = RunRender(options);
  err << "wrote " << options.output << " (" << summary.width << "x"
      << summary.height << ", " << (summary.deep ? 16 : 8)
      << " bits per channel"
      << ")\n";
  return kExitOk;
}

}  // namespace

int RunCli(const std::vector<std::string>& arguments, std::ostream& out,
           std::ostream& err) {
  int status = kExitFailed;
  std::string problem;
  try {
    for (const std::string& argument : arguments) {
      if (argument == "--") break;  // files and parameters from here on
      if (argument == "--help" || argument == "-h") {
        errno = 0;
        if (!(out << kHelp).flush()) {
          throw FileError(std::string("cannot write to standard output: ") +
                          std::strerror(LastErrno()));
        }
        return kExitOk;
      }
    }
    if (arguments.empty()) throw UsageError("no command given (see --help)");
    if (arguments[0] != "render") {
      throw UsageError("unknown command \"" + arguments[0] + "\" (see --help)");
    }
    return Render({arguments.begin() + 1, arguments.end()}, err);
  } catch (const UsageError& error) {
    status = kExitBadUsage;
    problem = error.what();
  } catch (const std::bad_alloc&) {
    problem = "out of memory";
  } catch (const std::exception& error) {
    problem = error.what();
  }
  err << "velk-host: error: " << OneLine(problem) << "\n";
  return status;
}

}  // namespace velk::host
