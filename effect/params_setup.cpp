#include <cstring>

#include "effect/handlers.h"
#include "effect/param_index.h"
#include "effect/string_table.h"

namespace velk {

namespace {

// addParam's index for "append behind the parameters already added".
constexpr std::int32_t kAppendParam = -1;

// Parameter flags: the popup carries 0x42, every other parameter 0x60.
constexpr std::uint32_t kParamFlagsPopup = 0x42;
constexpr std::uint32_t kParamFlagsOther = 0x60;

constexpr std::int16_t kTypeChoiceCount = 2;

struct SliderRow {
  ParamIndex index;
  StringId name;
  std::int32_t uiFlags;
  double value;  // also the default
};

// The margins start enabled at 0.0, below their slider's left end; the box
// starts disabled, as the default choice of the popup does not use it.
constexpr SliderRow kSliders[] = {
    {kParamLeft, kStrLeftName, kUiFlagsEnabled, 0.0},
    {kParamRight, kStrRightName, kUiFlagsEnabled, 0.0},
    {kParamTop, kStrTopName, kUiFlagsEnabled, 0.0},
    {kParamBottom, kStrBottomName, kUiFlagsEnabled, 0.0},
    {kParamWidth, kStrWidthName, kUiFlagsDisabled, 500.0},
    {kParamHeight, kStrHeightName, kUiFlagsDisabled, 500.0},
};
constexpr float kSliderValidMin = 0.0f;
constexpr float kSliderValidMax = 50000.0f;
constexpr float kSliderMin = 100.0f;
constexpr float kSliderMax = 1000.0f;
constexpr std::int16_t kSliderPrecision = 1;
constexpr std::int16_t kSliderDisplayFlags = 0;
constexpr std::uint32_t kSliderFlags = 0x1;
constexpr float kSliderCurveTolerance = 0.05f;

constexpr std::int32_t kCenterDefault = 50 << 16;  // 50.0 in 16.16

// Clears the working definition and fills what every parameter has: its
// user-interface state, flags, type and name (copied in by the host).
//
// Each definition is then written field by field as its parameter is
// declared, zero values included (uiFlags 0, validMin 0.0, displayFlags 0,
// restrictToBounds 0, the checkbox's 0): those writes repeat what clearing
// left and change no byte, and stay so that every declared value is
// visible where the parameter is declared.
void Begin(const InputRecord& input, ParamDefinition& definition,
           std::int32_t uiFlags, std::uint32_t flags, std::int32_t paramType,
           StringId name) {
  std::memset(&definition, 0, sizeof definition);
  definition.uiFlags = uiFlags;
  definition.flags = flags;
  definition.paramType = paramType;
  static_cast<void>(
      input.utilityCallbacks->copyString(definition.name, GetStringPtr(name)));
}

// Writes the id and offers the definition; the host has copied it when the
// call returns.
ErrorCode Add(const InputRecord& input, ParamDefinition& definition,
              ParamIndex index) {
  definition.id = index;
  return input.addParam(input.effectRef, kAppendParam, &definition);
}

}  // namespace

ErrorCode ParamsSetup(InputRecord* input, OutputRecord* output,
                      ParamList /*params*/, ImageRecord* /*outputImage*/) {
  // One working record for all nine, cleared before each.
  ParamDefinition definition;
  ErrorCode result = kErrNone;

  Begin(*input, definition, kUiFlagsEnabled, kParamFlagsPopup, kParamTypePopup,
        kStrTypeName);
  definition.popup.choiceCount = kTypeChoiceCount;
  definition.popup.defaultChoice = kTypeIndividual;
  definition.popup.value = definition.popup.defaultChoice;
  definition.popup.choices = GetStringPtr(kStrTypeChoices);
  result = Add(*input, definition, kParamType);
  if (result != kErrNone) return result;

  for (const SliderRow& row : kSliders) {
    Begin(*input, definition, row.uiFlags, kParamFlagsOther,
          kParamTypeFloatSlider, row.name);
    SliderValue& slider = definition.slider;
    slider.validMin = kSliderValidMin;
    slider.validMax = kSliderValidMax;
    slider.sliderMin = kSliderMin;
    slider.sliderMax = kSliderMax;
    slider.value = row.value;
    slider.defaultValue = static_cast<float>(slider.value);
    slider.precision = kSliderPrecision;
    slider.displayFlags = kSliderDisplayFlags;
    slider.sliderFlags |= kSliderFlags;
    slider.curveTolerance = kSliderCurveTolerance;
    result = Add(*input, definition, row.index);
    if (result != kErrNone) return result;
  }

  Begin(*input, definition, kUiFlagsDisabled, kParamFlagsOther, kParamTypePoint,
        kStrCenterName);
  definition.point.xDefault = kCenterDefault;
  definition.point.yDefault = kCenterDefault;
  definition.point.xValue = definition.point.xDefault;
  definition.point.yValue = definition.point.yDefault;
  definition.point.restrictToBounds = 0;
  result = Add(*input, definition, kParamCenter);
  if (result != kErrNone) return result;

  Begin(*input, definition, kUiFlagsEnabled, kParamFlagsOther,
        kParamTypeCheckbox, kStrInvertName);
  definition.checkbox.label = GetStringPtr(kStrInvertLabel);
  definition.checkbox.value = 0;
  definition.checkbox.defaultValue =
      static_cast<std::uint8_t>(definition.checkbox.value & 0xff);
  result = Add(*input, definition, kParamInvert);
  if (result != kErrNone) return result;

  output->paramCount = kParamCount;
  return kErrNone;
}

}  // namespace velk
