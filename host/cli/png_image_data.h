// The image data of a PNG, both ways: the zlib stream of filtered rows,
// pass by pass (one pass, or Adam7's seven), and the rows themselves. The
// reader inflates and unfilters one row at a time; the writer filters and
// deflates the rows of an image (png_image_encoder.h).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/cli/png_format.h"

namespace velk::host::png {

// Undoes `filter` on one row of `size` bytes; `previous` is the pass's
// row above, unfiltered (all zero above its first row).
void Unfilter(Filter filter, std::uint8_t* row, const std::uint8_t* previous,
              std::size_t size, std::size_t distance);

// Inflates the image data and hands on each row unfiltered, holding two rows.
class RowDecoder {
 public:
  // Takes row `y` (0 first) of `pass`, unfiltered: the pass's
  // header.RowBytes(columns) bytes. Answers "" or what is wrong with it.
  using RowSink = std::function<std::string(const Pass& pass, std::uint32_t y,
                                            const std::uint8_t* row)>;

  // Throws std::bad_alloc when zlib or the rows find no memory.
  RowDecoder(const Header& header, RowSink sink);
  ~RowDecoder();
  RowDecoder(const RowDecoder&) = delete;
  RowDecoder& operator=(const RowDecoder&) = delete;

  // Takes the next piece of the zlib stream; answers "" or the fault found
  // in it or in the rows that it completes. After a fault, nothing more may
  // be given (png::ChunkReader gives nothing more).
  std::string Take(const std::uint8_t* data, std::size_t size);

  // Answers "" once the stream has ended with every row, else the fault.
  std::string Finish() const;

 private:
  // Starts the first pass from pass_ on that has pixels, if any.
  void StartPass();
  std::string CompleteRow();

  const Header header_;
  const RowSink sink_;
  z_stream zlib_{};
  bool ended_ = false;  // the zlib stream has ended
  std::uint64_t expected_ = 0;
  std::uint64_t produced_ = 0;

  Passes passes_;
  const Pass* pass_;        // the pass being read, or passes_.end()
  std::uint32_t rows_ = 0;  // of the pass
  std::uint32_t y_ = 0;     // the pass row being read
  std::size_t rowBytes_ = 0;
  std::vector<std::uint8_t> row_;       // filter byte, then the row
  std::vector<std::uint8_t> previous_;  // the pass's row above, unfiltered
  std::size_t filled_ = 0;              // bytes of row_ inflated so far
};

}  // namespace velk::host::png
