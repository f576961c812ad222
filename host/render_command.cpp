#include "host/render_command.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "abi/command.h"
#include "host/effect_module.h"
#include "host/host_image.h"
#include "host/picture_layer.h"
#include "host/png_io.h"
#include "host/stand_in_host.h"

namespace velk::host {

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// The whole text as a finite real; false for anything else.
bool ParseReal(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return *end == '\0' && errno == 0 && std::isfinite(value);
}

// The whole text as an unsigned decimal integer up to `max`.
bool ParseUnsigned(const std::string& text, std::uint64_t max,
                   std::uint64_t& value) {
  if (text.empty() || text.size() > 19) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value <= max;
}

DownsampleFactor ParseFactor(const std::string& text, const std::string& all) {
  const std::size_t slash = text.find('/');
  std::uint64_t numerator = 0;
  std::uint64_t denominator = 1;
  const bool parsed =
      slash == std::string::npos
          ? ParseUnsigned(text, 1, numerator)
          : ParseUnsigned(text.substr(0, slash),
                          std::numeric_limits<std::int32_t>::max(),
                          numerator) &&
                ParseUnsigned(text.substr(slash + 1),
                              std::numeric_limits<std::uint32_t>::max(),
                              denominator);
  if (!parsed || numerator == 0 || numerator > denominator) {
    throw UsageError(
        "--downsample takes N/D or NX/DX,NY/DY with 0 < N <= D, "
        "got " +
        Quoted(all));
  }
  return {static_cast<std::int32_t>(numerator),
          static_cast<std::uint32_t>(denominator)};
}

std::string NameOf(const ParamDefinition& definition) {
  return std::string(definition.name,
                     strnlen(definition.name, sizeof definition.name));
}

std::vector<std::string> ChoicesOf(const ParamDefinition& definition) {
  std::vector<std::string> choices;
  if (definition.popup.choices == nullptr) return choices;
  std::string all = definition.popup.choices;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = all.find('|', start);
    choices.push_back(all.substr(start, bar - start));
    if (bar == std::string::npos) return choices;
    start = bar + 1;
  }
}

[[noreturn]] void BadValue(const std::string& name, const std::string& value,
                           const std::string& expected) {
  throw UsageError("parameter " + Quoted(name) + " takes " + expected +
                   ", got " + Quoted(value));
}

void AssignPopup(ParamDefinition& definition, const std::string& name,
                 const std::string& value) {
  const std::vector<std::string> choices = ChoicesOf(definition);
  const int count = definition.popup.choiceCount;
  std::uint64_t number = 0;
  if (ParseUnsigned(value, static_cast<std::uint64_t>(std::max(count, 0)),
                    number) &&
      number >= 1) {
    definition.popup.value = static_cast<std::int32_t>(number);
    return;
  }
  std::string expected = "1 to " + std::to_string(count);
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (static_cast<int>(i) < count && choices[i] == value) {
      definition.popup.value = static_cast<std::int32_t>(i + 1);
      return;
    }
    expected += (i == 0 ? " or " : ", ") + Quoted(choices[i]);
  }
  BadValue(name, value, expected);
}

void AssignSlider(ParamDefinition& definition, const std::string& name,
                  const std::string& value) {
  double number = 0;
  if (!ParseReal(value, number)) BadValue(name, value, "a number");
  const double low = definition.slider.validMin;
  const double high = definition.slider.validMax;
  if (low <= high && (number < low || number > high)) {
    BadValue(name, value,
             "a number from " + Number(low) + " to " + Number(high));
  }
  definition.slider.value = number;
}

// A coordinate in pixels as 16.16 fixed point; false when out of range.
bool ToFixed(double pixels, std::int32_t& fixed) {
  const double scaled = std::round(pixels * 65536.0);
  if (!(scaled >= std::numeric_limits<std::int32_t>::min() &&
        scaled <= std::numeric_limits<std::int32_t>::max())) {
    return false;
  }
  fixed = static_cast<std::int32_t>(scaled);
  return true;
}

void AssignPoint(ParamDefinition& definition, const std::string& name,
                 const std::string& value, double sx, double sy) {
  const std::size_t comma = value.find(',');
  double x = 0;
  double y = 0;
  std::int32_t fixedX = 0;
  std::int32_t fixedY = 0;
  if (comma == std::string::npos || !ParseReal(value.substr(0, comma), x) ||
      !ParseReal(value.substr(comma + 1), y) || !ToFixed(x * sx, fixedX) ||
      !ToFixed(y * sy, fixedY)) {
    BadValue(name, value, "x,y in pixels (each below 32768 in size)");
  }
  definition.point.xValue = fixedX;
  definition.point.yValue = fixedY;
}

void AssignCheckbox(ParamDefinition& definition, const std::string& name,
                    const std::string& value) {
  if (value == "on" || value == "1") {
    definition.checkbox.value = 1;
  } else if (value == "off" || value == "0") {
    definition.checkbox.value = 0;
  } else {
    BadValue(name, value, "on, off, 1 or 0");
  }
}

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
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.size() < 2 || argument[0] != '-') {
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
    if (option == "--module") {
      if (value.empty()) throw UsageError("option --module needs a path");
      options.modulePath = value;
    } else if (option == "--downsample") {
      ParseDownsample(value, options.downsampleX, options.downsampleY);
    } else {
      std::uint64_t threads = 0;
      if (!ParseUnsigned(value, kMaxThreads, threads) || threads == 0) {
        throw UsageError("--threads takes a whole number from 1 to " +
                         std::to_string(kMaxThreads) + ", got " +
                         Quoted(value));
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
    options.assignments.push_back(
        {positional[i].substr(0, equals), positional[i].substr(equals + 1)});
  }
  return options;
}

void AssignParameter(ParamDefinition* const* declared, int count,
                     const ParamAssignment& assignment, double sx, double sy) {
  std::string known;
  for (int i = 0; i < count; ++i) {
    ParamDefinition& definition = *declared[i];
    const std::string name = NameOf(definition);
    known += (i == 0 ? "" : ", ") + Quoted(name);
    if (name != assignment.name) continue;
    switch (definition.paramType) {
      case kParamTypePopup:
        return AssignPopup(definition, name, assignment.value);
      case kParamTypeFloatSlider:
        return AssignSlider(definition, name, assignment.value);
      case kParamTypePoint:
        return AssignPoint(definition, name, assignment.value, sx, sy);
      case kParamTypeCheckbox:
        return AssignCheckbox(definition, name, assignment.value);
      default:
        throw UsageError("parameter " + Quoted(name) + " has type " +
                         std::to_string(definition.paramType) +
                         ", which this host cannot set");
    }
  }
  throw UsageError("unknown parameter " + Quoted(assignment.name) +
                   " (the effect declares " +
                   (known.empty() ? std::string("none") : known) + ")");
}

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
