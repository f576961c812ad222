#include "effect/pixel_functions.h"

#include "effect/rect_info.h"

namespace velk {

namespace {

// The upper-bound test: x <= right (closed, mode 1) or x < right
// (half-open, mode 2); the same for y and bottom.
template <bool kClosed>
inline bool BeforeEnd(double position, double end) {
  return kClosed ? position <= end : position < end;
}

// The four tests in order, stopping at the first that fails. Positions are
// exact as reals for every 32-bit value, the edges keep their full value,
// and a comparison with a NaN edge is false. y is converted only once x has
// passed both of its tests.
template <bool kClosed>
inline bool IsInside(const RectInfo& rect, std::int32_t x, std::int32_t y) {
  const double px = x;
  if (!(px >= rect.left) || !BeforeEnd<kClosed>(px, rect.right)) return false;
  const double py = y;
  return py >= rect.top && BeforeEnd<kClosed>(py, rect.bottom);
}

// Inside and outside each end in their own branch on `invert`, so that the
// decision is never turned back into a flag and compared again.
template <typename Pixel>
inline void Apply(bool inside, bool inverted, const Pixel* in, Pixel* out) {
  if (inside) {
    if (!inverted) {
      *out = *in;
    } else {
      out->alpha = 0;
    }
  } else {
    if (!inverted) {
      out->alpha = 0;
    } else {
      *out = *in;
    }
  }
}

}  // namespace

// Runs once per pixel: each field of the record is read at most once, the
// helpers above are inlined into the two instantiations, and the branches
// follow the order of the tests, mode 1 before mode 2.
template <typename Pixel>
ErrorCode PixelFunc(void* refcon, std::int32_t x, std::int32_t y, Pixel* in,
                    Pixel* out) {
  const RectInfo& rect = *static_cast<const RectInfo*>(refcon);
  const std::int32_t mode = rect.mode;
  if (mode == kRectModeMargins) {
    const bool inside = IsInside<true>(rect, x, y);
    Apply(inside, rect.invert != 0, in, out);
  } else if (mode == kRectModeBox) {
    const bool inside = IsInside<false>(rect, x, y);
    Apply(inside, rect.invert != 0, in, out);
  }
  return kErrNone;
}

template ErrorCode PixelFunc<Pixel8>(void*, std::int32_t, std::int32_t, Pixel8*,
                                     Pixel8*);
template ErrorCode PixelFunc<Pixel16>(void*, std::int32_t, std::int32_t,
                                      Pixel16*, Pixel16*);

}  // namespace velk
