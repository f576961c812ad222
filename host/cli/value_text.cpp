#include "host/cli/value_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace velk::host {

namespace {

// Skips the digits at `text[i]`; false when there are none.
bool SkipDigits(const std::string& text, std::size_t& i) {
  const std::size_t start = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  return i > start;
}

bool IsPlainDecimal(const std::string& text) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  if (!SkipDigits(text, i)) return false;
  if (i < text.size() && text[i] == '.') {
    ++i;
    if (!SkipDigits(text, i)) return false;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    if (!SkipDigits(text, i)) return false;
  }
  return i == text.size();
}

}  // namespace

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Number(double value) {
  char text[32];
  for (int digits = 6; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

NumberText ParseReal(const std::string& text, double low, double high,
                     double& value) {
  if (!IsPlainDecimal(text)) return NumberText::kNotANumber;
  // The text is plain decimal, so strtod reads all of it; an overflow reads
  // as an infinity, an underflow as a tiny real or zero.
  const double number = std::strtod(text.c_str(), nullptr) + 0.0;
  if (!(number >= low && number <= high)) return NumberText::kOutOfRange;
  value = number;
  return NumberText::kInRange;
}

NumberText ParseWhole(const std::string& text, std::int64_t low,
                      std::int64_t high, std::int64_t& value) {
  double number = 0;
  const NumberText result = ParseReal(text, static_cast<double>(low),
                                      static_cast<double>(high), number);
  // Out of range whether whole or not: "2.5" for 10 to 20 is out of range.
  if (result != NumberText::kInRange) return result;
  if (number != std::floor(number)) return NumberText::kNotWhole;
  value = static_cast<std::int64_t>(number);
  return result;
}

std::string Fault(NumberText result) {
  switch (result) {
    case NumberText::kNotANumber:
      return " (not a plain decimal number)";
    case NumberText::kNotWhole:
      return " (not a whole number)";
    default:
      return "";
  }
}

}  // namespace velk::host
