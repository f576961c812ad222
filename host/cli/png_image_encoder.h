// The image data of a PNG that is not interlaced, written: each row
// filtered, then the rows deflated into one zlib stream. Blocks of rows are
// filtered and deflated on several threads at once, each block ended by a
// sync flush so that the blocks join into one stream, whose checksum is
// combined from theirs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "host/cli/png_format.h"

namespace velk::host::png {

// Filters `row` (`size` bytes; `previous` is the row above, all zero above
// the first) with the filter type that gives the smallest sum of filtered
// bytes taken as signed, and writes the filter byte and the filtered row to
// `out` (size + 1 bytes).
void FilterRow(const std::uint8_t* row, const std::uint8_t* previous,
               std::size_t size, std::size_t distance, std::uint8_t* out);

// Writes row `y` of the picture (header.RowBytes(width) bytes) to `row`;
// called from several threads at once.
using RowSource = std::function<void(std::uint32_t y, std::uint8_t* row)>;
// Takes the next piece of the zlib stream; called by one thread at a time,
// pieces in stream order.
using StreamSink = std::function<void(const std::uint8_t* data, std::size_t)>;

// Encodes the rows of a picture of `header` (not interlaced) on up to
// `threads` threads, the calling one among them; fewer when the system
// gives no more, or when the rows are so long that their buffers would hold
// too much memory. Throws std::bad_alloc when memory runs short, and what
// `source` or `sink` throw.
void EncodeImageData(const Header& header, const RowSource& source,
                     const StreamSink& sink, int threads);

}  // namespace velk::host::png
