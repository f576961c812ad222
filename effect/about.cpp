#include "effect/handlers.h"
#include "effect/string_table.h"
#include "suites/suite_handler.h"

namespace velk {

namespace {

// Name, version and description on two lines parted by a carriage return
// alone. The version shown is fixed, not taken from the version word.
constexpr const char* kAboutFormat = "%s v%d.%d\r%s";
constexpr std::int32_t kAboutVersionMajor = 1;
constexpr std::int32_t kAboutVersionMinor = 0;

}  // namespace

ErrorCode About(InputRecord* input, OutputRecord* output, ParamList /*params*/,
                ImageRecord* /*outputImage*/) {
  SuiteHandler suites(input->basicSuite);
  const char* description = GetStringPtr(kStrDescription);
  const char* name = GetStringPtr(kStrName);
  char* dest = output->returnMessage;
  // The host's print takes no length; the text needs 39 bytes with its NUL.
  // Its result is not looked at.
  static_cast<void>(suites.ANSICallbacksSuite1()->formatPrint(
      dest, kAboutFormat, name, kAboutVersionMajor, kAboutVersionMinor,
      description));
  return kErrNone;
}

}  // namespace velk
