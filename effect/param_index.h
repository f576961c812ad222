// Where each parameter lies in the parameter array. Parameter setup adds the
// effect's parameters in this order, so each one's index is also its id.
#pragma once

#include <cstdint>

namespace velk {

enum ParamIndex : std::int32_t {
  kParamInputLayer = 0,  // supplied by the host, never added by the effect
  kParamType = 1,        // popup: 1 four margins, 2 a box around a centre
  kParamLeft = 2,
  kParamRight = 3,
  kParamTop = 4,
  kParamBottom = 5,
  kParamWidth = 6,
  kParamHeight = 7,
  kParamCenter = 8,
  kParamInvert = 9,
};

// The choices of the "Type" popup, numbered from 1.
enum TypeChoice : std::int32_t {
  kTypeIndividual = 1,   // four margins measured inwards from the edges
  kTypeWidthHeight = 2,  // a box of a width and a height around a centre
};

// Parameters including the input layer.
constexpr std::int32_t kParamCount = 10;

}  // namespace velk
