#include "effect/pixel_functions.h"

#include "effect/rect_info.h"

namespace velk {

template <typename Pixel>
ErrorCode PixelFunc(void* refcon, std::int32_t x, std::int32_t y, Pixel* in,
                    Pixel* out) {
  const RectInfo& rect = *static_cast<const RectInfo*>(refcon);
  const std::int32_t mode = rect.mode;
  if (mode != kRectModeMargins && mode != kRectModeBox) return kErrNone;
  const bool closed = mode == kRectModeMargins;

  // Exact for every 32-bit position; the edges keep their full value, and a
  // comparison with a NaN edge is false.
  const double px = x;
  const double py = y;
  const bool inside =
      px >= rect.left && (closed ? px <= rect.right : px < rect.right) &&
      py >= rect.top && (closed ? py <= rect.bottom : py < rect.bottom);

  if (inside != (rect.invert != 0)) {
    *out = *in;
  } else {
    out->alpha = 0;
  }
  return kErrNone;
}

template ErrorCode PixelFunc<Pixel8>(void*, std::int32_t, std::int32_t, Pixel8*,
                                     Pixel8*);
template ErrorCode PixelFunc<Pixel16>(void*, std::int32_t, std::int32_t,
                                      Pixel16*, Pixel16*);

}  // namespace velk
