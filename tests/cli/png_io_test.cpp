#include <cstring>
#include <fstream>
#include <iterator>

#include "tests/cli/cli_fixture.h"

namespace velk::test {
namespace {

using host::FileError;
using host::Picture;
using host::ReadPng;
using host::WritePng;

TEST(PngIo, EightBitPictureRoundTripsWithAlpha) {
  const Picture picture = PatternPicture(7, 5, false);
  const std::string path = ScratchPath("out.png");
  WritePng(path, picture);
  const Picture read = ReadPng(path);
  EXPECT_EQ(read.width, 7);
  EXPECT_EQ(read.height, 5);
  EXPECT_FALSE(read.deep);
  EXPECT_EQ(read.rgba, picture.rgba);
}

TEST(PngIo, DeepPictureIsWrittenRoundedToEightBits) {
  const std::uint16_t values[][2] = {
      {0, 0},        {128, 0},      {129, 1},           {0x1234, 0x12},
      {0x8000, 128}, {0xFEFF, 254}, {0xFF7E, 254},      {0xFF7F, 255},
      {65535, 255},  {257 * 7, 7},  {257 * 7 + 128, 7}, {257 * 7 + 129, 8}};
  Picture picture;
  picture.width = static_cast<std::int32_t>(std::size(values));
  picture.height = 1;
  picture.deep = true;
  for (const auto& value : values) {
    picture.rgba.insert(picture.rgba.end(), 4, value[0]);
  }
  const std::string path = ScratchPath("out.png");
  WritePng(path, picture);
  const Picture read = ReadPng(path);
  ASSERT_EQ(read.width, picture.width);
  EXPECT_FALSE(read.deep);
  for (std::int32_t x = 0; x < read.width; ++x) {
    SCOPED_TRACE(values[x][0]);
    for (int channel = 0; channel < 4; ++channel) {
      EXPECT_EQ(read.At(x, 0)[channel], values[x][1]);
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

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string SampleBytes() {
  std::ifstream in(SamplePath("gradient-rgb8.png"), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(PngIo, UnreadableFilesThrowAnErrorNamingTheFile) {
  const std::string text = ScratchPath("text.png");
  WriteBytes(text, "not a picture\n");
  const std::string truncated = ScratchPath("truncated.png");
  WriteBytes(truncated, SampleBytes().substr(0, 120));
  const std::string empty = ScratchPath("empty.png");
  WriteBytes(empty, "");
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
    EXPECT_NE(std::strstr(error.what(), path.c_str()), nullptr) << error.what();
  }
}

}  // namespace
}  // namespace velk::test
