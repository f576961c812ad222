// Helpers for the command-line tests: scratch files, small pictures, and
// the command line run in-process with its output captured.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "host/cli/host_cli.h"
#include "host/cli/png_io.h"

namespace velk::test {

// A path in the build's scratch directory, unique to the running test.
inline std::string ScratchPath(const std::string& leaf) {
  const testing::TestInfo* test =
      testing::UnitTest::GetInstance()->current_test_info();
  return std::string(VELK_CLI_SCRATCH_DIR) + "/" + test->test_suite_name() +
         "." + test->name() + "." + leaf;
}

inline std::string SamplePath(const std::string& leaf) {
  return std::string(VELK_SAMPLES_DIR) + "/" + leaf;
}

inline bool FileExists(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

// A width x height picture whose every channel value differs from its
// neighbours', alpha included, with no alpha of 0.
inline host::Picture PatternPicture(std::int32_t width, std::int32_t height,
                                    bool deep) {
  host::Picture picture;
  picture.width = width;
  picture.height = height;
  picture.deep = deep;
  picture.rgba.resize(static_cast<std::size_t>(width) * height * 4);
  const unsigned scale = deep ? 257 : 1;
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      std::uint16_t* rgba = picture.At(x, y);
      rgba[0] = static_cast<std::uint16_t>((x * 5 + 3) % 256 * scale);
      rgba[1] = static_cast<std::uint16_t>((y * 7 + 11) % 256 * scale);
      rgba[2] = static_cast<std::uint16_t>((x + y * 3) % 256 * scale);
      rgba[3] = static_cast<std::uint16_t>((128 + x + y) % 255 + 1) * scale;
    }
  }
  return picture;
}

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

inline CliRun RunCommandLine(const std::vector<std::string>& arguments) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = host::RunCli(arguments, out, err);
  return {status, out.str(), err.str()};
}

}  // namespace velk::test
