#include "tests/fuzz/invariants.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

namespace velk::fuzz {
namespace {

constexpr ErrorCode kMissingSuite = 516;

struct SuiteKey {
  const char* name;
  std::int32_t version;
};

template <typename Record>
void RequireSameBytes(const Record& before, const Record& after,
                      const char* what) {
  Require(std::memcmp(&before, &after, sizeof before) == 0, what);
}

// A byte range of a record that a command may write.
struct Span {
  std::size_t offset;
  std::size_t size;
};

template <typename Record>
void RequireSameBytesOutside(const Record& before, const Record& after,
                             std::initializer_list<Span> writable,
                             const char* what) {
  const auto* was = reinterpret_cast<const std::uint8_t*>(&before);
  const auto* now = reinterpret_cast<const std::uint8_t*>(&after);
  std::size_t from = 0;
  for (const Span& span : writable) {  // in rising order
    Require(std::memcmp(was + from, now + from, span.offset - from) == 0, what);
    from = span.offset + span.size;
  }
  Require(std::memcmp(was + from, now + from, sizeof before - from) == 0, what);
}

bool AcquireFails(const host::HostFaults& faults, const SuiteKey& suite) {
  for (const host::HostFaults::Acquire& fault : faults.acquire) {
    if (fault.name == suite.name && fault.version == suite.version) return true;
  }
  return false;
}

// The k-th of the host's next calls fails when k is within the `calls` that
// a command makes.
bool FailsWithin(int failAt, std::size_t before, int calls) {
  const long k = static_cast<long>(failAt) - static_cast<long>(before);
  return k >= 1 && k <= calls;
}

// Every suite acquired in the call was released by its own name and
// version, and one call acquires at most one suite (one per handler); a
// command without a suite makes no acquire or release at all.
void CheckSuites(const host::StandInHost& host, bool usesSuite) {
  Require(host.Outstanding().empty(),
          "a suite was not released once by the pair that acquired it");
  int acquires = 0;
  int releases = 0;
  for (const std::string& line : host.Calls()) {
    acquires += line.rfind("acquire ", 0) == 0;
    releases += line.rfind("release ", 0) == 0;
  }
  Require(acquires <= 1 && releases <= 1, "more than one suite in one call");
  Require(usesSuite || acquires + releases == 0,
          "a command without a suite reached the basic suite");
}

// The records that the effect only reads.
void CheckReadOnlyRecords(const host::StandInHost& host, const Before& before) {
  RequireSameBytes(before.input, host.input, "the input record changed");
  RequireSameBytes(before.outputImage, host.outputImage,
                   "the output image record changed");
  RequireSameBytes(before.paramArray, host.paramArray,
                   "the parameter array changed");
  RequireSameBytes(before.changed, host.changed, "the extra record changed");
}

void CheckOutputRecord(const host::StandInHost& host, std::int32_t selector,
                       ErrorCode result, const Before& before) {
  const OutputRecord& output = host.output;
  switch (selector) {
    case 0: {
      RequireSameBytesOutside(
          before.output, output,
          {{offsetof(OutputRecord, returnMessage),
            sizeof output.returnMessage}},
          "about wrote the output record outside returnMessage");
      if (result != 0) {
        RequireSameBytes(before.output, output,
                         "a failed about wrote returnMessage");
        break;
      }
      // The host's print writes the text and its NUL, and nothing else.
      constexpr char kText[] = "Velk v1.0\rsimple velk effect by ORVANE";
      Require(std::memcmp(output.returnMessage, kText, sizeof kText) == 0,
              "about gave the wrong text");
      Require(std::memcmp(output.returnMessage + sizeof kText,
                          before.output.returnMessage + sizeof kText,
                          sizeof output.returnMessage - sizeof kText) == 0,
              "about wrote returnMessage beyond its text");
      break;
    }
    case 1:
      RequireSameBytesOutside(before.output, output,
                              {{offsetof(OutputRecord, version), 4},
                               {offsetof(OutputRecord, outFlags), 4}},
                              "global setup wrote beyond version and flags");
      Require(output.version == 0x80001 && output.outFlags == 0x2000000,
              "global setup gave the wrong version or flags");
      break;
    case 4:
      RequireSameBytesOutside(before.output, output,
                              {{offsetof(OutputRecord, paramCount), 4}},
                              "parameter setup wrote beyond paramCount");
      Require(
          output.paramCount == (result == 0 ? 10 : before.output.paramCount),
          "paramCount is wrong for the result");
      break;
    default:
      RequireSameBytes(before.output, output,
                       "the command wrote the output record");
  }
}

// Only the parameter-UI commands write parameters, and only the two flag
// words of indices 2 to 9, each as a whole word.
void CheckParams(const host::StandInHost& host, std::int32_t selector,
                 const host::HostFaults& faults, ErrorCode result,
                 const Before& before) {
  const bool uiCommand = selector == 13 || selector == 14;
  if (!uiCommand || faults.nullBasicSuite) {
    RequireSameBytes(before.params, host.params,
                     "the command wrote a parameter");
    return;
  }
  RequireSameBytes(before.params[0], host.params[0],
                   "the input layer's definition changed");
  RequireSameBytes(before.params[1], host.params[1],
                   "the popup's definition changed");

  // The command's update list gets changeFlags 1, or only its first entry
  // when the suite could not be acquired for the first update.
  const bool popupChanged = selector == 13 && before.changed.changedIndex == 1;
  const bool individual = before.params[1].popup.value == 1;
  const int lastMarked = selector == 13 ? 9 : 8;
  for (int i = 2; i <= 9; ++i) {
    const ParamDefinition& now = host.params[i];
    const ParamDefinition& was = before.params[i];
    RequireSameBytesOutside(was, now, {{0, 8}},
                            "a parameter changed beyond its flag words");
    const bool marked = i <= lastMarked && (result != kMissingSuite || i == 2);
    Require(now.changeFlags == (marked ? 1 : was.changeFlags),
            "changeFlags is wrong");
    std::int32_t uiFlags = was.uiFlags;
    if (popupChanged && i <= 8) {
      const bool margin = i <= 5;
      uiFlags = margin == individual ? 0 : 0x20;
    }
    Require(now.uiFlags == uiFlags, "uiFlags is wrong");
  }
}

// Guards, row padding and input pixels never change. After an iteration of
// mode 1 or 2 each output pixel is a whole copy of its input pixel or is
// cleared, alpha 0 and its other channels unchanged; otherwise every output
// pixel is untouched.
void CheckPixels(const Scene& scene, bool iterated, const Before& before) {
  Require(scene.inputImage.bytes == before.inputBytes,
          "the input image changed");
  const GuardedImage& image = scene.outputImage;
  Require(image.SameOutsidePixels(before.outputBytes),
          "a guard or padding byte of the output image changed");
  const std::int32_t mode = before.params[1].popup.value;
  const bool decides = iterated && (mode == 1 || mode == 2);
  if (!decides) {
    Require(image.bytes == before.outputBytes,
            "an output pixel changed without a render to decide it");
    return;
  }
  const std::size_t size = image.pixelBytes();
  const std::size_t alpha = image.alphaBytes();
  for (std::int32_t y = 0; y < image.height(); ++y) {
    for (std::int32_t x = 0; x < image.width(); ++x) {
      const std::size_t at = image.PixelOffset(x, y);
      const std::uint8_t* now = &image.bytes[at];
      const std::uint8_t* was = &before.outputBytes[at];
      if (std::memcmp(now, &scene.inputImage.bytes[at], size) == 0) continue;
      bool cleared = std::memcmp(now + alpha, was + alpha, size - alpha) == 0;
      for (std::size_t b = 0; b < alpha; ++b) cleared &= now[b] == 0;
      Require(cleared, "an output pixel is neither a copy nor cleared");
    }
  }
}

}  // namespace

void Fail(const char* what) {
  std::fprintf(stderr, "velk fuzz: invariant broken: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

Before TakeBefore(const Scene& scene) {
  const host::StandInHost& host = scene.host;
  Before before;
  std::memcpy(&before.input, &host.input, sizeof before.input);
  std::memcpy(&before.output, &host.output, sizeof before.output);
  std::memcpy(before.params, host.params, sizeof before.params);
  std::memcpy(before.paramArray, host.paramArray, sizeof before.paramArray);
  std::memcpy(&before.outputImage, &host.outputImage,
              sizeof before.outputImage);
  std::memcpy(&before.changed, &host.changed, sizeof before.changed);
  before.inputBytes = scene.inputImage.bytes;
  before.outputBytes = scene.outputImage.bytes;
  before.added = host.added.size();
  before.updates = host.updates.size();
  before.registrations = host.registrations.size();
  return before;
}

ErrorCode ExpectedResult(std::int32_t selector, const host::HostFaults& faults,
                         const Before& before, bool deep) {
  SuiteKey suite{};
  switch (selector) {
    case 0:
      suite = {"PF ANSI Suite", 1};
      break;
    case 4:
      return FailsWithin(faults.addParamFailAt, before.added, 9)
                 ? faults.addParamCode
                 : 0;
    case 11:
      suite = deep ? SuiteKey{"PF iterate16 Suite", 1}
                   : SuiteKey{"PF Iterate8 Suite", 1};
      break;
    case 13:
    case 14:
      suite = {"PF Param Utils Suite", 3};
      break;
    default:
      return 0;  // global setup, and every selector without a handler
  }
  if (faults.nullBasicSuite || AcquireFails(faults, suite)) {
    return kMissingSuite;
  }
  if (selector == 0) return 0;  // the print's result is not looked at
  if (selector == 11) return faults.iterateResult;
  const int updates = selector == 13 ? 8 : 7;
  return FailsWithin(faults.updateFailAt, before.updates, updates)
             ? faults.updateCode
             : 0;
}

void CheckCommand(const Scene& scene, std::int32_t selector,
                  const host::HostFaults& faults, ErrorCode result,
                  const Before& before) {
  const host::StandInHost& host = scene.host;
  CheckSuites(host, selector == 0 || selector == 11 || selector == 13 ||
                        selector == 14);
  Require(result == ExpectedResult(selector, faults, before, scene.deep),
          "EffectMain's result is not the one owed");
  CheckReadOnlyRecords(host, before);
  CheckOutputRecord(host, selector, result, before);
  CheckParams(host, selector, faults, result, before);
  CheckPixels(scene, selector == 11 && result != kMissingSuite, before);
}

void CheckRegistration(const Scene& scene, void* hostData, ErrorCode answer,
                       ErrorCode result, const Before& before) {
  const host::StandInHost& host = scene.host;
  Require(result == answer, "registration did not return the callback's");
  Require(host.registrations.size() == before.registrations + 1,
          "registration did not call the callback exactly once");
  const host::ReceivedRegistration& call = host.registrations.back();
  Require(call.hostData == hostData && call.name == "Velk" &&
              call.matchName == "ADBE Velk" && call.category == "ORVANE" &&
              call.entryPoint == "EffectMain" && call.kind == 0x65464B54 &&
              call.interfaceVersionMajor == 13 &&
              call.interfaceVersionMinor == 25 && call.reservedInfo == 8,
          "registration handed the wrong identity");
  CheckSuites(host, false);
  CheckReadOnlyRecords(host, before);
  RequireSameBytes(before.output, host.output,
                   "registration wrote the output record");
  RequireSameBytes(before.params, host.params,
                   "registration wrote a parameter");
  CheckPixels(scene, false, before);
}

}  // namespace velk::fuzz
