// Render (selector 11): the rectangle is decided once, here, and the host's
// iterate operation then applies it pixel by pixel.
#include "effect/handlers.h"
#include "effect/pixel_functions.h"
#include "effect/rect_info.h"
#include "suites/suite_handler.h"

namespace velk {

namespace {

// Indices in the host's parameter array, fixed by the order in which
// parameter setup adds the parameters.
constexpr int kInputLayerParam = 0;
constexpr int kTypeParam = 1;
constexpr int kLeftParam = 2;
constexpr int kRightParam = 3;
constexpr int kTopParam = 4;
constexpr int kBottomParam = 5;
constexpr int kWidthParam = 6;
constexpr int kHeightParam = 7;
constexpr int kCenterParam = 8;
constexpr int kInvertParam = 9;

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

double Slider(ParamList params, int index) {
  return params[index]->slider.value;
}

// The edges below are computed operation by operation in this order; any
// regrouping may change the last bit of an edge.

// Mode 1: margins measured inwards from the layer's edges, scaled.
void SetMarginEdges(RectInfo& rect, ParamList params, double layerWidth,
                    double layerHeight, double sx, double sy) {
  rect.left = Slider(params, kLeftParam) * sx;
  rect.right = (layerWidth - Slider(params, kRightParam)) * sx;
  rect.top = Slider(params, kTopParam) * sy;
  rect.bottom = (layerHeight - Slider(params, kBottomParam)) * sy;
}

// Mode 2: a scaled box around the unscaled centre. The integer halves of the
// layer size stand beside the real halves, which puts the box of an odd
// width or height half a factor further right or down.
void SetBoxEdges(RectInfo& rect, ParamList params, const InputRecord& input,
                 double sx, double sy) {
  const PointValue& center = params[kCenterParam]->point;
  const double cx = (static_cast<double>(center.xValue) / kFixedOne) / sx;
  const double cy = (static_cast<double>(center.yValue) / kFixedOne) / sy;
  const std::int32_t hw = input.width / 2;
  const std::int32_t hh = input.height / 2;
  const double layerWidth = input.width;
  const double layerHeight = input.height;

  rect.left =
      ((layerWidth - Slider(params, kWidthParam)) / 2.0) * sx + (cx - hw) * sx;
  rect.right = (layerWidth * sx - rect.left) + ((cx - hw) * 2.0) * sx;
  rect.top = ((layerHeight - Slider(params, kHeightParam)) / 2.0) * sy +
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

  rect.mode = params[kTypeParam]->popup.value;
  rect.invert = static_cast<std::int8_t>(
      static_cast<std::uint8_t>(params[kInvertParam]->checkbox.value));
  if (rect.mode == kRectModeMargins) {
    SetMarginEdges(rect, params, input->width, input->height, sx, sy);
  } else if (rect.mode == kRectModeBox) {
    SetBoxEdges(rect, params, *input, sx, sy);
  }

  ImageRecord* source = &params[kInputLayerParam]->image;
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
