#include "host/cli/png_image_data.h"

#include <algorithm>
#include <new>

namespace velk::host::png {

namespace {

std::string Bytes(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

}  // namespace

namespace {

// Adds kFilter's prediction to each byte of a row; the first `distance`
// bytes have nothing to their left.
template <Filter kFilter>
void UndoFilter(std::uint8_t* row, const std::uint8_t* previous,
                std::size_t size, std::size_t distance) {
  const std::size_t first = std::min(distance, size);
  for (std::size_t i = 0; i < first; ++i) {
    row[i] += Prediction<kFilter>(0, previous[i], 0);
  }
  for (std::size_t i = first; i < size; ++i) {
    row[i] += Prediction<kFilter>(row[i - distance], previous[i],
                                  previous[i - distance]);
  }
}

}  // namespace

void Unfilter(Filter filter, std::uint8_t* row, const std::uint8_t* previous,
              std::size_t size, std::size_t distance) {
  switch (filter) {
    case kNone:
      return;
    case kSub:
      return UndoFilter<kSub>(row, previous, size, distance);
    case kUp:
      return UndoFilter<kUp>(row, previous, size, distance);
    case kAverage:
      return UndoFilter<kAverage>(row, previous, size, distance);
    case kPaeth:
      return UndoFilter<kPaeth>(row, previous, size, distance);
  }
}

RowDecoder::RowDecoder(const Header& header, RowSink sink)
    : header_(header),
      sink_(std::move(sink)),
      expected_(ImageDataBytes(header)),
      passes_(PassesOf(header.interlaced)),
      pass_(passes_.begin()) {
  // The widest pass row is the picture's: at most 8 bytes a pixel of a side
  // below 2^31, so it fits in memory's sizes.
  const auto widest = static_cast<std::size_t>(header.RowBytes(header.width));
  row_.resize(widest + 1);
  previous_.resize(widest + 1);
  if (inflateInit(&zlib_) != Z_OK) throw std::bad_alloc();
  StartPass();
}

RowDecoder::~RowDecoder() { inflateEnd(&zlib_); }

void RowDecoder::StartPass() {
  for (; pass_ != passes_.end(); ++pass_) {
    const std::uint32_t columns = pass_->Columns(header_);
    rows_ = pass_->Rows(header_);
    if (columns == 0 || rows_ == 0) continue;
    y_ = 0;
    rowBytes_ = static_cast<std::size_t>(header_.RowBytes(columns));
    std::fill(previous_.begin(), previous_.begin() + rowBytes_ + 1, 0);
    return;
  }
}

std::string RowDecoder::CompleteRow() {
  filled_ = 0;
  const std::uint8_t filter = row_[0];
  if (filter >= kFilterTypes) {
    return "unknown filter type " + std::to_string(filter) + " in row " +
           std::to_string(y_) +
           (header_.interlaced ? " of interlace pass " +
                                     std::to_string(pass_ - passes_.begin() + 1)
                               : std::string());
  }
  Unfilter(static_cast<Filter>(filter), row_.data() + 1, previous_.data() + 1,
           rowBytes_, header_.FilterDistance());
  std::string fault = sink_(*pass_, y_, row_.data() + 1);
  row_.swap(previous_);
  if (++y_ == rows_) {
    ++pass_;
    StartPass();
  }
  return fault;
}

std::string RowDecoder::Take(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return "";
  if (ended_) return "data after the end of the compressed image data";
  zlib_.next_in = const_cast<std::uint8_t*>(data);
  zlib_.avail_in = static_cast<uInt>(size);
  while (zlib_.avail_in > 0) {
    std::uint8_t beyond = 0;  // catches a byte past the last row
    const bool full = pass_ == passes_.end();
    zlib_.next_out = full ? &beyond : row_.data() + filled_;
    zlib_.avail_out = static_cast<uInt>(
        full ? 1 : std::min<std::size_t>(rowBytes_ + 1 - filled_, 1u << 30));
    const uInt inputBefore = zlib_.avail_in;
    const uInt outputBefore = zlib_.avail_out;
    const int result = inflate(&zlib_, Z_NO_FLUSH);
    const uInt written = outputBefore - zlib_.avail_out;
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (full && written > 0) {
      return "too much image data (more than " + Bytes(expected_) +
             " of filtered rows)";
    }
    produced_ += written;
    filled_ += written;
    if (!full && filled_ == rowBytes_ + 1) {
      std::string fault = CompleteRow();
      if (!fault.empty()) return fault;
    }
    if (result == Z_STREAM_END) {
      ended_ = true;
      return zlib_.avail_in > 0
                 ? "data after the end of the compressed image data"
                 : "";
    }
    if (result != Z_OK || (written == 0 && zlib_.avail_in == inputBefore)) {
      return std::string("corrupt compressed image data") +
             (result == Z_NEED_DICT  ? " (it asks for a preset dictionary)"
              : zlib_.msg != nullptr ? std::string(" (") + zlib_.msg + ")"
                                     : "");
    }
  }
  return "";
}

std::string RowDecoder::Finish() const {
  if (!ended_) {
    return "too little image data (the compressed stream ends early, after " +
           Bytes(produced_) + " of " + std::to_string(expected_) + ")";
  }
  if (produced_ < expected_) {
    return "too little image data (" + Bytes(produced_) + " of " +
           std::to_string(expected_) + ")";
  }
  return "";
}

}  // namespace velk::host::png
