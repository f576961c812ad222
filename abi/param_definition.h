// One parameter's definition and current value, as the host lays it out
// (176 bytes). A definition handed to addParam starts as 176 zero bytes; the
// parameter array hands the host's own definitions to every later command.
#pragma once

#include "abi/host_abi.h"
#include "abi/image_record.h"

namespace velk {

// paramType: selects the value union.
constexpr std::int32_t kParamTypeCheckbox = 4;
constexpr std::int32_t kParamTypePoint = 6;
constexpr std::int32_t kParamTypePopup = 7;
constexpr std::int32_t kParamTypeFloatSlider = 10;

// uiFlags, always written as a whole word.
constexpr std::int32_t kUiFlagsEnabled = 0;
constexpr std::int32_t kUiFlagsDisabled = 0x20;

// changeFlags: the parameter's value changed.
constexpr std::int32_t kChangeFlagValueChanged = 1;

struct PopupValue {
  std::int32_t value;  // current choice, numbered from 1
  std::int16_t choiceCount;
  std::int16_t defaultChoice;
  const char* choices;  // "first|second|...", NUL-terminated
};

struct SliderValue {  // a float slider
  double value;
  double phase;
  char valueDescription[32];
  float validMin;
  float validMax;
  float sliderMin;
  float sliderMax;
  float defaultValue;
  std::int16_t precision;
  std::int16_t displayFlags;
  std::uint32_t sliderFlags;
  float curveTolerance;
};

struct PointValue {  // coordinates are signed 16.16 fixed point
  std::int32_t xValue;
  std::int32_t yValue;
  std::uint8_t hostOwned[3];
  std::uint8_t restrictToBounds;
  std::int32_t xDefault;
  std::int32_t yDefault;
};

struct CheckboxValue {
  // The current state. The host writes 0 for off and a non-zero value for
  // on; the effect reads the lowest byte only (byte 56 of the definition),
  // so a value whose lowest byte is 0, such as 256, counts as off.
  std::int32_t value;
  std::uint8_t defaultValue;
  std::uint8_t hostOwned[3];
  const char* label;  // shown beside the box
};

struct ParamDefinition {
  union {
    std::int32_t id;           // in a definition handed to addParam
    std::int32_t changeFlags;  // in a definition of the parameter array
  };
  std::int32_t uiFlags;
  std::uint8_t hostOwned0[4];
  std::int32_t paramType;
  char name[32];
  std::uint32_t flags;
  std::uint8_t hostOwned1[4];
  union {
    PopupValue popup;
    SliderValue slider;
    PointValue point;
    CheckboxValue checkbox;
    ImageRecord image;  // the input layer, at index 0
    std::uint8_t valueBytes[120];
  };
};

// The parameter array: index 0 is the input layer, 1 to 9 the effect's own.
using ParamList = ParamDefinition**;

static_assert(sizeof(ParamDefinition) == 176, "ParamDefinition is 176 bytes");
VELK_ASSERT_FIELD(ParamDefinition, id, 0, 4);
VELK_ASSERT_FIELD(ParamDefinition, changeFlags, 0, 4);
VELK_ASSERT_FIELD(ParamDefinition, uiFlags, 4, 4);
VELK_ASSERT_FIELD(ParamDefinition, paramType, 12, 4);
VELK_ASSERT_FIELD(ParamDefinition, name, 16, 32);
VELK_ASSERT_FIELD(ParamDefinition, flags, 48, 4);
VELK_ASSERT_FIELD(ParamDefinition, popup, 56, sizeof(PopupValue));
VELK_ASSERT_FIELD(ParamDefinition, slider, 56, sizeof(SliderValue));
VELK_ASSERT_FIELD(ParamDefinition, point, 56, sizeof(PointValue));
VELK_ASSERT_FIELD(ParamDefinition, checkbox, 56, sizeof(CheckboxValue));
VELK_ASSERT_FIELD(ParamDefinition, image, 56, sizeof(ImageRecord));

// Value union fields, by their byte in the whole definition.
#define VELK_ASSERT_VALUE(Value, field, offset, width)           \
  static_assert(56 + offsetof(Value, field) == (offset),         \
                #Value "." #field " must lie at byte " #offset); \
  static_assert(sizeof(Value::field) == (width),                 \
                #Value "." #field " must be " #width " bytes wide")

VELK_ASSERT_VALUE(PopupValue, value, 56, 4);
VELK_ASSERT_VALUE(PopupValue, choiceCount, 60, 2);
VELK_ASSERT_VALUE(PopupValue, defaultChoice, 62, 2);
VELK_ASSERT_VALUE(PopupValue, choices, 64, 8);

VELK_ASSERT_VALUE(SliderValue, value, 56, 8);
VELK_ASSERT_VALUE(SliderValue, phase, 64, 8);
VELK_ASSERT_VALUE(SliderValue, valueDescription, 72, 32);
VELK_ASSERT_VALUE(SliderValue, validMin, 104, 4);
VELK_ASSERT_VALUE(SliderValue, validMax, 108, 4);
VELK_ASSERT_VALUE(SliderValue, sliderMin, 112, 4);
VELK_ASSERT_VALUE(SliderValue, sliderMax, 116, 4);
VELK_ASSERT_VALUE(SliderValue, defaultValue, 120, 4);
VELK_ASSERT_VALUE(SliderValue, precision, 124, 2);
VELK_ASSERT_VALUE(SliderValue, displayFlags, 126, 2);
VELK_ASSERT_VALUE(SliderValue, sliderFlags, 128, 4);
VELK_ASSERT_VALUE(SliderValue, curveTolerance, 132, 4);

VELK_ASSERT_VALUE(PointValue, xValue, 56, 4);
VELK_ASSERT_VALUE(PointValue, yValue, 60, 4);
VELK_ASSERT_VALUE(PointValue, restrictToBounds, 67, 1);
VELK_ASSERT_VALUE(PointValue, xDefault, 68, 4);
VELK_ASSERT_VALUE(PointValue, yDefault, 72, 4);

VELK_ASSERT_VALUE(CheckboxValue, value, 56, 4);
VELK_ASSERT_VALUE(CheckboxValue, defaultValue, 60, 1);
VELK_ASSERT_VALUE(CheckboxValue, label, 64, 8);

#undef VELK_ASSERT_VALUE

}  // namespace velk
