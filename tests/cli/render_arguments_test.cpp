#include "host/cli/render_arguments.h"

#include <cstring>

#include "abi/param_definition.h"
#include "host/cli/parameter_assignment.h"
#include "tests/cli/cli_fixture.h"
#include "tests/host_contract.h"

namespace velk::test {
namespace {

using host::ParamAssignment;
using host::ParseDownsample;
using host::ParseRenderArguments;
using host::RenderOptions;
using host::UsageError;
using Args = std::vector<std::string>;

TEST(RenderArguments, OptionsInEitherFormAnywhereOnTheLine) {
  const RenderOptions options = ParseRenderArguments(
      {"--threads", "3", "in.png", "--module=/m/Velk.so", "out.png",
       "Type=Width Height", "--downsample=1/2,1/3", "Center=1,2", "Left="});
  EXPECT_EQ(options.input, "in.png");
  EXPECT_EQ(options.output, "out.png");
  EXPECT_EQ(options.modulePath, "/m/Velk.so");
  EXPECT_EQ(options.threads, 3);
  EXPECT_EQ(options.downsampleX.numerator, 1);
  EXPECT_EQ(options.downsampleX.denominator, 2u);
  EXPECT_EQ(options.downsampleY.numerator, 1);
  EXPECT_EQ(options.downsampleY.denominator, 3u);
  ASSERT_EQ(options.assignments.size(), 3u);
  EXPECT_EQ(options.assignments[0].name, "Type");
  EXPECT_EQ(options.assignments[0].value, "Width Height");
  EXPECT_EQ(options.assignments[1].value, "1,2");
  EXPECT_EQ(options.assignments[2].name, "Left");
  EXPECT_EQ(options.assignments[2].value, "");
}

TEST(RenderArguments, DefaultsAndFileNamesWithAnEqualsSign) {
  const RenderOptions options = ParseRenderArguments({"a=b.png", "c=d.png"});
  EXPECT_EQ(options.input, "a=b.png");
  EXPECT_EQ(options.output, "c=d.png");
  EXPECT_EQ(options.modulePath, "");
  EXPECT_EQ(options.threads, 1);
  EXPECT_EQ(options.downsampleX.numerator, 1);
  EXPECT_EQ(options.downsampleY.denominator, 1u);
  EXPECT_TRUE(options.assignments.empty());
}

// "--" ends the options: what follows is files and parameters, whatever
// it starts with. A lone "-" is a file (standard input or output) anywhere.
TEST(RenderArguments, DoubleDashEndsTheOptions) {
  const struct {
    Args arguments;
    const char* input;
    const char* output;
    std::size_t assignments;
  } cases[] = {
      {{"--", "-in.png", "--out.png"}, "-in.png", "--out.png", 0},
      {{"--threads=2", "--", "--threads", "-"}, "--threads", "-", 0},
      {{"-", "-"}, "-", "-", 0},
      {{"-", "--", "-", "--=1"}, "-", "-", 1},
      {{"in.png", "--", "--", "Left=1"}, "in.png", "--", 1},
  };
  for (const auto& [arguments, input, output, assignments] : cases) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    const RenderOptions options = ParseRenderArguments(arguments);
    EXPECT_EQ(options.input, input);
    EXPECT_EQ(options.output, output);
    EXPECT_EQ(options.assignments.size(), assignments);
  }
}

TEST(RenderArguments, BadLinesNameTheProblem) {
  const struct {
    Args arguments;
    const char* named;
  } cases[] = {
      {{}, "missing INPUT.png"},
      {{"in.png"}, "missing OUTPUT.png"},
      {{"--", "in.png"}, "missing OUTPUT.png"},
      {{"in.png", "--", "out.png", "--threads"},
       "expected NAME=VALUE, got \"--threads\""},
      {{"in.png", "out.png", "--bogus"}, "\"--bogus\""},
      {{"-x", "in.png", "out.png"}, "\"-x\""},
      {{"in.png", "out.png", "--threads"}, "--threads needs a value"},
      {{"in.png", "out.png", "--module="}, "--module needs a path"},
      {{"in.png", "out.png", "--threads", "0"}, "\"0\""},
      {{"in.png", "out.png", "--threads", "65"}, "\"65\""},
      {{"in.png", "out.png", "--threads", "2x"}, "\"2x\""},
      {{"in.png", "out.png", "--threads=-1"}, "\"-1\""},
      {{"in.png", "out.png", "--downsample", "half"}, "\"half\""},
      {{"in.png", "out.png", "Left"}, "NAME=VALUE, got \"Left\""},
      {{"in.png", "out.png", "=5"}, "NAME=VALUE, got \"=5\""},
      {{"in.png", "out.png", "Left=1", "Top=2", "Left=1"},
       "parameter \"Left\" given twice"},
      {{"--threads", "2", "in.png", "out.png", "--threads=2"},
       "option --threads given twice"},
      {{"in.png", "out.png", "--downsample=1/2", "--downsample", "1/2"},
       "option --downsample given twice"},
      {{"in.png", "out.png", "--threads", " 2"},
       "got \" 2\" (not a plain decimal number)"},
      {{"in.png", "out.png", "--threads", "+2"},
       "(not a plain decimal number)"},
      {{"in.png", "out.png", "--threads", "0x2"},
       "(not a plain decimal number)"},
      {{"in.png", "out.png", "--threads", "2.5"},
       "from 1 to 64, got \"2.5\" (not a whole number)"},
      {{"in.png", "out.png", "--threads", "1e9"}, "from 1 to 64, got \"1e9\""},
  };
  for (const auto& [arguments, named] : cases) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    try {
      ParseRenderArguments(arguments);
      ADD_FAILURE() << "no error";
    } catch (const UsageError& error) {
      EXPECT_NE(std::strstr(error.what(), named), nullptr) << error.what();
    }
  }
}

TEST(RenderArguments, DownsampleFactors) {
  const struct {
    const char* text;
    std::int32_t xNumerator;
    std::uint32_t xDenominator;
    std::int32_t yNumerator;
    std::uint32_t yDenominator;
  } good[] = {{"1", 1, 1, 1, 1},
              {"1/2", 1, 2, 1, 2},
              {"1.0/2e0", 1, 2, 1, 2},
              {"2/2", 2, 2, 2, 2},
              {"1/2,1/4", 1, 2, 1, 4},
              {"3/4,1", 3, 4, 1, 1},
              {"1/4294967295", 1, 4294967295u, 1, 4294967295u}};
  for (const auto& expected : good) {
    SCOPED_TRACE(expected.text);
    DownsampleFactor x{};
    DownsampleFactor y{};
    ParseDownsample(expected.text, x, y);
    EXPECT_EQ(x.numerator, expected.xNumerator);
    EXPECT_EQ(x.denominator, expected.xDenominator);
    EXPECT_EQ(y.numerator, expected.yNumerator);
    EXPECT_EQ(y.denominator, expected.yDenominator);
  }
  for (const char* bad :
       {"",        "0",     "2",    "0/2",  "3/2",         "1/0",
        "-1/2",    "1/-2",  "1/2,", ",1/2", "1/2,1/2,1/2", "1/4294967296",
        "1.5/2",   "a/b",   "1//2", "+1/2", " 1/2",        "1/ 2",
        "0x1/0x2", "1/inf", "nan/2"}) {
    SCOPED_TRACE(bad);
    DownsampleFactor x{};
    DownsampleFactor y{};
    EXPECT_THROW(ParseDownsample(bad, x, y), UsageError);
  }
}

// Definitions as a parameter setup declares them, in the host's array.
class AssignParameterTest : public testing::Test {
 protected:
  AssignParameterTest() {
    std::strcpy(definitions[0].name, "Type");
    definitions[0].paramType = kPopup;
    definitions[0].popup = {1, 2, 1, kTypeChoices};
    std::strcpy(definitions[1].name, "Left");
    definitions[1].paramType = kFloatSlider;
    definitions[1].slider.validMin = 0;
    definitions[1].slider.validMax = 50000;
    std::strcpy(definitions[2].name, "Center");
    definitions[2].paramType = kPoint;
    std::strcpy(definitions[3].name, "Invert");
    definitions[3].paramType = kCheckbox;
    definitions[3].checkbox.value = 0x100;
    for (int i = 0; i < 4; ++i) array[i] = &definitions[i];
  }

  void Assign(const std::string& name, const std::string& value,
              DownsampleFactor x = {1, 1}, DownsampleFactor y = {1, 1}) {
    host::AssignParameter(array, 4, {name, value}, x, y);
  }

  ParamDefinition definitions[4]{};
  ParamDefinition* array[4]{};
};

TEST_F(AssignParameterTest, PopupTakesANumberOrAChoiceText) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"2", 2},          {"1", 1},   {"Width Height", 2},
      {"Individual", 1}, {"2.0", 2}, {"1e0", 1}};
  for (const auto& [value, choice] : cases) {
    Assign("Type", value);
    EXPECT_EQ(definitions[0].popup.value, choice) << value;
  }
}

TEST_F(AssignParameterTest, SliderTakesARealWithinItsValidRange) {
  const std::pair<const char*, double> cases[] = {
      {"12.5", 12.5}, {"0", 0},         {"50000", 50000},   {"1e2", 100},
      {"1E+2", 100},  {"2.5e-1", 0.25}, {"1e-320", 1e-320}, {"-0", 0},
      {"1e-400", 0},  {"007", 7}};
  for (const auto& [value, number] : cases) {
    Assign("Left", value);
    EXPECT_EQ(definitions[1].slider.value, number) << value;
  }
}

TEST_F(AssignParameterTest, PointIsFixedSixteenSixteenScaledByTheFactors) {
  Assign("Center", "128,80");
  EXPECT_EQ(definitions[2].point.xValue, 128 * 65536);
  EXPECT_EQ(definitions[2].point.yValue, 80 * 65536);
  Assign("Center", "-0.5,320.25", {1, 1}, {1, 2});
  EXPECT_EQ(definitions[2].point.xValue, -32768);
  EXPECT_EQ(definitions[2].point.yValue, 160 * 65536 + 8192);
  // Rounded to the nearest 1/65536, not cut towards 0.
  Assign("Center", "-0.999999,0.4999999");
  EXPECT_EQ(definitions[2].point.xValue, -65536);
  EXPECT_EQ(definitions[2].point.yValue, 32768);
  Assign("Center", "128,81", {1, 2}, {1, 4});
  EXPECT_EQ(definitions[2].point.xValue, 64 * 65536);
  EXPECT_EQ(definitions[2].point.yValue, 20 * 65536 + 16384);
  // The ends of the range, which grows as the factor shrinks.
  Assign("Center", "-32768,32767");
  EXPECT_EQ(definitions[2].point.xValue, INT32_MIN);
  EXPECT_EQ(definitions[2].point.yValue, 32767 * 65536);
  Assign("Center", "65534,-98304", {1, 2}, {1, 3});
  EXPECT_EQ(definitions[2].point.xValue, 32767 * 65536);
  EXPECT_EQ(definitions[2].point.yValue, INT32_MIN);
}

TEST_F(AssignParameterTest, CheckboxIsSetAsAWholeWord) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"on", 1}, {"off", 0}, {"1", 1}, {"0", 0}, {"1.0", 1}};
  for (const auto& [value, state] : cases) {
    Assign("Invert", value);
    EXPECT_EQ(definitions[3].checkbox.value, state) << value;
  }
}

TEST_F(AssignParameterTest, BadNamesAndValuesAreRefusedAndChangeNothing) {
  const struct {
    const char* name;
    const char* value;
    const char* named;
    DownsampleFactor factorX = {1, 1};
    DownsampleFactor factorY = {1, 1};
  } cases[] = {
      {"Colour", "1", "unknown parameter \"Colour\""},
      {"type", "1", "unknown parameter \"type\""},
      {"Type", "3", "\"Width Height\", got \"3\""},
      {"Type", "0", "got \"0\""},
      {"Type", "individual", "got \"individual\""},
      {"Type", "", "got \"\""},
      {"Type", " 1", "got \" 1\""},
      {"Type", "+1", "got \"+1\""},
      {"Type", "0x1", "got \"0x1\""},
      {"Type", "1.5", "got \"1.5\""},
      {"Left", "ten",
       "\"Left\" takes a number from 0 to 50000, got \"ten\" (not a plain "
       "decimal number)"},
      {"Left", " 10", "got \" 10\" (not a plain decimal number)"},
      {"Left", "10 ", "got \"10 \" (not a plain decimal number)"},
      {"Left", "+10", "got \"+10\" (not a plain decimal number)"},
      {"Left", "0x10", "got \"0x10\" (not a plain decimal number)"},
      {"Left", ".5", "got \".5\" (not a plain decimal number)"},
      {"Left", "5.", "got \"5.\" (not a plain decimal number)"},
      {"Left", "1e", "got \"1e\" (not a plain decimal number)"},
      {"Left", "--1", "got \"--1\" (not a plain decimal number)"},
      {"Left", "1e400", "from 0 to 50000, got \"1e400\""},
      {"Left", "5px", "got \"5px\""},
      {"Left", "", "got \"\""},
      {"Left", "nan", "got \"nan\""},
      {"Left", "inf", "got \"inf\""},
      {"Left", "-1", "from 0 to 50000, got \"-1\""},
      {"Left", "50000.5", "got \"50000.5\""},
      {"Center", "5",
       "\"Center\" takes x,y in layer pixels, each from "
       "-32768 to 32767, got \"5\" (not x,y)"},
      {"Center", "5,", "got \"5,\" (not a plain decimal number)"},
      {"Center", "1,2,3", "got \"1,2,3\" (not a plain decimal number)"},
      {"Center", "1, 2", "got \"1, 2\" (not a plain decimal number)"},
      {"Center", "32768,0", "each from -32768 to 32767, got \"32768,0\""},
      {"Center", "0,-32769", "got \"0,-32769\""},
      {"Center",
       "65535,0",
       "each from -65536 to 65534 at this downsample factor, got",
       {1, 2},
       {1, 2}},
      {"Center",
       "0,98302",
       "x from -65536 to 65534 and y from -98304 to 98301 at this downsample "
       "factor, got \"0,98302\"",
       {1, 2},
       {1, 3}},
      {"Invert", "yes", "\"Invert\" takes on, off, 1 or 0, got \"yes\""},
      {"Invert", "2", "got \"2\""},
  };
  for (const auto& [name, value, named, factorX, factorY] : cases) {
    SCOPED_TRACE(testing::Message() << name << "=" << value);
    const auto before = std::vector<char>(
        reinterpret_cast<const char*>(definitions),
        reinterpret_cast<const char*>(definitions) + sizeof definitions);
    try {
      Assign(name, value, factorX, factorY);
      ADD_FAILURE() << "no error";
    } catch (const UsageError& error) {
      EXPECT_NE(std::strstr(error.what(), named), nullptr) << error.what();
    }
    EXPECT_EQ(std::memcmp(before.data(), definitions, sizeof definitions), 0);
  }
}

TEST_F(AssignParameterTest, UnknownNameListsTheDeclaredOnes) {
  try {
    Assign("Colour", "1");
    FAIL() << "no error";
  } catch (const UsageError& error) {
    EXPECT_NE(
        std::strstr(error.what(), "\"Type\", \"Left\", \"Center\", \"Invert\""),
        nullptr)
        << error.what();
  }
}

}  // namespace
}  // namespace velk::test
