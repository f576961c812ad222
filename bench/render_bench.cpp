// Renders a 3840x2160 frame through the stand-in host's iterate in every
// case. A render case times, in each iteration and on the same host and
// images, its two floors and then itself: the same iterate with a callback
// that only copies the pixel, and a memcpy of the frame. "vs_copy" and
// "vs_memcpy" are the medians of the per-iteration ratios, so a change of
// the machine's speed between iterations moves the times but hardly the
// ratios. The floors also run as cases of their own.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench/frame_cases.h"

namespace velk::bench {
namespace {

constexpr std::int32_t kFrameWidth = 3840;
constexpr std::int32_t kFrameHeight = 2160;

using Clock = std::chrono::steady_clock;

// Runs one frame of `work` and returns its time in seconds; 0 on failure.
double TimeFrame(FrameRunner& runner, FrameWork work) {
  const Clock::time_point start = Clock::now();
  const ErrorCode result = runner.RunFrame(work);
  benchmark::ClobberMemory();
  const double seconds =
      std::chrono::duration<double>(Clock::now() - start).count();
  return result == kErrNone ? seconds : 0;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  const auto middle = values.begin() + values.size() / 2;
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

void RunCase(benchmark::State& state, const FrameCase* frameCase) {
  FrameRunner runner(*frameCase, kFrameWidth, kFrameHeight);
  const bool render = frameCase->work == FrameWork::kRender;
  // One frame of each before timing: first-call costs of the host and the
  // module.
  if (render && (runner.RunFrame(FrameWork::kMemcpy) != kErrNone ||
                 runner.RunFrame(FrameWork::kCopy) != kErrNone)) {
    state.SkipWithError("a floor's frame failed");
    return;
  }
  if (runner.RunFrame() != kErrNone) {
    state.SkipWithError("the frame failed");
    return;
  }
  std::vector<double> vsCopy;
  std::vector<double> vsMemcpy;
  for (auto _ : state) {
    double memcpyTime = 0;
    double copyTime = 0;
    if (render) {
      memcpyTime = TimeFrame(runner, FrameWork::kMemcpy);
      copyTime = TimeFrame(runner, FrameWork::kCopy);
    }
    const double time = TimeFrame(runner, frameCase->work);
    if (time <= 0 || (render && (memcpyTime <= 0 || copyTime <= 0))) {
      state.SkipWithError("a frame failed");
      return;
    }
    state.SetIterationTime(time);
    if (render) {
      vsCopy.push_back(time / copyTime);
      vsMemcpy.push_back(time / memcpyTime);
    }
  }
  state.counters["pixels"] =
      benchmark::Counter(static_cast<double>(runner.pixels()),
                         benchmark::Counter::kIsIterationInvariantRate);
  if (render) {
    state.counters["vs_copy"] = Median(vsCopy);
    state.counters["vs_memcpy"] = Median(vsMemcpy);
  }
}

std::string BenchmarkName(const FrameCase& frameCase) {
  std::string name = frameCase.name;
  for (char& c : name) {
    if (c == ' ') c = '/';
  }
  return name;
}

}  // namespace
}  // namespace velk::bench

int main(int argc, char** argv) {
  using namespace velk::bench;
  for (const FrameCase& frameCase : FrameCases()) {
    benchmark::RegisterBenchmark(BenchmarkName(frameCase).c_str(), RunCase,
                                 &frameCase)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
