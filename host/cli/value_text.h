// The texts of the command line's values: numbers parsed by one rule each,
// and values quoted back in messages.
#pragma once

#include <cstdint>
#include <string>

namespace velk::host {

// `text` in double quotes, as messages show what the user typed.
std::string Quoted(const std::string& text);

// A real as messages show it ("%g").
std::string Number(double value);

// The whole text as a finite real; false for anything else.
bool ParseReal(const std::string& text, double& value);

// The whole text as an unsigned decimal integer up to `max`.
bool ParseUnsigned(const std::string& text, std::uint64_t max,
                   std::uint64_t& value);

}  // namespace velk::host
