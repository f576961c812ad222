#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <utility>

#if defined(VELK_SPNG_ORACLE)
#include <spng.h>
#endif

#include "host/cli/png_image_data.h"
#include "host/cli/png_image_encoder.h"
#include "tests/cli/cli_fixture.h"

namespace velk::test {
namespace {

using host::FileError;

// Written and read back, every bit is kept, at 8 and at 16 bits per
// channel; the file does not depend on the number of threads that deflate
// it. The larger pictures span several blocks of rows, so that blocks
// deflated apart must join into one stream with one checksum.
TEST(PngIo, PicturesRoundTripEveryBitOnAnyNumberOfThreads) {
  Picture extremes = PatternPicture(6, 2, true);
  const std::uint16_t values[] = {0,      1,      0x00FF, 0x0100, 0x1234,
                                  0x7FFF, 0x8000, 0xFEFF, 0xFF00, 0xFFFF};
  for (std::size_t i = 0; i < extremes.rgba.size(); ++i) {
    extremes.rgba[i] = values[(i * 7) % std::size(values)];
  }
  const struct {
    const char* name;
    Picture picture;
  } cases[] = {
      {"8 bits", PatternPicture(7, 5, false)},
      {"16 bits, extreme values", extremes},
      {"8 bits, one column", PatternPicture(1, 9, false)},
      {"8 bits, several blocks", PatternPicture(613, 509, false)},
      {"16 bits, several blocks", PatternPicture(300, 500, true)},
  };
  for (const auto& [name, picture] : cases) {
    SCOPED_TRACE(name);
    std::string first;
    for (const int threads : {1, 4}) {
      const std::string path = ScratchPath("out.png");
      WritePng(path, picture, threads);
      const Picture read = ReadPng(path);
      EXPECT_EQ(read.width, picture.width);
      EXPECT_EQ(read.height, picture.height);
      EXPECT_EQ(read.deep, picture.deep);
      EXPECT_EQ(read.rgba, picture.rgba);
      const std::string bytes = ReadFileBytes(path);
      if (first.empty()) first = bytes;
      EXPECT_EQ(bytes, first) << threads << " threads";
    }
  }
}

bool Light(int x, int y) { return (x / 32 + y / 32) % 2 == 0; }

const int kProbes[][2] = {{0, 0},   {255, 159}, {31, 31}, {32, 31},
                          {40, 10}, {200, 100}, {129, 70}};

// What filter `type` predicts for a byte from the bytes to its left (a),
// above (b) and above to the left (c), written as the PNG standard states
// it, apart from the code under test.
int ReferencePrediction(int type, int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
  const int predictions[] = {0, a, b, (a + b) / 2, paeth};
  return predictions[type];
}

// A row that one filter type predicts exactly is written with that type,
// and the reader's unfilter gives the row back: every type, at every byte
// distance of a pixel, with rows shorter and longer than one pixel.
TEST(PngIo, WriterFiltersARowWithTheTypeThatPredictsIt) {
  std::uint32_t state = 12345;
  const auto random = [&state]() {
    state = state * 1103515245u + 12345u;
    return static_cast<std::uint8_t>(state >> 16);
  };
  int chosen[host::png::kFilterTypes] = {};
  for (int type = 0; type < host::png::kFilterTypes; ++type) {
    for (const std::size_t distance : {1, 2, 3, 4, 6, 8}) {
      for (const std::size_t size :
           {std::size_t{1}, distance, 40 * distance + 3}) {
        SCOPED_TRACE(testing::Message() << "type " << type << ", distance "
                                        << distance << ", size " << size);
        // Bytes of five values, so that the Paeth predictor meets ties.
        std::vector<std::uint8_t> previous(size);
        for (std::uint8_t& byte : previous) byte = random() % 5 * 50;
        // Each byte after the first pixel as the type predicts it, so that
        // its costs are 0 there; type 0 (none) gets a row of zeros.
        std::vector<std::uint8_t> row(size);
        for (std::size_t i = 0; i < size; ++i) {
          row[i] = type != 0 && i < distance
                       ? static_cast<std::uint8_t>(random() % 5 * 50)
                       : static_cast<std::uint8_t>(ReferencePrediction(
                             type, i >= distance ? row[i - distance] : 0,
                             previous[i],
                             i >= distance ? previous[i - distance] : 0));
        }
        std::vector<std::uint8_t> out(size + 1);
        host::png::FilterRow(row.data(), previous.data(), size, distance,
                             out.data());
        // Past the first pixel, the type chosen predicts the row as well:
        // this one, or one of a lower number that gives the same bytes.
        if (size > distance) {
          EXPECT_LE(out[0], type);
          chosen[out[0]] += out[0] == type;
        }
        for (std::size_t i = distance; i < size; ++i) {
          EXPECT_EQ(out[i + 1], 0) << i;
        }
        std::vector<std::uint8_t> back(out.begin() + 1, out.end());
        host::png::Unfilter(static_cast<host::png::Filter>(out[0]), back.data(),
                            previous.data(), size, distance);
        EXPECT_EQ(back, row);
      }
    }
  }
  for (int type = 0; type < host::png::kFilterTypes; ++type) {
    EXPECT_GT(chosen[type], 0) << "type " << type << " never chosen";
  }
}

TEST(PngIo, ReadsEightBitRgbWithoutAlphaAsOpaque) {
  const Picture picture = ReadPng(SamplePath("gradient-rgb8.png"));
  ASSERT_EQ(picture.width, 256);
  ASSERT_EQ(picture.height, 160);
  EXPECT_FALSE(picture.deep);
  for (const auto& [x, y] : kProbes) {
    SCOPED_TRACE(testing::Message() << x << "," << y);
    const std::uint16_t* rgba = picture.At(x, y);
    EXPECT_EQ(rgba[0], x);
    EXPECT_EQ(rgba[1], y * 255 / 159);
    EXPECT_EQ(rgba[2], Light(x, y) ? 0xC0 : 0x40);
    EXPECT_EQ(rgba[3], 255);
  }
}

TEST(PngIo, ReadsSixteenBitRgbaAtFullPrecision) {
  const Picture picture = ReadPng(SamplePath("gradient-rgba16.png"));
  ASSERT_EQ(picture.width, 256);
  ASSERT_EQ(picture.height, 160);
  EXPECT_TRUE(picture.deep);
  for (const auto& [x, y] : kProbes) {
    SCOPED_TRACE(testing::Message() << x << "," << y);
    const std::uint16_t* rgba = picture.At(x, y);
    EXPECT_EQ(rgba[0], x * 256 + y);
    EXPECT_EQ(rgba[1], y * 409);
    EXPECT_EQ(rgba[2], Light(x, y) ? 0xC000 : 0x4000);
    EXPECT_EQ(rgba[3], 0xFFFF - x);
  }
}

// Every colour type and bit depth, each filter, Adam7 and tRNS, in files
// whose pixels were worked out by hand.
TEST(PngIo, ReadsEveryColourTypeDepthFilterAndInterlace) {
  using png::Chunk;
  using png::File;
  using png::Header;
  using png::ImageData;
  using png::kEnd;
  const std::string grey7 = png::Compressed(std::string("\0\x07", 2));
  const struct {
    const char* name;
    std::string file;
    bool deep;
    std::vector<std::uint16_t> rgba;
  } cases[] = {
      {"grey 1 bit",
       File({Header(3, 1, 1, 0), ImageData(std::string("\0\xA0", 2)), kEnd}),
       false,
       {255, 255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 255}},
      {"grey 2 bits, tRNS",
       File({Header(4, 1, 2, 0), Chunk("tRNS", std::string("\0\x02", 2)),
             ImageData(std::string("\0\x1B", 2)), kEnd}),
       false,
       {0, 0, 0, 255, 85, 85, 85, 255, 170, 170, 170, 0, 255, 255, 255, 255}},
      {"grey 4 bits",
       File({Header(2, 1, 4, 0), ImageData(std::string("\0\xF7", 2)), kEnd}),
       false,
       {255, 255, 255, 255, 119, 119, 119, 255}},
      {"palette 2 bits, short tRNS",
       File({Header(3, 1, 2, 3), Chunk("PLTE", "\1\2\3\4\5\6\7\x08\x09"),
             Chunk("tRNS", std::string("\0\x80", 2)),
             ImageData(std::string("\0\x90", 2)), kEnd}),
       false,
       {7, 8, 9, 255, 4, 5, 6, 128, 1, 2, 3, 0}},
      {"palette of 2 entries at 1 bit, tRNS as long as the palette",
       File({Header(2, 1, 1, 3), Chunk("PLTE", "\1\2\3\4\5\6"),
             Chunk("tRNS", "\x11\x22"), ImageData(std::string("\0\x40", 2)),
             kEnd}),
       false,
       {1, 2, 3, 0x11, 4, 5, 6, 0x22}},
      {"palette of 256 entries at 8 bits",
       File({Header(2, 1, 8, 3), Chunk("PLTE", std::string(765, '\7') + "xyz"),
             ImageData(std::string("\0\xFF\x00", 3)), kEnd}),
       false,
       {'x', 'y', 'z', 255, 7, 7, 7, 255}},
      // tRNS values below 16 bits: only their low bits count.
      {"RGB 8 bits, tRNS with high bits",
       File({Header(2, 1, 8, 2), Chunk("tRNS", "\1\1\1\2\1\3"),
             ImageData(std::string("\0\1\2\3\1\2\4", 7)), kEnd}),
       false,
       {1, 2, 3, 0, 1, 2, 4, 255}},
      {"grey 8 bits, tRNS with high bits",
       File({Header(2, 1, 8, 0), Chunk("tRNS", "\x81\x05"),
             ImageData(std::string("\0\x05\x81", 3)), kEnd}),
       false,
       {5, 5, 5, 0, 0x81, 0x81, 0x81, 255}},
      {"grey 4 bits, tRNS with high bits",
       File({Header(2, 1, 4, 0), Chunk("tRNS", std::string("\0\x13", 2)),
             ImageData(std::string("\0\x31", 2)), kEnd}),
       false,
       {51, 51, 51, 0, 17, 17, 17, 255}},
      {"grey 1 bit, tRNS with high bits",
       File({Header(2, 1, 1, 0), Chunk("tRNS", "\xFF\xFE"),
             ImageData(std::string("\0\x40", 2)), kEnd}),
       false,
       {0, 0, 0, 0, 255, 255, 255, 255}},
      {"palette 8 bits",
       File({Header(1, 1, 8, 3), Chunk("PLTE", "\x10\x20\x30\x40\x50\x60"),
             ImageData(std::string("\0\1", 2)), kEnd}),
       false,
       {0x40, 0x50, 0x60, 255}},
      {"grey and alpha 8 bits",
       File(
           {Header(1, 1, 8, 4), ImageData(std::string("\0\x40\x80", 3)), kEnd}),
       false,
       {64, 64, 64, 128}},
      {"RGBA 8 bits",
       File(
           {Header(1, 1, 8, 6), ImageData(std::string("\0\1\2\3\4", 5)), kEnd}),
       false,
       {1, 2, 3, 4}},
      {"grey 16 bits",
       File({Header(1, 1, 16, 0), ImageData(std::string("\0\xBE\xEF", 3)),
             kEnd}),
       true,
       {0xBEEF, 0xBEEF, 0xBEEF, 0xFFFF}},
      {"grey and alpha 16 bits",
       File({Header(1, 1, 16, 4), ImageData(std::string("\0\1\2\3\4", 5)),
             kEnd}),
       true,
       {0x0102, 0x0102, 0x0102, 0x0304}},
      {"RGB 16 bits, tRNS",
       File({Header(1, 2, 16, 2), Chunk("tRNS", "\x12\x34\x56\x78\x9A\xBC"),
             ImageData(std::string("\0\x12\x34\x56\x78\x9A\xBC"
                                   "\0\x12\x34\x56\x78\x9A\xBD",
                                   14)),
             kEnd}),
       true,
       {0x1234, 0x5678, 0x9ABC, 0, 0x1234, 0x5678, 0x9ABD, 0xFFFF}},
      {"filters sub, up, average, Paeth",
       File({Header(2, 4, 8, 0),
             ImageData("\1\x0A\x05\2\x01\x02\3\x04\x06\4\x01\x01"), kEnd}),
       false,
       {10, 10, 10, 255, 15, 15, 15, 255, 11, 11, 11, 255, 17, 17, 17, 255,
        9,  9,  9,  255, 19, 19, 19, 255, 10, 10, 10, 255, 20, 20, 20, 255}},
      // Grey 10 y + x; passes 1, 4, 5, 6 (two rows), 7 of a 3x3 picture.
      {"Adam7",
       File({Header(3, 3, 8, 0, 1),
             ImageData(std::string("\0\0"
                                   "\0\x02"
                                   "\0\x14\x16"
                                   "\0\x01\0\x15"
                                   "\0\x0A\x0B\x0C",
                                   15)),
             kEnd}),
       false,
       {0,  0,  0,  255, 1,  1,  1,  255, 2,  2,  2,  255,
        10, 10, 10, 255, 11, 11, 11, 255, 12, 12, 12, 255,
        20, 20, 20, 255, 21, 21, 21, 255, 22, 22, 22, 255}},
      {"an empty first IDAT, a split stream, chunks to skip",
       File({Header(1, 1, 8, 0), Chunk("tEXt", std::string("a\0b", 3)),
             Chunk("IDAT", ""), Chunk("IDAT", grey7.substr(0, 3)),
             Chunk("IDAT", grey7.substr(3)), Chunk("zzZz", "any"), kEnd}),
       false,
       {7, 7, 7, 255}},
  };
  for (const auto& [name, file, deep, rgba] : cases) {
    SCOPED_TRACE(name);
    const std::string path = ScratchPath("in.png");
    WriteFileBytes(path, file);
    const Picture picture = ReadPng(path);
    EXPECT_EQ(picture.deep, deep);
    EXPECT_EQ(picture.width * picture.height * 4,
              static_cast<std::int32_t>(rgba.size()));
    EXPECT_EQ(picture.rgba, rgba);
  }
}

#if defined(VELK_SPNG_ORACLE)
// A generated corpus read by this reader and by libspng, a decoder written
// elsewhere, pixel for pixel: every colour type at every bit depth it
// allows, interlaced or not, widths 1 to 17 and heights 1 to 9 (so rows end
// in padding bits and interlace passes are empty), each filter type forced
// on every row or the five in turn, palettes and tRNS at their limits.

// xorshift32: the same corpus on every run.
struct Random {
  std::uint32_t state;
  std::uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  std::uint32_t Below(std::uint32_t limit) { return Next() % limit; }
};

struct CorpusPicture {
  int colourType;
  int depth;
  bool interlaced;
  std::uint32_t width;
  std::uint32_t height;
  int filterMode;  // 0 to 4: that filter on every row; 5: each row the next
  std::uint32_t seed;
};

std::string DescribeCorpusPicture(const CorpusPicture& p) {
  return "colour type " + std::to_string(p.colourType) + ", " +
         std::to_string(p.depth) + " bits, " +
         (p.interlaced ? "interlaced, " : "") + std::to_string(p.width) + "x" +
         std::to_string(p.height) + ", filters " +
         std::to_string(p.filterMode) + ", seed " + std::to_string(p.seed);
}

// Filters `row` with `filter` against `previous` (the pass's row above).
std::string ForwardFilter(int filter, const std::string& row,
                          const std::string& previous, std::size_t distance) {
  std::string out(1, static_cast<char>(filter));
  for (std::size_t i = 0; i < row.size(); ++i) {
    const auto byte = [](const std::string& bytes, std::size_t at) {
      return static_cast<int>(static_cast<std::uint8_t>(bytes[at]));
    };
    const bool left = i >= distance;
    out += static_cast<char>(
        byte(row, i) -
        ReferencePrediction(filter, left ? byte(row, i - distance) : 0,
                            byte(previous, i),
                            left ? byte(previous, i - distance) : 0));
  }
  return out;
}

// The filtered rows of every pass, and the chunks before IDAT.
struct CorpusFile {
  std::string head;     // IHDR, PLTE, tRNS
  std::string rows;     // filtered, every pass
  std::size_t entries;  // of the palette
};

CorpusFile MakeCorpusFile(const CorpusPicture& p) {
  Random random{p.seed * 2654435761u + 1};
  const int channels = p.colourType == 2   ? 3
                       : p.colourType == 4 ? 2
                       : p.colourType == 6 ? 4
                                           : 1;
  CorpusFile file;
  file.head = png::Header(p.width, p.height, p.depth, p.colourType,
                          p.interlaced ? 1 : 0);
  const std::uint32_t top = 1u << p.depth;  // samples lie below it
  file.entries = top;
  if (p.colourType == 3) {
    // The palette's limits: every index the depth allows, or fewer; 256.
    if (random.Below(2) == 0) file.entries = 1 + random.Below(top);
    std::string palette;
    for (std::size_t i = 0; i < 3 * file.entries; ++i) {
      palette += static_cast<char>(random.Below(256));
    }
    file.head += png::Chunk("PLTE", palette);
    const std::uint32_t alphas =
        random.Below(3) == 0 ? 0
        : random.Below(2) == 0
            ? static_cast<std::uint32_t>(file.entries)
            : 1 + random.Below(static_cast<std::uint32_t>(file.entries));
    if (alphas > 0) {
      std::string alpha;
      for (std::uint32_t i = 0; i < alphas; ++i) {
        alpha += static_cast<char>(random.Below(256));
      }
      file.head += png::Chunk("tRNS", alpha);
    }
  }
  // Samples: a few values often, so that the tRNS colour is met.
  const std::uint32_t limit = p.colourType == 3
                                  ? static_cast<std::uint32_t>(file.entries)
                                  : std::min<std::uint32_t>(top, 1u << 16);
  const std::uint32_t common[2] = {random.Below(limit), random.Below(limit)};
  const auto sample = [&]() {
    return random.Below(3) != 0 ? common[random.Below(2)] : random.Below(limit);
  };
  std::vector<std::uint32_t> samples(std::size_t{p.width} * p.height *
                                     channels);
  for (std::uint32_t& value : samples) value = sample();
  if ((p.colourType == 0 || p.colourType == 2) && random.Below(2) == 0) {
    // The first pixel's colour; in RGB with bits above the depth set at
    // times: only the low bits count. (libspng compares a grey key's every
    // bit; the hand-made files above show grey's low bits.)
    std::string key;
    for (int c = 0; c < channels; ++c) {
      std::uint32_t value = samples[c];
      if (p.colourType == 2 && p.depth < 16 && random.Below(2) == 0) {
        value |= (random.Below(1u << (16 - p.depth))) << p.depth;
      }
      key += static_cast<char>(value >> 8);
      key += static_cast<char>(value);
    }
    file.head += png::Chunk("tRNS", key);
  }

  const std::size_t bitsPerPixel = static_cast<std::size_t>(channels) * p.depth;
  const std::size_t distance = std::max<std::size_t>(bitsPerPixel / 8, 1);
  static const std::uint32_t adam7[7][4] = {
      {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
      {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  static const std::uint32_t whole[1][4] = {{0, 0, 1, 1}};
  const auto* passes = p.interlaced ? adam7 : whole;
  int filter = 0;
  for (int pass = 0; pass < (p.interlaced ? 7 : 1); ++pass) {
    const auto [x0, y0, dx, dy] = passes[pass];
    const std::uint32_t columns =
        p.width > x0 ? (p.width - x0 + dx - 1) / dx : 0;
    const std::uint32_t rows =
        p.height > y0 ? (p.height - y0 + dy - 1) / dy : 0;
    if (columns == 0 || rows == 0) continue;
    const std::size_t rowBytes = (columns * bitsPerPixel + 7) / 8;
    std::string previous(rowBytes, '\0');
    for (std::uint32_t r = 0; r < rows; ++r) {
      std::string row(rowBytes, '\0');
      std::size_t bit = 0;
      for (std::uint32_t k = 0; k < columns; ++k) {
        const std::size_t pixel =
            std::size_t{y0 + r * dy} * p.width + x0 + k * dx;
        for (int c = 0; c < channels; ++c, bit += p.depth) {
          const std::uint32_t value = samples[pixel * channels + c];
          if (p.depth == 16) {
            row[bit / 8] = static_cast<char>(value >> 8);
            row[bit / 8 + 1] = static_cast<char>(value);
          } else {
            row[bit / 8] = static_cast<char>(row[bit / 8] |
                                             value << (8 - p.depth - bit % 8));
          }
        }
      }
      filter = p.filterMode < 5 ? p.filterMode : (filter + 1) % 5;
      file.rows += ForwardFilter(filter, row, previous, distance);
      previous = row;
    }
  }
  return file;
}

// `rows` deflated and cut into up to three IDAT chunks, then IEND.
std::string CorpusTail(const std::string& rows, std::uint32_t seed) {
  const std::string stream = png::Compressed(rows);
  Random random{seed + 7};
  const std::size_t cut1 =
      random.Below(static_cast<std::uint32_t>(stream.size()) + 1);
  const std::size_t cut2 =
      cut1 + random.Below(static_cast<std::uint32_t>(stream.size() - cut1) + 1);
  return png::Chunk("IDAT", stream.substr(0, cut1)) +
         png::Chunk("IDAT", stream.substr(cut1, cut2 - cut1)) +
         png::Chunk("IDAT", stream.substr(cut2)) + png::kEnd;
}

// libspng's RGBA (8 or 16 bits a channel, tRNS applied), or nothing for a
// file that it refuses.
std::optional<std::vector<std::uint16_t>> OracleRgba(const std::string& bytes,
                                                     bool deep) {
  spng_ctx* context = spng_ctx_new(0);
  std::optional<std::vector<std::uint16_t>> rgba;
  const int format = deep ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8;
  std::size_t size = 0;
  if (spng_set_png_buffer(context, bytes.data(), bytes.size()) == 0 &&
      spng_decoded_image_size(context, format, &size) == 0) {
    std::vector<std::uint8_t> out(size);
    if (spng_decode_image(context, out.data(), size, format,
                          SPNG_DECODE_TRNS) == 0) {
      rgba.emplace();
      if (deep) {
        for (std::size_t i = 0; i + 1 < size; i += 2) {
          std::uint16_t value;
          std::memcpy(&value, &out[i], 2);  // host order
          rgba->push_back(value);
        }
      } else {
        rgba->assign(out.begin(), out.end());
      }
    }
  }
  spng_ctx_free(context);
  return rgba;
}

// Ways to damage a corpus file that every reader must refuse.
enum class Damage {
  kChecksum,
  kFilterType,
  kTruncated,
  kShortData,
  kPaletteIndex
};

TEST(PngIo, GeneratedCorpusGivesTheOraclesPixels) {
  const std::string path = ScratchPath("corpus.png");
  const struct {
    int colourType;
    std::vector<int> depths;
  } kinds[] = {{0, {1, 2, 4, 8, 16}},
               {2, {8, 16}},
               {3, {1, 2, 4, 8}},
               {4, {8, 16}},
               {6, {8, 16}}};
  int read = 0;
  int refused = 0;
  std::uint32_t seed = 0;
  for (const auto& [colourType, depths] : kinds) {
    for (const int depth : depths) {
      for (const bool interlaced : {false, true}) {
        for (std::uint32_t width = 1; width <= 17; ++width) {
          for (std::uint32_t height = 1; height <= 9; ++height) {
            ++seed;
            const CorpusPicture picture{colourType, depth,  interlaced,
                                        width,      height, int(seed % 6),
                                        seed};
            SCOPED_TRACE(DescribeCorpusPicture(picture));
            const CorpusFile file = MakeCorpusFile(picture);
            const std::string bytes =
                png::kSignature + file.head + CorpusTail(file.rows, seed);
            const auto expected = OracleRgba(bytes, depth == 16);
            ASSERT_TRUE(expected.has_value());
            WriteFileBytes(path, bytes);
            const Picture picture16 = ReadPng(path);
            ASSERT_EQ(picture16.rgba, *expected);
            ++read;

            // Read at a downsample factor, each layer pixel is the picture
            // pixel at x D / N, y D / N.
            const DownsampleFactor factors[] = {{1, 2}, {2, 3}, {1, 3}, {5, 7}};
            const DownsampleFactor fx = factors[seed % 4];
            const DownsampleFactor fy = factors[seed / 4 % 4];
            const Picture shown = ReadPng(path, fx, fy);
            for (std::int32_t y = 0; y < shown.height; ++y) {
              for (std::int32_t x = 0; x < shown.width; ++x) {
                const std::size_t from =
                    4 *
                    (std::size_t{y * fy.denominator / fy.numerator} * width +
                     x * fx.denominator / fx.numerator);
                ASSERT_TRUE(std::equal(shown.At(x, y), shown.At(x, y) + 4,
                                       expected->begin() + from))
                    << x << "," << y;
              }
            }

            // Damaged variants of some of them: refused by both.
            if (seed % 5 != 0) continue;
            std::vector<std::pair<Damage, std::string>> damaged = {
                {Damage::kChecksum,
                 png::kSignature + file.head +
                     png::Chunk("IDAT", png::Compressed(file.rows), 1) +
                     png::kEnd},
                {Damage::kTruncated,
                 bytes.substr(0, bytes.size() - 12 - seed % 7)},
                {Damage::kShortData,
                 png::kSignature + file.head +
                     CorpusTail(file.rows.substr(0, file.rows.size() - 1),
                                seed)}};
            std::string badFilter = file.rows;
            badFilter[0] = static_cast<char>(5 + seed % 251);
            damaged.push_back(
                {Damage::kFilterType,
                 png::kSignature + file.head + CorpusTail(badFilter, seed)});
            if (colourType == 3 && file.entries < (1u << depth)) {
              // The first pixel's index set to the first past the palette.
              std::string badIndex = file.rows;
              badIndex[0] = 0;
              const auto past = static_cast<std::uint8_t>(file.entries);
              badIndex[1] =
                  static_cast<char>((static_cast<std::uint8_t>(badIndex[1]) &
                                     ((1 << (8 - depth)) - 1)) |
                                    past << (8 - depth));
              damaged.push_back(
                  {Damage::kPaletteIndex,
                   png::kSignature + file.head + CorpusTail(badIndex, seed)});
            }
            for (const auto& [damage, variant] : damaged) {
              SCOPED_TRACE(static_cast<int>(damage));
              if (damage == Damage::kFilterType ||
                  damage == Damage::kShortData) {
                EXPECT_FALSE(OracleRgba(variant, depth == 16).has_value());
              }
              WriteFileBytes(path, variant);
              EXPECT_THROW(ReadPng(path), FileError);
              ++refused;
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(read, 15 * 2 * 17 * 9);
  EXPECT_GT(refused, read * 4 / 5);
}
#endif

TEST(PngIo, UnreadableFilesThrowAnErrorNamingTheFile) {
  const std::string text = ScratchPath("text.png");
  WriteFileBytes(text, "not a picture\n");
  const std::string truncated = ScratchPath("truncated.png");
  WriteFileBytes(truncated,
                 ReadFileBytes(SamplePath("gradient-rgb8.png")).substr(0, 120));
  const std::string empty = ScratchPath("empty.png");
  WriteFileBytes(empty, "");
  const std::string missing = ScratchPath("missing.png");
  for (const std::string& path : {text, truncated, empty, missing}) {
    SCOPED_TRACE(path);
    try {
      ReadPng(path);
      ADD_FAILURE() << "no error";
    } catch (const FileError& error) {
      EXPECT_NE(std::strstr(error.what(), path.c_str()), nullptr)
          << error.what();
    }
  }
}

// A picture of exactly the pixel limit is read; one pixel more is refused
// as soon as its header is read.
TEST(PngIo, PicturesUpToThePixelLimitAreTaken) {
  static_assert(host::kMaxPixels == 20000u * 12500u, "the limit below");
  const struct {
    std::uint32_t width, height;
    bool taken;
  } cases[] = {{20000, 12500, true},
               {250000000, 1, true},
               {1, 250000000, true},
               {250000001, 1, false},
               {20001, 12500, false}};
  const std::string path = ScratchPath("in.png");
  for (const auto& [width, height, taken] : cases) {
    SCOPED_TRACE(testing::Message() << width << "x" << height);
    WriteFileBytes(path, png::File({png::Header(width, height, 1, 0),
                                    png::ImageData(""), png::kEnd}));
    const host::File file = host::OpenToRead(path);
    if (taken) {
      const host::PngReader reader(file.get(), path, host::kMaxPixels);
      EXPECT_EQ(reader.width(), static_cast<std::int32_t>(width));
      EXPECT_EQ(reader.height(), static_cast<std::int32_t>(height));
    } else {
      EXPECT_THROW(host::PngReader(file.get(), path, host::kMaxPixels),
                   FileError);
    }
  }
}

TEST(PngIo, UnwritablePathThrowsAnErrorNamingIt) {
  const std::string path = ScratchPath("no-such-dir/out.png");
  try {
    WritePng(path, PatternPicture(2, 2, false));
    ADD_FAILURE() << "no error";
  } catch (const FileError& error) {
    EXPECT_NE(std::strstr(error.what(), "no-such-dir"), nullptr)
        << error.what();
  }
}

}  // namespace
}  // namespace velk::test
