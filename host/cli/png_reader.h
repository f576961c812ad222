// A strict PNG reader over zlib: every chunk's checksum, the chunk order and
// lengths, the header's values, the palette, the compressed stream and the
// filters are checked, and a damaged file is refused with a message that
// names the fault. Reads every colour type and bit depth, Adam7 interlace
// and tRNS transparency.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "host/cli/png_io.h"

namespace velk::host {

// Reads the PNG file open in `file` (named `path` in messages). Pictures of
// more than `maxPixels` (at most 2^40) are refused as soon as the header is
// read, before any pixel is decoded or stored. Throws FileError:
//   "cannot read PATH as PNG: FAULT" for a file that is not a valid PNG,
//   "cannot read PATH: ..." for a failed read or a picture too large.
Picture DecodePng(std::FILE* file, const std::string& path,
                  std::uint64_t maxPixels);

}  // namespace velk::host
