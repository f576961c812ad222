#include "host/cli/parameter_assignment.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "host/cli/value_text.h"

namespace velk::host {

namespace {

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

}  // namespace

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

}  // namespace velk::host
