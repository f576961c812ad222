#include <cstring>
#include <iterator>

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
