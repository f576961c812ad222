// The host contract as the tests state it, each value written once and on
// purpose apart from abi/ and effect/: a wrong constant there must make the
// tests fail, not agree with them. Tests take expected values from here,
// never from the code under test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velk::test {

// Command selectors and results.
constexpr std::int32_t kAbout = 0;
constexpr std::int32_t kGlobalSetup = 1;
constexpr std::int32_t kParamsSetup = 4;
constexpr std::int32_t kRender = 11;
constexpr std::int32_t kParamChanged = 13;
constexpr std::int32_t kUpdateUI = 14;
constexpr std::int32_t kOk = 0;
constexpr std::int32_t kMissingSuite = 516;

// The about text: the name, " v1.0", a lone carriage return, the description.
constexpr char kAboutText[] = "Velk v1.0\rsimple velk effect by ORVANE";

// The input record: the byte of each field that the host fills and the
// effect reads. The layer size is in pixels; a downsample factor is a
// signed 32-bit numerator over an unsigned 32-bit denominator. Entry 42 of
// the utility callbacks' table of 8-byte pointers copies a string.
constexpr std::size_t kInputAddParam = 16;
constexpr std::size_t kInputUtilityCallbacks = 176;
constexpr std::size_t kInputEffectRef = 184;
constexpr std::size_t kInputWidth = 252;
constexpr std::size_t kInputHeight = 256;
constexpr std::size_t kInputDownsampleXNumerator = 284;
constexpr std::size_t kInputDownsampleXDenominator = 288;
constexpr std::size_t kInputDownsampleYNumerator = 292;
constexpr std::size_t kInputDownsampleYDenominator = 296;
constexpr std::size_t kInputBasicSuite = 384;
constexpr std::size_t kCopyStringEntry = 42;

// Who the effect is, at registration and in the plug-in property list, and
// what global setup writes.
constexpr char kName[] = "Velk";
constexpr char kMatchName[] = "ADBE Velk";
constexpr char kCategory[] = "ORVANE";
constexpr char kEntryPoint[] = "EffectMain";
constexpr std::int32_t kKind = 0x65464B54;  // 'eFKT'
constexpr std::int32_t kInterfaceMajor = 13;
constexpr std::int32_t kInterfaceMinor = 25;
constexpr std::int32_t kReservedInfo = 8;
constexpr std::uint32_t kVersionWord = 0x80001;
constexpr std::uint32_t kGlobalFlags = 0x2000000;

// Parameter setup: the count it reports (the input layer and nine
// parameters), the parameter types, and the texts of the popup and checkbox.
constexpr std::int32_t kParamCountWithLayer = 10;
constexpr std::int32_t kCheckbox = 4;
constexpr std::int32_t kPoint = 6;
constexpr std::int32_t kPopup = 7;
constexpr std::int32_t kFloatSlider = 10;
constexpr char kTypeChoices[] = "Individual|Width Height";
constexpr char kInvertLabel[] = "Invert alpha";

// uiFlags of an enabled and a disabled control; changeFlags of a changed
// value.
constexpr std::int32_t kEnabled = 0;
constexpr std::int32_t kDisabled = 0x20;
constexpr std::int32_t kValueChanged = 1;

// The suites that the effect acquires.
struct Suite {
  const char* name;
  std::int32_t version;
};
constexpr Suite kAnsiSuite{"PF ANSI Suite", 1};
constexpr Suite kParamUtilsSuite{"PF Param Utils Suite", 3};
constexpr Suite kIterate8Suite{"PF Iterate8 Suite", 1};
constexpr Suite kIterate16Suite{"PF iterate16 Suite", 1};

// "NAME VERSION", and the lines that the tests' hosts log for a suite.
inline std::string KeyOf(const Suite& suite) {
  return suite.name + (" " + std::to_string(suite.version));
}
inline std::string Acquire(const Suite& s) { return "acquire " + KeyOf(s); }
inline std::string Release(const Suite& s) { return "release " + KeyOf(s); }

}  // namespace velk::test
