// Render (selector 11): the rectangle is decided once, here, and the host's
// iterate operation then applies it pixel by pixel.
#include "effect/handlers.h"
#include "effect/param_index.h"
#include "effect/pixel_functions.h"
#include "effect/rect_info.h"
#include "suites/suite_handler.h"

namespace velk {

namespace {

constexpr double kFixedOne = 65536.0;  // 16.16 fixed point

// Signed numerator over unsigned denominator, each converted before the
// division; a zero denominator gives an infinite or NaN factor.
double Factor(const DownsampleFactor& factor) {
  return static_cast<double>(factor.numerator) /
         static_cast<double>(factor.denominator);
}

// extentBottom - extentTop, taken modulo 2^32: extreme extents wrap instead
// of overflowing a signed subtraction.
std::int32_t ProgressEnd(const ImageRecord& image) {
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(image.extentBottom) -
      static_cast<std::uint32_t>(image.extentTop));
}

double Slider(ParamList params, ParamIndex index) {
  return params[index]->slider.value;
}

// The edges below are computed operation by operation in this order; any
// regrouping may change the last bit of an edge.

// Mode 1: margins measured inwards from the layer's edges, scaled.
void SetMarginEdges(RectInfo& rect, ParamList params, double layerWidth,
                    double layerHeight, double sx, double sy) {
  rect.left = Slider(params, kParamLeft) * sx;
  rect.right = (layerWidth - Slider(params, kParamRight)) * sx;
  rect.top = Slider(params, kParamTop) * sy;
  rect.bottom = (layerHeight - Slider(params, kParamBottom)) * sy;
}

// Mode 2: a scaled box around the unscaled centre. The integer halves of the
// layer size stand beside the real halves, which puts the box of an odd
// width or height half a factor further right or down.
void SetBoxEdges(RectInfo& rect, ParamList params, const InputRecord& input,
                 double sx, double sy) {
  const PointValue& center = params[kParamCenter]->point;
  const double cx = (static_cast<double>(center.xValue) / kFixedOne) / sx;
  const double cy = (static_cast<double>(center.yValue) / kFixedOne) / sy;
  const std::int32_t hw = input.width / 2;
  const std::int32_t hh = input.height / 2;
  const double layerWidth = input.width;
  const double layerHeight = input.height;

  rect.left =
      ((layerWidth - Slider(params, kParamWidth)) / 2.0) * sx + (cx - hw) * sx;
  rect.right = (layerWidth * sx - rect.left) + ((cx - hw) * 2.0) * sx;
  rect.top = ((layerHeight - Slider(params, kParamHeight)) / 2.0) * sy +
             (cy - hh) * sy;
  rect.bottom = (layerHeight * sy - rect.top) + ((cy - hh) * 2.0) * sy;
}

}  // namespace

ErrorCode Render(InputRecord* input, OutputRecord* /*output*/, ParamList params,
                 ImageRecord* outputImage) {
  ErrorCode result = kErrNone;
  SuiteHandler suites(input->basicSuite);
  RectInfo rect{};

  const std::int32_t progressEnd = ProgressEnd(*outputImage);
  const double sx = Factor(input->downsampleX);
  const double sy = Factor(input->downsampleY);

  rect.mode = params[kParamType]->popup.value;
  rect.invert = static_cast<std::int8_t>(
      static_cast<std::uint8_t>(params[kParamInvert]->checkbox.value));
  if (rect.mode == kRectModeMargins) {
    SetMarginEdges(rect, params, input->width, input->height, sx, sy);
  } else if (rect.mode == kRectModeBox) {
    SetBoxEdges(rect, params, *input, sx, sy);
  }

  ImageRecord* source = &params[kParamInputLayer]->image;
  if ((outputImage->worldFlags & kWorldFlagDeep) == 0) {
    result = suites.Iterate8Suite1()->iterate(
        input, 0, progressEnd, source, nullptr, &rect, PixelFunc8, outputImage);
  } else {
    result = suites.Iterate16Suite1()->iterate(input, 0, progressEnd, source,
                                               nullptr, &rect, PixelFunc16,
                                               outputImage);
  }
  return result;
}

}  // namespace velk
