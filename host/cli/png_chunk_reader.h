// The chunk stream of a PNG file, read strictly: the signature, each chunk's
// length, type and checksum, the order of the chunks, and the values of those
// that come before the image data (IHDR, PLTE, tRNS). The image data itself
// is handed on as it is read, so no more than one piece of the file is held
// at once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "host/cli/png_format.h"

namespace velk::host::png {

class ChunkReader {
 public:
  // Takes one piece of IDAT data; answers "" or what is wrong with the data.
  using DataSink = std::function<std::string(const std::uint8_t*, std::size_t)>;

  // Reads `file` (named `path` in messages) from the signature through the
  // chunks before the first IDAT. A picture of more than `maxPixels` (at
  // most 2^40) is refused as soon as IHDR is read. Throws FileError:
  //   "cannot read PATH as PNG: FAULT" for a file that is not a valid PNG,
  //   "cannot read PATH: ..." for a failed read or a picture too large.
  ChunkReader(std::FILE* file, const std::string& path,
              std::uint64_t maxPixels);

  const Header& header() const { return header_; }
  const Colours& colours() const { return colours_; }

  // Reads the consecutive IDAT chunks, handing their data to `take` piece by
  // piece. A fault that `take` answers ends the reading, and is reported as
  // the file's once the chunk's checksum shows that its data are what the
  // file's writer wrote.
  void ReadImageData(const DataSink& take);

  // Reads the chunks after the image data through IEND, and checks that
  // nothing follows.
  void ReadEnd();

  // Throws FileError "cannot read PATH as PNG: FAULT".
  [[noreturn]] void Damaged(const std::string& fault) const;

 private:
  struct Chunk {
    std::uint32_t length = 0;
    std::string type;
  };

  std::size_t Read(void* data, std::size_t size);
  Chunk NextChunk();
  // Reads the chunk's data, giving each piece to `take` (may be null), and
  // its checksum; throws for a bad one.
  void ReadData(const Chunk& chunk, const DataSink* take);
  std::string ReadWhole(const Chunk& chunk);
  void CheckLength(const Chunk& chunk) const;
  void TakeHeader(const std::string& data);
  void TakePalette(const std::string& data);
  void TakeTransparency(const std::string& data);
  void TakeOther(const Chunk& chunk);

  std::FILE* file_;
  const std::string& path_;
  std::uint64_t maxPixels_;
  Header header_;
  Colours colours_;
  bool haveTransparency_ = false;
  Chunk next_;         // read, not yet taken: the first IDAT, then the one
                       // after the image data
  std::string fault_;  // found in the data of the chunk being read
};

}  // namespace velk::host::png
