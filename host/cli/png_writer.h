// A PNG writer over zlib, the mirror of the reader: the pixels of the
// output image row by row (RGBA, 8 or 16 bits per channel as rendered), the
// rows filtered and deflated on several threads, and the chunks. It holds a
// few rows and blocks of deflated data a thread, never the whole picture.
#pragma once

#include "abi/image_record.h"
#include "host/cli/safe_file.h"

namespace velk::host {

// Writes `image` (at least 1x1) to `file` as an RGBA PNG, 16 bits per
// channel when the image is deep, every bit kept, else 8; deflates on up to
// `threads` threads. Throws std::bad_alloc when memory runs short; the
// file's write errors are reported by its Commit().
void WritePng(OutputFile& file, const ImageRecord& image, int threads);

}  // namespace velk::host
