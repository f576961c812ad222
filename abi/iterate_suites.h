// "PF Iterate8 Suite" version 1 and "PF iterate16 Suite" version 1: the host
// walks an image and calls a pixel function once per destination pixel.
#pragma once

#include "abi/error_code.h"
#include "abi/host_abi.h"
#include "abi/image_record.h"
#include "abi/pixel.h"

namespace velk {

struct InputRecord;

// Mind the case: the 16-bit suite's second word starts in lower case.
constexpr const char* kIterate8SuiteName = "PF Iterate8 Suite";
constexpr const char* kIterate16SuiteName = "PF iterate16 Suite";
constexpr std::int32_t kIterateSuiteVersion = 1;

// Called for one pixel: (reference value, x, y, source pixel, destination
// pixel). x and y are the pixel's column and row in the destination.
template <typename Pixel>
using PixelFunction = ErrorCode (*)(void* refcon, std::int32_t x,
                                    std::int32_t y, Pixel* in, Pixel* out);

// The host's iteration area; a null area stands for the whole destination.
struct IterateArea;

template <typename Pixel>
struct IterateSuite {
  // Entry 0. Calls `pixelFunction` for every pixel of `dest` with `refcon`,
  // the pixel's x and y, and the source and destination pixels at that
  // position, all before it returns; progress runs from `progressBase` to
  // `progressEnd`. Its result is the render's result.
  ErrorCode (*iterate)(InputRecord* input, std::int32_t progressBase,
                       std::int32_t progressEnd, ImageRecord* source,
                       const IterateArea* area, void* refcon,
                       PixelFunction<Pixel> pixelFunction, ImageRecord* dest);
};

using Iterate8Suite = IterateSuite<Pixel8>;
using Iterate16Suite = IterateSuite<Pixel16>;
VELK_ASSERT_FIELD(Iterate8Suite, iterate, 0, 8);
VELK_ASSERT_FIELD(Iterate16Suite, iterate, 0, 8);

}  // namespace velk
