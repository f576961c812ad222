// A small host written from what the effect expects of its host: it owns the
// records of every command, serves callback suites by name and version,
// answers the effect's callbacks, logs every host call it receives so that
// tests can assert exact sequences, and can inject each fault the effect
// must survive. It drives the effect only through the module's exports, and
// knows none of its parameters: it learns them at parameter setup.
//
// One StandInHost exists at a time: the host's callbacks are plain function
// pointers with no context, so they reach the live host through a static.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "abi/ansi_suite.h"
#include "abi/basic_suite.h"
#include "abi/changed_param_extra.h"
#include "abi/input_record.h"
#include "abi/iterate_suites.h"
#include "abi/param_utils_suite.h"
#include "abi/utility_callbacks.h"
#include "host/effect_module.h"

namespace velk::host {

// The effect broke the host contract in a way that the host cannot go on
// from: its parameter setup reported a parameter count that disagrees with
// the definitions it added.
class ProtocolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Faults that the host injects on purpose; the defaults inject none. Counted
// faults count from 1 within each command.
struct HostFaults {
  bool nullBasicSuite = false;  // the input record carries no basic suite
  // Acquiring exactly this pair fails: with `code`, or, when `code` is 0,
  // with result 0 and no suite stored.
  struct Acquire {
    std::string name;
    std::int32_t version;
    ErrorCode code;
  };
  std::vector<Acquire> acquire;
  ErrorCode releaseResult = 0;  // what every release reports
  ErrorCode printResult = 0;    // what the formatted print reports
  int addParamFailAt = 0;       // the k-th add fails with addParamCode
  ErrorCode addParamCode = 0;
  int updateFailAt = 0;  // the k-th parameter-UI update fails with updateCode
  ErrorCode updateCode = 0;
  ErrorCode iterateResult = 0;  // what an iterate reports after its pixels
};

// A definition as the host received it from addParam or an update.
struct ReceivedDefinition {
  EffectRef effectRef;
  std::int32_t index;
  const ParamDefinition* address;  // where the effect's record was
  ParamDefinition copy;            // its bytes at the time of the call
};

// One iterate call as the host received it.
struct ReceivedIterate {
  int depth;  // 8 or 16
  InputRecord* input;
  std::int32_t progressBase;
  std::int32_t progressEnd;
  ImageRecord* source;
  const IterateArea* area;
  void* refcon;
  ImageRecord* dest;
  // The first StandInHost::refconSnapshotBytes bytes of the reference value
  // at the time of the call; empty when none were asked for or the
  // reference value is null.
  std::vector<std::uint8_t> refconBytes;
};

// One registration call as the host received it.
struct ReceivedRegistration {
  void* hostData;
  std::string name;
  std::string matchName;
  std::string category;
  std::string entryPoint;
  std::int32_t kind;
  std::int32_t interfaceVersionMajor;
  std::int32_t interfaceVersionMinor;
  std::int32_t reservedInfo;
};

// The name that a parameter was declared with: the text of its 32-byte name
// field, up to its NUL or the field's end.
std::string_view NameOf(const ParamDefinition& definition);

// True while the calling thread runs the host's own work inside one of its
// callbacks (logging, recording what it received), which allocates; false
// while an iterate walks the pixels and calls the pixel function. Lets a
// test tell the host's allocations from the module's.
bool InHostWork();

class StandInHost {
 public:
  explicit StandInHost(const EffectModule& module);
  ~StandInHost();
  StandInHost(const StandInHost&) = delete;
  StandInHost& operator=(const StandInHost&) = delete;

  // Calls EffectMain with the host's records and `extra`, applying the
  // null-basic-suite fault for this call. After a parameter setup that
  // returns 0, the definitions that it handed to addParam become the
  // parameter array behind the input layer; throws ProtocolError when the
  // effect's paramCount does not count them and the input layer.
  ErrorCode Command(std::int32_t selector, void* extra = nullptr);
  // Calls PluginDataEntryFunction with the host's registration callback;
  // `registrationResult` is what that callback answers.
  ErrorCode Register(void* hostData, ErrorCode registrationResult = 0);

  // Sets the input record's layer size to width x height and its downsample
  // factors, and lays out the input layer (parameter 0) and the output image
  // at the downsampled size, 8 or 16 bits per channel. Pixels start as zero.
  void SetLayer(std::int32_t width, std::int32_t height, bool deep,
                DownsampleFactor x = {1, 1}, DownsampleFactor y = {1, 1});
  ImageRecord& inputImage() { return params[0].image; }

  // The declared parameter of that name; throws std::out_of_range when the
  // effect declared none.
  ParamDefinition& Param(std::string_view name);

  // Walks the output image with `pixelFunction` and `refcon` the way a
  // render does, without the module: the iterate suite of the pixel's depth
  // acquired through the basic suite, one iterate over the input layer and
  // the output image, then the release. For measuring and testing the
  // host's own walk.
  template <typename Pixel>
  ErrorCode IterateWith(PixelFunction<Pixel> pixelFunction, void* refcon);

  // Every host call received since the last ClearCalls, one line each:
  // "acquire NAME VERSION", "release NAME VERSION", "formatPrint",
  // "copyString TEXT", "addParam INDEX", "update INDEX",
  // "iterate8 BASE END" / "iterate16 BASE END", "register".
  std::vector<std::string> Calls() const;
  void ClearCalls();
  // Suites acquired and not yet released, as "NAME VERSION" -> count.
  std::map<std::string, int> Outstanding() const;

  // The records that every command is handed. The parameter array holds
  // the input layer, then the parameters of the last successful parameter
  // setup in the order of their adds, with no change flagged.
  InputRecord input{};
  OutputRecord output{};
  std::vector<ParamDefinition> params;
  std::vector<ParamDefinition*> paramArray;
  ImageRecord outputImage{};
  ChangedParamExtra changed{};
  std::vector<std::uint8_t> inputPixels;
  std::vector<std::uint8_t> outputPixels;

  HostFaults faults;
  // Rows are split over this many threads (the calling one among them), or
  // fewer when the system gives no more: iterateThreadsUsed says how many
  // walked the last iterate's rows.
  int iterateThreads = 1;
  int iterateThreadsUsed = 0;
  // A callback found no memory for the host's own work and answered with an
  // error (callbacks never throw into the module).
  bool ranOutOfMemory = false;
  // How many bytes of a non-null reference value an iterate copies into
  // ReceivedIterate::refconBytes. The reference value is the module's own
  // record and the host knows nothing of its size: whoever asks for a copy
  // says how many bytes it holds. 0 copies none.
  std::size_t refconSnapshotBytes = 0;

  // What the effect handed to the host's callbacks.
  std::vector<ReceivedDefinition> added;    // addParam, in call order
  std::vector<ReceivedDefinition> updates;  // parameter-UI updates
  std::vector<ReceivedIterate> iterates;
  std::vector<ReceivedRegistration> registrations;
  char* lastPrintDest = nullptr;

  // The opaque effect reference that the host hands out.
  static EffectRef HostEffectRef();

 private:
  void Log(std::string line);
  // Runs `work(host)`, the host's side of a callback, as its own work (see
  // InHostWork) and turns any exception into an error result.
  template <typename Work>
  static ErrorCode HostCall(Work work) noexcept;
  void TakeDeclaredParameters(std::size_t firstAdd);
  static StandInHost& Current();

  static ErrorCode Acquire(const char* name, std::int32_t version,
                           const void** suite);
  static ErrorCode Release(const char* name, std::int32_t version);
  static ErrorCode FormatPrint(char* dest, const char* format, ...);
  static ErrorCode CopyString(char* dest, const char* source);
  static ErrorCode AddParam(EffectRef effectRef, std::int32_t index,
                            const ParamDefinition* definition);
  static ErrorCode UpdateParamUI(EffectRef effectRef, std::int32_t index,
                                 const ParamDefinition* definition);
  template <typename Pixel>
  static ErrorCode Iterate(InputRecord* input, std::int32_t progressBase,
                           std::int32_t progressEnd, ImageRecord* source,
                           const IterateArea* area, void* refcon,
                           PixelFunction<Pixel> pixelFunction,
                           ImageRecord* dest);
  static ErrorCode Registration(void* hostData, const char* name,
                                const char* matchName, const char* category,
                                const char* entryPoint, std::int32_t kind,
                                std::int32_t interfaceVersionMajor,
                                std::int32_t interfaceVersionMinor,
                                std::int32_t reservedInfo);

  const EffectModule& module_;
  BasicSuite basicSuite_{};
  UtilityCallbacks utilityCallbacks_{};
  AnsiSuite ansiSuite_{};
  ParamUtilsSuite paramUtilsSuite_{};
  Iterate8Suite iterate8Suite_{};
  Iterate16Suite iterate16Suite_{};
  std::map<std::pair<std::string, std::int32_t>, const void*> suites_;

  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::map<std::string, int> outstanding_;
  int addCount_ = 0;
  int updateCount_ = 0;
  ErrorCode registrationResult_ = 0;

  static StandInHost* current_;
};

}  // namespace velk::host
