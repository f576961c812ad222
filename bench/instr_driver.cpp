// Runs one frame of a case under `valgrind --tool=callgrind
// --toggle-collect=velk_measured_frame`: only the frame inside
// velk_measured_frame is counted, after a first frame has paid the one-time
// costs (symbol binding, first use of the host's containers). scripts/bench
// runs it at a full and at a zero height and divides the difference by the
// pixels, so that the per-frame costs cancel.
//
//   velk_instr CASE WIDTH HEIGHT     e.g. velk_instr "pixel8 mode1" 512 512
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/frame_cases.h"

extern "C" __attribute__((noinline)) velk::ErrorCode velk_measured_frame(
    velk::bench::FrameRunner& runner) {
  return runner.RunFrame();
}

int main(int argc, char** argv) {
  using namespace velk::bench;
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s CASE WIDTH HEIGHT\n", argv[0]);
    return 2;
  }
  const FrameCase* frameCase = FindFrameCase(argv[1]);
  const int width = std::atoi(argv[2]);
  const int height = std::atoi(argv[3]);
  if (frameCase == nullptr || width < 0 || height < 0) {
    std::fprintf(stderr, "%s: unknown case or bad size\n", argv[0]);
    return 2;
  }
  FrameRunner runner(*frameCase, width, height);
  if (runner.RunFrame() != velk::kErrNone ||
      velk_measured_frame(runner) != velk::kErrNone) {
    std::fprintf(stderr, "%s: the frame failed\n", argv[0]);
    return 1;
  }
  std::printf("%s %dx%d: %lld pixels\n", frameCase->name.c_str(), width, height,
              static_cast<long long>(runner.pixels()));
  return 0;
}
