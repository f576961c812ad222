#include "host/cli/render_arguments.h"

#include <cstdint>
#include <limits>

#include "host/cli/value_text.h"

namespace velk::host {

namespace {

DownsampleFactor ParseFactor(const std::string& text, const std::string& all) {
  const std::size_t slash = text.find('/');
  std::int64_t numerator = 0;
  std::int64_t denominator = 1;
  const bool parsed =
      slash == std::string::npos
          ? ParseWhole(text, 1, 1, numerator) == NumberText::kInRange
          : ParseWhole(text.substr(0, slash), 1,
                       std::numeric_limits<std::int32_t>::max(),
                       numerator) == NumberText::kInRange &&
                ParseWhole(text.substr(slash + 1), 1,
                           std::numeric_limits<std::uint32_t>::max(),
                           denominator) == NumberText::kInRange;
  if (!parsed || numerator > denominator) {
    throw UsageError(
        "--downsample takes N/D or NX/DX,NY/DY with 0 < N <= D, "
        "got " +
        Quoted(all));
  }
  return {static_cast<std::int32_t>(numerator),
          static_cast<std::uint32_t>(denominator)};
}

// Throws when `name` is already among `seen`, and adds it.
void FirstTime(std::vector<std::string>& seen, const std::string& name,
               const std::string& what) {
  for (const std::string& earlier : seen) {
    if (earlier == name) throw UsageError(what + " given twice");
  }
  seen.push_back(name);
}

}  // namespace

void ParseDownsample(const std::string& text, DownsampleFactor& x,
                     DownsampleFactor& y) {
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos) {
    x = y = ParseFactor(text, text);
  } else {
    x = ParseFactor(text.substr(0, comma), text);
    y = ParseFactor(text.substr(comma + 1), text);
  }
}

RenderOptions ParseRenderArguments(const std::vector<std::string>& arguments) {
  RenderOptions options;
  std::vector<std::string> positional;
  std::vector<std::string> seen;  // options and parameter names given
  bool optionsEnded = false;      // by "--": all that follows is positional
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
      continue;
    }
    // A lone "-" is standard input or output.
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      positional.push_back(argument);
      continue;
    }
    const std::size_t equals = argument.find('=');
    const std::string option = argument.substr(0, equals);
    if (option != "--module" && option != "--downsample" &&
        option != "--threads") {
      throw UsageError("unknown option " + Quoted(option));
    }
    std::string value;
    if (equals != std::string::npos) {
      value = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      throw UsageError("option " + option + " needs a value");
    }
    FirstTime(seen, option, "option " + option);
    if (option == "--module") {
      if (value.empty()) throw UsageError("option --module needs a path");
      options.modulePath = value;
    } else if (option == "--downsample") {
      ParseDownsample(value, options.downsampleX, options.downsampleY);
    } else {
      std::int64_t threads = 0;
      const NumberText result = ParseWhole(value, 1, kMaxThreads, threads);
      if (result != NumberText::kInRange) {
        throw UsageError("--threads takes a whole number from 1 to " +
                         std::to_string(kMaxThreads) + ", got " +
                         Quoted(value) + Fault(result));
      }
      options.threads = static_cast<int>(threads);
    }
  }
  if (positional.size() < 2) {
    throw UsageError(positional.empty() ? "missing INPUT.png and OUTPUT.png"
                                        : "missing OUTPUT.png");
  }
  options.input = positional[0];
  options.output = positional[1];
  for (std::size_t i = 2; i < positional.size(); ++i) {
    const std::size_t equals = positional[i].find('=');
    if (equals == std::string::npos || equals == 0) {
      throw UsageError("expected NAME=VALUE, got " + Quoted(positional[i]));
    }
    const std::string name = positional[i].substr(0, equals);
    FirstTime(seen, name, "parameter " + Quoted(name));
    options.assignments.push_back({name, positional[i].substr(equals + 1)});
  }
  return options;
}

}  // namespace velk::host
