#include "host/stand_in_host.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

#include "abi/command.h"
#include "host/host_image.h"

namespace velk::host {

StandInHost* StandInHost::current_ = nullptr;

namespace {

// Result of an acquire for a suite that this host does not serve.
constexpr ErrorCode kErrUnknownSuite = 1;
// Result of a callback whose own work found no memory.
constexpr ErrorCode kErrHostOutOfMemory = 4;

thread_local bool inHostWork = false;

// Marks the host's own work for InHostWork() while it lives; nests.
class HostWork {
 public:
  HostWork() : outer_(inHostWork) { inHostWork = true; }
  ~HostWork() { inHostWork = outer_; }
  HostWork(const HostWork&) = delete;
  HostWork& operator=(const HostWork&) = delete;

 private:
  const bool outer_;
};

std::string SuiteKey(const char* name, std::int32_t version) {
  return std::string(name) + " " + std::to_string(version);
}

}  // namespace

bool InHostWork() { return inHostWork; }

std::string_view NameOf(const ParamDefinition& definition) {
  return {definition.name, strnlen(definition.name, sizeof definition.name)};
}

EffectRef StandInHost::HostEffectRef() {
  static int instance;
  return reinterpret_cast<EffectRef>(&instance);
}

StandInHost::StandInHost(const EffectModule& module) : module_(module) {
  if (current_ != nullptr) {
    throw std::logic_error("only one stand-in host may live at a time");
  }
  current_ = this;

  basicSuite_.acquireSuite = &Acquire;
  basicSuite_.releaseSuite = &Release;
  utilityCallbacks_.copyString = &CopyString;
  ansiSuite_.formatPrint = &FormatPrint;
  paramUtilsSuite_.updateParamUI = &UpdateParamUI;
  iterate8Suite_.iterate = &Iterate<Pixel8>;
  iterate16Suite_.iterate = &Iterate<Pixel16>;
  suites_[{kAnsiSuiteName, kAnsiSuiteVersion}] = &ansiSuite_;
  suites_[{kParamUtilsSuiteName, kParamUtilsSuiteVersion}] = &paramUtilsSuite_;
  suites_[{kIterate8SuiteName, kIterateSuiteVersion}] = &iterate8Suite_;
  suites_[{kIterate16SuiteName, kIterateSuiteVersion}] = &iterate16Suite_;

  input.addParam = &AddParam;
  input.utilityCallbacks = &utilityCallbacks_;
  input.effectRef = HostEffectRef();
  input.basicSuite = &basicSuite_;

  params.resize(1);
  paramArray = {&params[0]};
  SetLayer(4, 4, false);
}

StandInHost::~StandInHost() { current_ = nullptr; }

StandInHost& StandInHost::Current() { return *current_; }

ErrorCode StandInHost::Command(std::int32_t selector, void* extra) {
  addCount_ = 0;
  updateCount_ = 0;
  const std::size_t firstAdd = added.size();
  const BasicSuite* basic = input.basicSuite;
  if (faults.nullBasicSuite) input.basicSuite = nullptr;
  const ErrorCode result = module_.effectMain()(
      selector, &input, &output, paramArray.data(), &outputImage, extra);
  input.basicSuite = basic;
  if (static_cast<std::uint32_t>(selector) == kCmdParamsSetup &&
      result == kErrNone) {
    TakeDeclaredParameters(firstAdd);
  }
  return result;
}

void StandInHost::TakeDeclaredParameters(std::size_t firstAdd) {
  const HostWork hostWork;
  const std::size_t count = added.size() - firstAdd;
  if (output.paramCount != static_cast<std::int32_t>(count) + 1) {
    throw ProtocolError("the effect declared " + std::to_string(count) +
                        " parameters but reported a parameter count of " +
                        std::to_string(output.paramCount) +
                        " (the input layer and its parameters)");
  }
  params.resize(count + 1);
  paramArray.assign(1, &params[0]);
  for (std::size_t i = 1; i <= count; ++i) {
    params[i] = added[firstAdd + i - 1].copy;
    params[i].changeFlags = 0;
    paramArray.push_back(&params[i]);
  }
}

ParamDefinition& StandInHost::Param(std::string_view name) {
  for (std::size_t i = 1; i < params.size(); ++i) {
    if (NameOf(params[i]) == name) return params[i];
  }
  throw std::out_of_range("the effect declared no parameter \"" +
                          std::string(name) + "\"");
}

ErrorCode StandInHost::Register(void* hostData, ErrorCode registrationResult) {
  registrationResult_ = registrationResult;
  return module_.pluginDataEntry()(hostData, &Registration, nullptr, nullptr,
                                   nullptr);
}

template <typename Pixel>
ErrorCode StandInHost::IterateWith(PixelFunction<Pixel> pixelFunction,
                                   void* refcon) {
  const char* name = sizeof(Pixel) == sizeof(Pixel8) ? kIterate8SuiteName
                                                     : kIterate16SuiteName;
  const void* table = nullptr;
  ErrorCode result =
      basicSuite_.acquireSuite(name, kIterateSuiteVersion, &table);
  if (result != kErrNone) return result;
  result = static_cast<const IterateSuite<Pixel>*>(table)->iterate(
      &input, 0, outputImage.height, &inputImage(), nullptr, refcon,
      pixelFunction, &outputImage);
  static_cast<void>(basicSuite_.releaseSuite(name, kIterateSuiteVersion));
  return result;
}
template ErrorCode StandInHost::IterateWith<Pixel8>(PixelFunction<Pixel8>,
                                                    void*);
template ErrorCode StandInHost::IterateWith<Pixel16>(PixelFunction<Pixel16>,
                                                     void*);

void StandInHost::SetLayer(std::int32_t width, std::int32_t height, bool deep,
                           DownsampleFactor x, DownsampleFactor y) {
  const std::int32_t imageWidth = DownsampledSize(width, x);
  const std::int32_t imageHeight = DownsampledSize(height, y);
  LayOutImage(params[0].image, inputPixels, imageWidth, imageHeight, deep);
  LayOutImage(outputImage, outputPixels, imageWidth, imageHeight, deep);
  input.width = width;
  input.height = height;
  input.downsampleX = x;
  input.downsampleY = y;
}

std::vector<std::string> StandInHost::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

void StandInHost::ClearCalls() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

std::map<std::string, int> StandInHost::Outstanding() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::map<std::string, int> held;
  for (const auto& [key, count] : outstanding_) {
    if (count != 0) held[key] = count;
  }
  return held;
}

void StandInHost::Log(std::string line) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(std::move(line));
}

template <typename Work>
ErrorCode StandInHost::HostCall(Work work) noexcept {
  const HostWork hostWork;
  StandInHost& host = Current();
  try {
    return work(host);
  } catch (...) {
    // Nothing may be thrown across the module's frames: the host's own
    // bookkeeping (its log, what it received) found no memory.
    host.ranOutOfMemory = true;
    return kErrHostOutOfMemory;
  }
}

ErrorCode StandInHost::Acquire(const char* name, std::int32_t version,
                               const void** suite) {
  return HostCall([&](StandInHost& host) {
    host.Log("acquire " + SuiteKey(name, version));
    for (const HostFaults::Acquire& fault : host.faults.acquire) {
      if (fault.name == name && fault.version == version) return fault.code;
    }
    const auto found = host.suites_.find({name, version});
    if (found == host.suites_.end()) return kErrUnknownSuite;
    std::lock_guard<std::mutex> lock(host.mutex_);
    ++host.outstanding_[SuiteKey(name, version)];
    *suite = found->second;
    return kErrNone;
  });
}

ErrorCode StandInHost::Release(const char* name, std::int32_t version) {
  return HostCall([&](StandInHost& host) {
    host.Log("release " + SuiteKey(name, version));
    std::lock_guard<std::mutex> lock(host.mutex_);
    --host.outstanding_[SuiteKey(name, version)];
    return host.faults.releaseResult;
  });
}

ErrorCode StandInHost::FormatPrint(char* dest, const char* format, ...) {
  std::va_list values;
  va_start(values, format);
  const ErrorCode result = HostCall([&](StandInHost& host) {
    host.Log("formatPrint");
    host.lastPrintDest = dest;
    std::vsnprintf(dest, sizeof(OutputRecord::returnMessage), format, values);
    return host.faults.printResult;
  });
  va_end(values);
  return result;
}

ErrorCode StandInHost::CopyString(char* dest, const char* source) {
  return HostCall([&](StandInHost& host) {
    host.Log(std::string("copyString ") + source);
    std::strcpy(dest, source);
    return kErrNone;
  });
}

ErrorCode StandInHost::AddParam(EffectRef effectRef, std::int32_t index,
                                const ParamDefinition* definition) {
  return HostCall([&](StandInHost& host) {
    host.Log("addParam " + std::to_string(index));
    host.added.push_back({effectRef, index, definition, *definition});
    if (++host.addCount_ == host.faults.addParamFailAt) {
      return host.faults.addParamCode;
    }
    return kErrNone;
  });
}

ErrorCode StandInHost::UpdateParamUI(EffectRef effectRef, std::int32_t index,
                                     const ParamDefinition* definition) {
  return HostCall([&](StandInHost& host) {
    host.Log("update " + std::to_string(index));
    host.updates.push_back({effectRef, index, definition, *definition});
    if (++host.updateCount_ == host.faults.updateFailAt) {
      return host.faults.updateCode;
    }
    return kErrNone;
  });
}

template <typename Pixel>
ErrorCode StandInHost::Iterate(InputRecord* input, std::int32_t progressBase,
                               std::int32_t progressEnd, ImageRecord* source,
                               const IterateArea* area, void* refcon,
                               PixelFunction<Pixel> pixelFunction,
                               ImageRecord* dest) {
  // The host's own work; the pixels below are walked outside it.
  const ErrorCode recorded = HostCall([&](StandInHost& host) {
    const int depth = sizeof(Pixel) == sizeof(Pixel8) ? 8 : 16;
    host.Log("iterate" + std::to_string(depth) + " " +
             std::to_string(progressBase) + " " + std::to_string(progressEnd));
    ReceivedIterate received{depth, input,  progressBase, progressEnd, source,
                             area,  refcon, dest,         {}};
    if (refcon != nullptr && host.refconSnapshotBytes > 0) {
      const auto* bytes = static_cast<const std::uint8_t*>(refcon);
      received.refconBytes.assign(bytes, bytes + host.refconSnapshotBytes);
    }
    host.iterates.push_back(std::move(received));
    return kErrNone;
  });
  if (recorded != kErrNone) return recorded;
  StandInHost& host = Current();

  const std::int32_t rows = dest->height;
  auto walkRows = [&](std::int32_t first, std::int32_t step) {
    for (std::int32_t y = first; y < rows; y += step) {
      for (std::int32_t x = 0; x < dest->width; ++x) {
        pixelFunction(refcon, x, y, PixelAt<Pixel>(*source, x, y),
                      PixelAt<Pixel>(*dest, x, y));
      }
    }
  };
  // Rows y = t, t + threads, ... go to thread t; the rows of a thread that
  // the system does not give are walked by the calling thread.
  const int threads = std::max(1, host.iterateThreads);
  std::vector<std::thread> workers;
  try {
    workers.reserve(static_cast<std::size_t>(threads - 1));
    while (static_cast<int>(workers.size()) + 1 < threads) {
      workers.emplace_back(walkRows, static_cast<std::int32_t>(workers.size()),
                           threads);
    }
  } catch (...) {
  }
  for (auto t = static_cast<std::int32_t>(workers.size()); t < threads; ++t) {
    walkRows(t, threads);
  }
  for (std::thread& worker : workers) worker.join();
  host.iterateThreadsUsed = static_cast<int>(workers.size()) + 1;
  return host.faults.iterateResult;
}

ErrorCode StandInHost::Registration(void* hostData, const char* name,
                                    const char* matchName, const char* category,
                                    const char* entryPoint, std::int32_t kind,
                                    std::int32_t interfaceVersionMajor,
                                    std::int32_t interfaceVersionMinor,
                                    std::int32_t reservedInfo) {
  return HostCall([&](StandInHost& host) {
    host.Log("register");
    host.registrations.push_back({hostData, name, matchName, category,
                                  entryPoint, kind, interfaceVersionMajor,
                                  interfaceVersionMinor, reservedInfo});
    return host.registrationResult_;
  });
}

}  // namespace velk::host
