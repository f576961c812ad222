// The per-pixel decision of a render, called by the host's iterate operation
// once per output pixel with the render's RectInfo as reference value: the
// output pixel becomes a whole copy of the input pixel, or only its alpha is
// set to 0. The logic is written once, for both channel widths.
#pragma once

#include "abi/error_code.h"
#include "abi/iterate_suites.h"
#include "abi/pixel.h"

namespace velk {

// `refcon` points to a RectInfo, which is only read. Mode 1 keeps the closed
// rectangle [left, right] x [top, bottom], mode 2 the half-open one
// [left, right) x [top, bottom); a NaN edge keeps nothing; `invert` swaps
// inside and outside. Inside (outside when inverted) pixels are copied from
// `in`; the others get a single store of 0 into their alpha, and their other
// channels are not written. Any other mode writes nothing and reads nothing
// of `in`. Keeps no state, so calls may run concurrently. Always returns 0.
template <typename Pixel>
ErrorCode PixelFunc(void* refcon, std::int32_t x, std::int32_t y, Pixel* in,
                    Pixel* out);

extern template ErrorCode PixelFunc<Pixel8>(void*, std::int32_t, std::int32_t,
                                            Pixel8*, Pixel8*);
extern template ErrorCode PixelFunc<Pixel16>(void*, std::int32_t, std::int32_t,
                                             Pixel16*, Pixel16*);

// The pixel functions handed to "PF Iterate8 Suite" and "PF iterate16 Suite".
inline constexpr PixelFunction<Pixel8> PixelFunc8 = &PixelFunc<Pixel8>;
inline constexpr PixelFunction<Pixel16> PixelFunc16 = &PixelFunc<Pixel16>;

}  // namespace velk
