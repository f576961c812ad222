// Renders a 3840x2160 frame through the stand-in host's iterate in every
// case, beside the two floors measured in the same run: the same iterate
// with a callback that only copies the pixel, and a memcpy of the frame.
// Each row reports pixels per second and, for the render cases, its time
// per frame as a multiple of each floor's ("vs_copy", "vs_memcpy").
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/frame_cases.h"

namespace velk::bench {
namespace {

constexpr std::int32_t kFrameWidth = 3840;
constexpr std::int32_t kFrameHeight = 2160;

void RunCase(benchmark::State& state, const FrameCase* frameCase) {
  FrameRunner runner(*frameCase, kFrameWidth, kFrameHeight);
  // One frame before timing: first-call costs of the host and the module.
  if (runner.RunFrame() != kErrNone) {
    state.SkipWithError("the frame failed");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(runner.RunFrame());
    benchmark::ClobberMemory();
  }
  state.counters["pixels"] =
      benchmark::Counter(static_cast<double>(runner.pixels()),
                         benchmark::Counter::kIsIterationInvariantRate);
}

std::string BenchmarkName(const FrameCase& frameCase) {
  std::string name = frameCase.name;
  for (char& c : name) {
    if (c == ' ') c = '/';
  }
  return name;
}

// The console report, with each render case's time per frame divided by
// that of its depth's floors, which run before it.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Coloured on a terminal only.
  RatioReporter()
      : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {
  }

  void ReportRuns(const std::vector<Run>& reports) override {
    std::vector<Run> runs = reports;
    for (Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const std::string name = run.benchmark_name();
      const double time = run.GetAdjustedCPUTime();
      frameTime_[name] = time;
      for (const FrameCase& frameCase : FrameCases()) {
        if (BenchmarkName(frameCase) != name ||
            frameCase.work != FrameWork::kRender) {
          continue;
        }
        AddRatio(run, "vs_copy", CopyCase(frameCase.depth), time);
        AddRatio(run, "vs_memcpy", MemcpyCase(frameCase.depth), time);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  void AddRatio(Run& run, const char* counter, const FrameCase& floor,
                double time) {
    const auto found = frameTime_.find(BenchmarkName(floor));
    if (found == frameTime_.end() || found->second <= 0) return;
    run.counters[counter] = benchmark::Counter(time / found->second);
  }

  std::map<std::string, double> frameTime_;
};

}  // namespace
}  // namespace velk::bench

int main(int argc, char** argv) {
  using namespace velk::bench;
  for (const FrameCase& frameCase : FrameCases()) {
    benchmark::RegisterBenchmark(BenchmarkName(frameCase).c_str(), RunCase,
                                 &frameCase)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
