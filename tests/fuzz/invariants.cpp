#include "tests/fuzz/invariants.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "tests/host_contract.h"

namespace velk::fuzz {

using namespace test;

namespace {

template <typename Record>
void RequireSameBytes(const Record& before, const Record& after,
                      const char* what) {
  Require(std::memcmp(&before, &after, sizeof before) == 0, what);
}

template <typename Record>
void RequireSameBytes(const std::vector<Record>& before,
                      const std::vector<Record>& after, const char* what) {
  Require(before.size() == after.size() &&
              std::memcmp(before.data(), after.data(),
                          before.size() * sizeof(Record)) == 0,
          what);
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

bool AcquireFails(const host::HostFaults& faults, const Suite& suite) {
  for (const host::HostFaults::Acquire& fault : faults.acquire) {
    if (fault.name == suite.name && fault.version == suite.version) return true;
  }
  return false;
}

// The suite that the command acquires, or null for a command without one.
const Suite* SuiteOf(std::int32_t selector, bool deep) {
  switch (selector) {
    case kAbout:
      return &kAnsiSuite;
    case kRender:
      return deep ? &kIterate16Suite : &kIterate8Suite;
    case kParamChanged:
    case kUpdateUI:
      return &kParamUtilsSuite;
    default:
      return nullptr;
  }
}

// The injected faults leave the command without its suite. Decided from the
// faults alone: an update or an iterate may itself be made to return 516.
bool SuiteMissing(std::int32_t selector, const host::HostFaults& faults,
                  bool deep) {
  const Suite* suite = SuiteOf(selector, deep);
  return suite != nullptr &&
         (faults.nullBasicSuite || AcquireFails(faults, *suite));
}

// The k-th call of a kind fails when k is within the `calls` that a command
// makes.
bool FailsWithin(int failAt, int calls) {
  return failAt >= 1 && failAt <= calls;
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
    case kAbout: {
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
      constexpr std::size_t kSize = sizeof kAboutText;
      Require(std::memcmp(output.returnMessage, kAboutText, kSize) == 0,
              "about gave the wrong text");
      Require(std::memcmp(output.returnMessage + kSize,
                          before.output.returnMessage + kSize,
                          sizeof output.returnMessage - kSize) == 0,
              "about wrote returnMessage beyond its text");
      break;
    }
    case kGlobalSetup:
      RequireSameBytesOutside(before.output, output,
                              {{offsetof(OutputRecord, version), 4},
                               {offsetof(OutputRecord, outFlags), 4}},
                              "global setup wrote beyond version and flags");
      Require(output.version == kVersionWord && output.outFlags == kGlobalFlags,
              "global setup gave the wrong version or flags");
      break;
    case kParamsSetup:
      RequireSameBytesOutside(before.output, output,
                              {{offsetof(OutputRecord, paramCount), 4}},
                              "parameter setup wrote beyond paramCount");
      Require(output.paramCount == (result == kOk ? kParamCountWithLayer
                                                  : before.output.paramCount),
              "paramCount is wrong for the result");
      break;
    default:
      RequireSameBytes(before.output, output,
                       "the command wrote the output record");
  }
}

// Only the parameter-UI commands write parameters, and only the two flag
// words of indices 2 to 9, each as a whole word. A parameter setup that
// succeeds has the host replace the parameters behind the input layer with
// the declared ones.
void CheckParams(const host::StandInHost& host, std::int32_t selector,
                 const host::HostFaults& faults, bool suiteMissing,
                 ErrorCode result, const Before& before) {
  if (selector == kParamsSetup && result == kOk) {
    RequireSameBytes(before.params[0], host.params[0],
                     "parameter setup changed the input layer's definition");
    return;
  }
  const bool uiCommand = selector == kParamChanged || selector == kUpdateUI;
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
  const bool popupChanged =
      selector == kParamChanged && before.changed.changedIndex == 1;
  const bool individual = before.params[1].popup.value == 1;
  const int lastMarked = selector == kParamChanged ? 9 : 8;
  for (int i = 2; i <= 9; ++i) {
    const ParamDefinition& now = host.params[i];
    const ParamDefinition& was = before.params[i];
    RequireSameBytesOutside(was, now, {{0, 8}},
                            "a parameter changed beyond its flag words");
    const bool marked = i <= lastMarked && (!suiteMissing || i == 2);
    Require(now.changeFlags == (marked ? kValueChanged : was.changeFlags),
            "changeFlags is wrong");
    std::int32_t uiFlags = was.uiFlags;
    if (popupChanged && i <= 8) {
      const bool margin = i <= 5;
      uiFlags = margin == individual ? kEnabled : kDisabled;
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

// What EffectMain owes the host for `selector` under `faults`, with the
// command's suite missing or not.
ErrorCode ExpectedResult(std::int32_t selector, const host::HostFaults& faults,
                         bool suiteMissing) {
  if (selector == kParamsSetup) {
    return FailsWithin(faults.addParamFailAt, 9) ? faults.addParamCode : kOk;
  }
  if (suiteMissing) return kMissingSuite;
  switch (selector) {
    case kRender:
      return faults.iterateResult;
    case kParamChanged:
    case kUpdateUI:
      return FailsWithin(faults.updateFailAt, selector == kParamChanged ? 8 : 7)
                 ? faults.updateCode
                 : kOk;
    default:
      // About (the print's result is not looked at), global setup, and
      // every selector without a handler.
      return kOk;
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
  before.params = host.params;
  before.paramArray = host.paramArray;
  std::memcpy(&before.outputImage, &host.outputImage,
              sizeof before.outputImage);
  std::memcpy(&before.changed, &host.changed, sizeof before.changed);
  before.inputBytes = scene.inputImage.bytes;
  before.outputBytes = scene.outputImage.bytes;
  before.registrations = host.registrations.size();
  return before;
}

void CheckCommand(const Scene& scene, std::int32_t selector,
                  const host::HostFaults& faults, ErrorCode result,
                  const Before& before) {
  const host::StandInHost& host = scene.host;
  const bool suiteMissing = SuiteMissing(selector, faults, scene.deep);
  CheckSuites(host, SuiteOf(selector, scene.deep) != nullptr);
  Require(result == ExpectedResult(selector, faults, suiteMissing),
          "EffectMain's result is not the one owed");
  CheckReadOnlyRecords(host, before);
  CheckOutputRecord(host, selector, result, before);
  CheckParams(host, selector, faults, suiteMissing, result, before);
  CheckPixels(scene, selector == kRender && !suiteMissing, before);
}

void CheckRegistration(const Scene& scene, void* hostData, ErrorCode answer,
                       ErrorCode result, const Before& before) {
  const host::StandInHost& host = scene.host;
  Require(result == answer, "registration did not return the callback's");
  Require(host.registrations.size() == before.registrations + 1,
          "registration did not call the callback exactly once");
  const host::ReceivedRegistration& call = host.registrations.back();
  Require(call.hostData == hostData && call.name == kName &&
              call.matchName == kMatchName && call.category == kCategory &&
              call.entryPoint == kEntryPoint && call.kind == kKind &&
              call.interfaceVersionMajor == kInterfaceMajor &&
              call.interfaceVersionMinor == kInterfaceMinor &&
              call.reservedInfo == kReservedInfo,
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
