// The texts of the command line's values: every number parsed by one rule,
// and values quoted back in messages.
#pragma once

#include <cstdint>
#include <string>

namespace velk::host {

// `text` in double quotes, as messages show what the user typed.
std::string Quoted(const std::string& text);

// A real as messages show it: the shortest text that reads back as `value`.
std::string Number(double value);

// What a number on the command line turned out to be.
enum class NumberText {
  kInRange,     // a number from low to high
  kOutOfRange,  // a number, but below low, above high or too large for a real
  kNotWhole,    // a number with a fraction where a whole number is needed
  kNotANumber,  // not a plain decimal number
};

// The one rule for numbers: plain decimal, that is an optional '-', digits,
// an optional '.' with digits, an optional exponent ('e' or 'E', an optional
// sign, digits); no spaces, no '+' in front, no hexadecimal, no inf or nan.
// A number too small to tell from zero is a number (it reads as a tiny real
// or zero). Sets `value` only when the result is kInRange.
NumberText ParseReal(const std::string& text, double low, double high,
                     double& value);

// The same rule for a whole number from `low` to `high` ("2", "2.0", "2e0").
NumberText ParseWhole(const std::string& text, std::int64_t low,
                      std::int64_t high, std::int64_t& value);

// " (not a plain decimal number)" or " (not a whole number)" for a text that
// is one of these, to follow a message; empty for any other result.
std::string Fault(NumberText result);

}  // namespace velk::host
