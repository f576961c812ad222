// A libFuzzer target over the module's two exports, driven through the
// stand-in host. Each input gets a fresh host that has run global setup and
// parameter setup, with small guarded images, and is decoded into one or
// more calls: EffectMain with any selector, record
// fields, parameter values and injected host faults, or the registration
// entry. After every call the invariants of invariants.h are checked, and the
// first one that fails aborts the run with a message:
// - no exception left the module;
// - every suite acquired was released once, with the name and version that
//   acquired it;
// - the result is the one that the command owes under the injected faults;
// - no byte outside the output pixels and the record fields that the command
//   may write changed: guards and row padding of both images, the input
//   pixels, the input record, the output image record, the extra record;
// - an output pixel is untouched, a whole copy of its input pixel, or
//   cleared: alpha 0 with red, green and blue unchanged.
//
// Input layout; a read past the end gives 0, the choosers Int, Fixed,
// Denominator, Real and Raw32 are in fuzz_input.h:
//   setup: width byte and height byte (each modulo 17, so 0 to 16), layout
//     byte (bit 0: 16 bits per channel; bits 1-2: row padding in units of 8
//     bytes), pixel seed (Raw32)
//   then calls, up to kMaxCalls, while input remains:
//     command byte: 0-15 that selector; 16-31 an unusual selector from
//       kOddSelectors; 32-47 the registration entry; 48 and up the handlers
//       0, 1, 4, 11, 13 and 14 in turn (48 about ... 53 update UI)
//     fields byte, one bit per group, read in bit order:
//       0 layer width, height (Int, independent of the image size)
//       1 downsample x numerator (Int), denominator (Denominator), y likewise
//       2 extentTop, extentBottom (Int); output worldFlags (Raw32, bit 0 is
//         kept as laid out); input layer worldFlags (Raw32)
//       3 popup value, checkbox value, changedIndex (Int)
//       4 Left, Right, Top, Bottom, Width, Height (Real)
//       5 centre x, y (Fixed)
//       6 faults byte: bit 0 null basic suite; 1 an acquire fails (suite
//         byte, code Int; code 0 answers 0 with no suite); 2 release result
//         (Int); 3 print result (Int); 4 an add fails (byte: which of the
//         call's first ten, code Int); 5 an update fails (byte: which of its
//         first nine, code Int); 6 iterate result (Int)
//       7 host byte: bit 0 no extra record (except for selector 13); bit 1
//         refill the output pixels (Raw32 seed); bit 2 host words for
//         changeFlags and uiFlags of 1 to 9 (Int each)
//     a registration call then reads: host data byte (0: null), result (Int)
//   Faults hold for one call; every other field keeps its value.
// The host iterates on one thread here: the thread sanitizer build runs the
// renders on several, and under the address sanitizer every thread that a
// render starts would cost memory that the process never gets back.
//
// With VELK_FUZZ_TRACE set, each call and the host calls that it made go to
// standard error, to read what a crashing input does.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/effect_module.h"
#include "host/stand_in_host.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/guarded_image.h"
#include "tests/fuzz/invariants.h"
#include "tests/host_contract.h"

namespace velk::fuzz {
namespace {

using namespace test;

constexpr int kMaxCalls = 16;
constexpr int kImageSides = 17;  // images are 0 to 16 pixels wide and high

constexpr std::int32_t kOddSelectors[16] = {
    -1,    INT32_MIN, INT32_MAX, 1000,           16,    255,  256,  0x100,
    0x10B, 0x10D,     0x10E,     INT32_MIN + 11, 0x104, -243, -245, 0x1000000};

// The handlers' selectors, in the order of command bytes 48 and up.
constexpr std::int32_t kHandlerSelectors[6] = {
    kAbout, kGlobalSetup, kParamsSetup, kRender, kParamChanged, kUpdateUI};

// A failing acquire hits one of these: the four suites that the effect uses
// and a name that differs from one of them only by case.
constexpr Suite kFaultSuites[5] = {kAnsiSuite,
                                   kParamUtilsSuite,
                                   kIterate8Suite,
                                   kIterate16Suite,
                                   {"PF Iterate16 Suite", 1}};

const host::EffectModule* gModule = nullptr;
bool gTrace = false;  // VELK_FUZZ_TRACE set: one line per call on stderr

class Session {
 public:
  explicit Session(FuzzInput& in) : in_(in), host_(*gModule) {
    // The effect applied as a host does, before the calls under test.
    Require(host_.Command(kGlobalSetup) == kOk &&
                host_.Command(kParamsSetup) == kOk,
            "the effect could not be set up");
    const std::int32_t width = in_.Byte() % kImageSides;
    const std::int32_t height = in_.Byte() % kImageSides;
    const std::uint8_t layout = in_.Byte();
    deep_ = (layout & 1) != 0;
    const std::int32_t rowPadding = ((layout >> 1) & 3) * 8;
    const std::uint32_t seed = in_.Raw32();
    host_.SetLayer(width, height, deep_);
    inputImage_.LayOut(host_.inputImage(), rowPadding, seed);
    outputImage_.LayOut(host_.outputImage, rowPadding, ~seed);
  }

  void Run() {
    int calls = 0;
    do {
      RunCall();
    } while (!in_.empty() && ++calls < kMaxCalls);
  }

 private:
  Scene scene() { return {host_, inputImage_, outputImage_, deep_}; }

  void RunCall() {
    host_.faults = host::HostFaults{};
    extra_ = &host_.changed;
    const std::uint8_t command = in_.Byte();
    ReadFields(in_.Byte());
    if (command >= 32 && command < 48) {
      Register();
      return;
    }
    std::int32_t selector;
    if (command < 16) {
      selector = command;
    } else if (command < 32) {
      selector = kOddSelectors[command - 16];
    } else {
      selector = kHandlerSelectors[(command - 48) % 6];
    }
    if (selector == kParamChanged) extra_ = &host_.changed;
    Command(selector);
  }

  void ReadFields(std::uint8_t fields) {
    InputRecord& input = host_.input;
    if (fields & 0x01) {
      input.width = in_.Int();
      input.height = in_.Int();
    }
    if (fields & 0x02) {
      input.downsampleX.numerator = in_.Int();
      input.downsampleX.denominator = in_.Denominator();
      input.downsampleY.numerator = in_.Int();
      input.downsampleY.denominator = in_.Denominator();
    }
    if (fields & 0x04) {
      host_.outputImage.extentTop = in_.Int();
      host_.outputImage.extentBottom = in_.Int();
      host_.outputImage.worldFlags =
          (in_.Raw32() & ~kWorldFlagDeep) | (deep_ ? kWorldFlagDeep : 0);
      host_.inputImage().worldFlags = in_.Raw32();
    }
    if (fields & 0x08) {
      host_.Param("Type").popup.value = in_.Int();
      host_.Param("Invert").checkbox.value = in_.Int();
      host_.changed.changedIndex = in_.Int();
    }
    if (fields & 0x10) {
      for (const char* slider :
           {"Left", "Right", "Top", "Bottom", "Width", "Height"}) {
        host_.Param(slider).slider.value = in_.Real();
      }
    }
    if (fields & 0x20) {
      host_.Param("Center").point.xValue = in_.Fixed();
      host_.Param("Center").point.yValue = in_.Fixed();
    }
    if (fields & 0x40) ReadFaults(in_.Byte());
    if (fields & 0x80) ReadHost(in_.Byte());
  }

  void ReadFaults(std::uint8_t bits) {
    host::HostFaults& faults = host_.faults;
    faults.nullBasicSuite = (bits & 0x01) != 0;
    if (bits & 0x02) {
      const Suite& suite = kFaultSuites[in_.Byte() % 5];
      faults.acquire.push_back({suite.name, suite.version, in_.Int()});
    }
    if (bits & 0x04) faults.releaseResult = in_.Int();
    if (bits & 0x08) faults.printResult = in_.Int();
    if (bits & 0x10) {
      faults.addParamFailAt = 1 + in_.Byte() % 10;
      faults.addParamCode = in_.Int();
    }
    if (bits & 0x20) {
      faults.updateFailAt = 1 + in_.Byte() % 9;
      faults.updateCode = in_.Int();
    }
    if (bits & 0x40) faults.iterateResult = in_.Int();
  }

  void ReadHost(std::uint8_t bits) {
    if (bits & 0x01) extra_ = nullptr;
    if (bits & 0x02) outputImage_.Fill(in_.Raw32());
    if (bits & 0x04) {
      const std::int32_t changeFlags = in_.Int();
      const std::int32_t uiFlags = in_.Int();
      for (std::size_t i = 1; i < host_.params.size(); ++i) {
        host_.params[i].changeFlags = changeFlags;
        host_.params[i].uiFlags = uiFlags;
      }
    }
  }

  void Trace(const char* what, std::int32_t selector, ErrorCode result) {
    if (!gTrace) return;
    std::fprintf(stderr, "%s %d (%dx%d %d-bit) -> %d\n", what, selector,
                 inputImage_.width(), inputImage_.height(), deep_ ? 16 : 8,
                 result);
    for (const std::string& line : host_.Calls()) {
      std::fprintf(stderr, "  %s\n", line.c_str());
    }
  }

  void Command(std::int32_t selector) {
    const Before before = TakeBefore(scene());
    const host::HostFaults faults = host_.faults;
    host_.ClearCalls();
    ErrorCode result = 0;
    try {
      result = host_.Command(selector, extra_);
    } catch (...) {
      Fail("an exception left EffectMain");
    }
    Trace("selector", selector, result);
    CheckCommand(scene(), selector, faults, result, before);
  }

  void Register() {
    void* hostData = in_.Byte() == 0 ? nullptr : &host_.changed;
    const ErrorCode answer = in_.Int();
    const Before before = TakeBefore(scene());
    host_.ClearCalls();
    ErrorCode result = 0;
    try {
      result = host_.Register(hostData, answer);
    } catch (...) {
      Fail("an exception left PluginDataEntryFunction");
    }
    Trace("registration", 0, result);
    CheckRegistration(scene(), hostData, answer, result, before);
  }

  FuzzInput& in_;
  host::StandInHost host_;
  GuardedImage inputImage_;
  GuardedImage outputImage_;
  bool deep_ = false;
  void* extra_ = nullptr;
};

}  // namespace
}  // namespace velk::fuzz

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // The mode line of a parameter change is the effect's own output, not a
  // finding; libFuzzer reports on standard error.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) {
    std::fprintf(stderr, "velk fuzz: standard output stays open\n");
  }
  // Loaded before the first input, so that the module's coverage counters
  // are known to the fuzzer from the start.
  static const velk::host::EffectModule module(
      velk::host::EffectModule::DefaultPath());
  velk::fuzz::gModule = &module;
  velk::fuzz::gTrace = std::getenv("VELK_FUZZ_TRACE") != nullptr;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  velk::fuzz::FuzzInput in(data, size);
  velk::fuzz::Session session(in);
  session.Run();
  return 0;
}
