#include "host/cli/parameter_assignment.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "host/cli/value_text.h"
#include "host/stand_in_host.h"

namespace velk::host {

namespace {

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
                           const std::string& expected,
                           const std::string& fault = "") {
  throw UsageError("parameter " + Quoted(name) + " takes " + expected +
                   ", got " + Quoted(value) + fault);
}

void AssignPopup(ParamDefinition& definition, const std::string& name,
                 const std::string& value) {
  const std::vector<std::string> choices = ChoicesOf(definition);
  const int count = definition.popup.choiceCount;
  std::int64_t number = 0;
  if (ParseWhole(value, 1, count, number) == NumberText::kInRange) {
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
  double low = definition.slider.validMin;
  double high = definition.slider.validMax;
  // A range the effect left empty does not limit the value.
  const bool limited = low <= high;
  if (!limited) {
    low = -std::numeric_limits<double>::max();
    high = std::numeric_limits<double>::max();
  }
  double number = 0;
  const NumberText result = ParseReal(value, low, high, number);
  if (result != NumberText::kInRange) {
    BadValue(name, value,
             limited ? "a number from " + Number(low) + " to " + Number(high)
                     : std::string("a number"),
             Fault(result));
  }
  definition.slider.value = number;
}

// The range of a point coordinate in layer pixels whose 16.16 fixed-point
// value at `factor` fits in 32 bits: -32768 to 32767 pixels of the render.
struct CoordinateRange {
  double low;
  double high;
  explicit CoordinateRange(DownsampleFactor factor)
      : low(-32768.0 * factor.denominator / factor.numerator),
        high(32767.0 * factor.denominator / factor.numerator) {}
};

bool FullResolution(DownsampleFactor factor) {
  return static_cast<std::uint32_t>(factor.numerator) == factor.denominator;
}

std::string RangeText(const CoordinateRange& range) {
  return "from " + Number(range.low) + " to " + Number(range.high);
}

// A coordinate in layer pixels, within `range`, as 16.16 fixed point at
// `factor`.
bool ToFixed(const std::string& text, DownsampleFactor factor,
             const CoordinateRange& range, std::int32_t& fixed,
             NumberText& result) {
  double pixels = 0;
  result = ParseReal(text, range.low, range.high, pixels);
  if (result != NumberText::kInRange) return false;
  const double scale = static_cast<double>(factor.numerator) /
                       static_cast<double>(factor.denominator);
  const double scaled = std::round(pixels * scale * 65536.0);
  if (!(scaled >= std::numeric_limits<std::int32_t>::min() &&
        scaled <= std::numeric_limits<std::int32_t>::max())) {
    result = NumberText::kOutOfRange;
    return false;
  }
  fixed = static_cast<std::int32_t>(scaled);
  return true;
}

void AssignPoint(ParamDefinition& definition, const std::string& name,
                 const std::string& value, DownsampleFactor factorX,
                 DownsampleFactor factorY) {
  const CoordinateRange rangeX(factorX);
  const CoordinateRange rangeY(factorY);
  const std::string limits =
      rangeX.low == rangeY.low && rangeX.high == rangeY.high
          ? "each " + RangeText(rangeX)
          : "x " + RangeText(rangeX) + " and y " + RangeText(rangeY);
  const std::string expected =
      "x,y in layer pixels, " + limits +
      (FullResolution(factorX) && FullResolution(factorY)
           ? ""
           : " at this downsample factor");
  const std::size_t comma = value.find(',');
  if (comma == std::string::npos) BadValue(name, value, expected, " (not x,y)");
  std::int32_t fixedX = 0;
  std::int32_t fixedY = 0;
  NumberText result = NumberText::kInRange;
  if (!ToFixed(value.substr(0, comma), factorX, rangeX, fixedX, result) ||
      !ToFixed(value.substr(comma + 1), factorY, rangeY, fixedY, result)) {
    BadValue(name, value, expected, Fault(result));
  }
  definition.point.xValue = fixedX;
  definition.point.yValue = fixedY;
}

void AssignCheckbox(ParamDefinition& definition, const std::string& name,
                    const std::string& value) {
  std::int64_t number = 0;
  if (value == "on" || value == "off") {
    definition.checkbox.value = value == "on" ? 1 : 0;
  } else if (ParseWhole(value, 0, 1, number) == NumberText::kInRange) {
    definition.checkbox.value = static_cast<std::int32_t>(number);
  } else {
    BadValue(name, value, "on, off, 1 or 0");
  }
}

}  // namespace

void AssignParameter(ParamDefinition* const* declared, int count,
                     const ParamAssignment& assignment,
                     DownsampleFactor factorX, DownsampleFactor factorY) {
  std::string known;
  for (int i = 0; i < count; ++i) {
    ParamDefinition& definition = *declared[i];
    const std::string name(NameOf(definition));
    known += (i == 0 ? "" : ", ") + Quoted(name);
    if (name != assignment.name) continue;
    switch (definition.paramType) {
      case kParamTypePopup:
        return AssignPopup(definition, name, assignment.value);
      case kParamTypeFloatSlider:
        return AssignSlider(definition, name, assignment.value);
      case kParamTypePoint:
        return AssignPoint(definition, name, assignment.value, factorX,
                           factorY);
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

}  // namespace velk::host
