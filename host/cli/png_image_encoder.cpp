#include "host/cli/png_image_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace velk::host::png {

namespace {

// zlib's level and strategy: see the README's performance section for what
// was measured.
constexpr int kLevel = 6;
constexpr int kStrategy = Z_DEFAULT_STRATEGY;
// Filtered bytes of one block of rows (at least one row), and what all the
// threads' buffers may hold together before fewer threads are used.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
constexpr std::size_t kThreadsMemory = std::size_t{64} << 20;

// A filtered byte's cost: its distance from 0 as a signed byte.
int Cost(int filtered) { return std::abs(static_cast<std::int8_t>(filtered)); }

// Filters a row with kFilter into `out`; the first `distance` bytes have
// nothing to their left.
template <Filter kFilter>
void ApplyFilter(const std::uint8_t* row, const std::uint8_t* previous,
                 std::size_t size, std::size_t distance, std::uint8_t* out) {
  const std::size_t first = std::min(distance, size);
  for (std::size_t i = 0; i < first; ++i) {
    out[i] = static_cast<std::uint8_t>(row[i] -
                                       Prediction<kFilter>(0, previous[i], 0));
  }
  for (std::size_t i = first; i < size; ++i) {
    out[i] = static_cast<std::uint8_t>(
        row[i] - Prediction<kFilter>(row[i - distance], previous[i],
                                     previous[i - distance]));
  }
}

// The zlib stream's two header bytes for kLevel: deflate with a 32 KB
// window, the level's class, and the check bits.
void StreamHeader(std::uint8_t header[2]) {
  const unsigned levelClass = kLevel < 2    ? 0
                              : kLevel < 6  ? 1
                              : kLevel == 6 ? 2
                                            : 3;
  const unsigned first = 0x78;
  unsigned second = levelClass << 6;
  second += 31 - (first * 256 + second) % 31;
  header[0] = static_cast<std::uint8_t>(first);
  header[1] = static_cast<std::uint8_t>(second);
}

// One thread's work: filters a block of rows and deflates it into a buffer
// of its own, kept until the block's turn to be written.
class BlockEncoder {
 public:
  // Holds from the start what a block of up to `blockBytes` filtered bytes
  // needs.
  BlockEncoder(const Header& header, const RowSource& source,
               std::size_t blockBytes)
      : header_(header),
        source_(source),
        rowBytes_(static_cast<std::size_t>(header.RowBytes(header.width))) {
    row_.resize(rowBytes_);
    previous_.resize(rowBytes_);
    filtered_.resize(rowBytes_ + 1);
    if (deflateInit2(&zlib_, kLevel, Z_DEFLATED, -15, 8, kStrategy) != Z_OK) {
      throw std::bad_alloc();
    }
    try {
      // The stream's header and trailer, and the sync flush's few bytes.
      out_.resize(deflateBound(&zlib_, static_cast<uLong>(blockBytes)) + 16);
    } catch (...) {
      deflateEnd(&zlib_);
      throw;
    }
  }
  ~BlockEncoder() { deflateEnd(&zlib_); }
  BlockEncoder(const BlockEncoder&) = delete;
  BlockEncoder& operator=(const BlockEncoder&) = delete;

  // Encodes rows [first, end); the last block of the picture ends the
  // deflate stream. Leaves the bytes in out() and their checksum in adler().
  void Encode(std::uint32_t first, std::uint32_t end) {
    if (deflateReset(&zlib_) != Z_OK) throw std::bad_alloc();
    size_ = 0;
    adler_ = adler32(0, nullptr, 0);
    if (first == 0) {
      std::uint8_t streamHeader[2];
      StreamHeader(streamHeader);
      Append(streamHeader, sizeof streamHeader);
      std::fill(previous_.begin(), previous_.end(), 0);
    } else {
      source_(first - 1, previous_.data());
    }
    for (std::uint32_t y = first; y < end; ++y) {
      source_(y, row_.data());
      FilterRow(row_.data(), previous_.data(), rowBytes_,
                header_.FilterDistance(), filtered_.data());
      adler_ = adler32_z(adler_, filtered_.data(), filtered_.size());
      const bool last = y + 1 == header_.height;
      Deflate(filtered_.data(), filtered_.size(),
              y + 1 < end ? Z_NO_FLUSH
              : last      ? Z_FINISH
                          : Z_SYNC_FLUSH);
      row_.swap(previous_);
    }
  }

  // Adds bytes after the deflated ones.
  void Append(const std::uint8_t* data, std::size_t size) {
    Reserve(size);
    std::copy(data, data + size, out_.data() + size_);
    size_ += size;
  }

  const std::uint8_t* out() const { return out_.data(); }
  std::size_t size() const { return size_; }
  std::uint32_t adler() const { return static_cast<std::uint32_t>(adler_); }

 private:
  // Makes room for at least `size` more bytes in out_.
  void Reserve(std::size_t size) {
    if (out_.size() - size_ < size) {
      out_.resize(std::max(out_.size() * 2,
                           size_ + std::max<std::size_t>(size, 1 << 16)));
    }
  }

  // Deflates one filtered row: less than 2^31 bytes, as the host image's
  // rowBytes is an int32.
  void Deflate(const std::uint8_t* data, std::size_t size, int flush) {
    zlib_.next_in = const_cast<std::uint8_t*>(data);
    zlib_.avail_in = static_cast<uInt>(size);
    do {
      Reserve(64);
      zlib_.next_out = out_.data() + size_;
      zlib_.avail_out = static_cast<uInt>(
          std::min<std::size_t>(out_.size() - size_, 1u << 30));
      const uInt before = zlib_.avail_out;
      if (deflate(&zlib_, flush) == Z_STREAM_ERROR) {
        throw std::logic_error("deflate refused its own stream");
      }
      size_ += before - zlib_.avail_out;
    } while (zlib_.avail_out == 0 || (flush == Z_FINISH && zlib_.avail_in > 0));
  }

  const Header& header_;
  const RowSource& source_;
  const std::size_t rowBytes_;
  std::vector<std::uint8_t> row_;
  std::vector<std::uint8_t> previous_;
  std::vector<std::uint8_t> filtered_;
  std::vector<std::uint8_t> out_;
  std::size_t size_ = 0;
  uLong adler_ = 0;
  z_stream zlib_{};
};

// What the threads share: the next block to encode, the next to write, the
// stream's checksum so far, and the first failure.
struct Shared {
  std::atomic<std::uint32_t> nextBlock{0};
  std::mutex mutex;
  std::condition_variable turn;
  std::uint32_t nextToWrite = 0;
  uLong adler = 1;
  std::exception_ptr failure;  // ends the other threads' work
};

}  // namespace

void FilterRow(const std::uint8_t* row, const std::uint8_t* previous,
               std::size_t size, std::size_t distance, std::uint8_t* out) {
  // The sum of each filter's costs, in one pass without branches.
  std::uint64_t sums[kFilterTypes] = {};
  const auto add = [&sums](int value, int left, int up, int upLeft) {
    sums[kNone] += Cost(value);
    sums[kSub] += Cost(value - Prediction<kSub>(left, up, upLeft));
    sums[kUp] += Cost(value - Prediction<kUp>(left, up, upLeft));
    sums[kAverage] += Cost(value - Prediction<kAverage>(left, up, upLeft));
    sums[kPaeth] += Cost(value - Prediction<kPaeth>(left, up, upLeft));
  };
  const std::size_t first = std::min(distance, size);
  for (std::size_t i = 0; i < first; ++i) add(row[i], 0, previous[i], 0);
  for (std::size_t i = first; i < size; ++i) {
    add(row[i], row[i - distance], previous[i], previous[i - distance]);
  }
  const auto filter =
      static_cast<Filter>(std::min_element(sums, sums + kFilterTypes) - sums);
  out[0] = filter;
  switch (filter) {
    case kNone:
      std::copy(row, row + size, out + 1);
      return;
    case kSub:
      return ApplyFilter<kSub>(row, previous, size, distance, out + 1);
    case kUp:
      return ApplyFilter<kUp>(row, previous, size, distance, out + 1);
    case kAverage:
      return ApplyFilter<kAverage>(row, previous, size, distance, out + 1);
    case kPaeth:
      return ApplyFilter<kPaeth>(row, previous, size, distance, out + 1);
  }
}

void EncodeImageData(const Header& header, const RowSource& source,
                     const StreamSink& sink, int threads) {
  const std::size_t rowBytes =
      static_cast<std::size_t>(header.RowBytes(header.width)) + 1;
  const std::uint32_t rowsPerBlock = static_cast<std::uint32_t>(
      std::clamp<std::size_t>(kBlockBytes / rowBytes, 1, header.height));
  const std::uint32_t blocks =
      (header.height + rowsPerBlock - 1) / rowsPerBlock;
  // Three rows and about the block's deflated bytes a thread.
  const std::size_t threadBytes = 3 * rowBytes + rowsPerBlock * rowBytes;
  const int useful = static_cast<int>(std::clamp<std::size_t>(
      kThreadsMemory / threadBytes, 1,
      std::min<std::size_t>(blocks, static_cast<std::size_t>(threads))));

  Shared shared;
  // A thread that finds no memory for its buffers leaves the work to the
  // others; any other failure ends the encoding.
  const auto work = [&]() {
    std::optional<BlockEncoder> encoder;
    try {
      encoder.emplace(header, source, rowsPerBlock * rowBytes);
    } catch (const std::bad_alloc&) {
      return;
    }
    try {
      for (;;) {
        const std::uint32_t block = shared.nextBlock++;
        if (block >= blocks) return;
        const std::uint32_t first = block * rowsPerBlock;
        const std::uint32_t end = std::min(first + rowsPerBlock, header.height);
        encoder->Encode(first, end);
        std::unique_lock<std::mutex> lock(shared.mutex);
        shared.turn.wait(lock, [&] {
          return shared.failure || shared.nextToWrite == block;
        });
        if (shared.failure) return;
        lock.unlock();
        shared.adler =
            adler32_combine(shared.adler, encoder->adler(),
                            static_cast<z_off_t>((end - first) * rowBytes));
        if (block + 1 == blocks) {
          std::uint8_t trailer[4];
          PutBigEndian32(static_cast<std::uint32_t>(shared.adler), trailer);
          encoder->Append(trailer, sizeof trailer);
        }
        sink(encoder->out(), encoder->size());
        lock.lock();
        ++shared.nextToWrite;
        shared.turn.notify_all();
      }
    } catch (...) {
      const std::lock_guard<std::mutex> lock(shared.mutex);
      if (!shared.failure) shared.failure = std::current_exception();
      shared.turn.notify_all();
    }
  };

  std::vector<std::thread> helpers;
  try {
    helpers.reserve(static_cast<std::size_t>(useful - 1));
    for (int t = 1; t < useful; ++t) helpers.emplace_back(work);
  } catch (const std::exception&) {
    // No memory or no thread for more helpers: the threads there are do
    // the work.
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  if (shared.failure) std::rethrow_exception(shared.failure);
  if (shared.nextToWrite != blocks) throw std::bad_alloc();  // no thread could
}

}  // namespace velk::host::png
