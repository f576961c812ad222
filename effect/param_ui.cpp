// The two handlers that keep the host's controls in step with the "Type"
// popup: while it holds "Individual" the four margin sliders are enabled and
// "Width", "Height" and "Center" are disabled; for any other choice the
// reverse. Both hand the definitions back to the host one by one through
// "PF Param Utils Suite" 3.
#include <cstddef>
#include <iostream>

#include "effect/handlers.h"
#include "suites/suite_handler.h"

namespace velk {
namespace {

// The "Type" popup and its "Individual" choice (choices count from 1).
constexpr std::int32_t kTypeIndex = 1;
constexpr std::int32_t kIndividualChoice = 1;

// Indices in the parameter array; each parameter's id is its index.

constexpr std::int32_t kMarginGroup[] = {2, 3, 4, 5};  // Left .. Bottom
constexpr std::int32_t kBoxGroup[] = {6, 7, 8};        // Width, Height, Center

// Update orders: a changed parameter sends "Invert" (9) before "Center" (8);
// a UI update leaves "Invert" out.
constexpr std::int32_t kChangedParamUpdates[] = {2, 3, 4, 5, 6, 7, 9, 8};
constexpr std::int32_t kParameterUIUpdates[] = {2, 3, 4, 5, 6, 7, 8};

template <std::size_t kCount>
void SetUiFlags(ParamList params, const std::int32_t (&indices)[kCount],
                std::int32_t uiFlags) {
  // The whole word: no bit that the host had there survives.
  for (const std::int32_t index : indices) params[index]->uiFlags = uiFlags;
}

// Marks each listed parameter as changed and, while every update so far
// succeeded, hands its definition to the host. Every listed parameter gets
// its changeFlags, also after an update failed; the first failure is
// returned. The suite is asked for only when an update is due, so a missing
// suite is thrown right after the first parameter's changeFlags.
template <std::size_t kCount>
ErrorCode UpdateControls(SuiteHandler& suites, const InputRecord& input,
                         ParamList params,
                         const std::int32_t (&indices)[kCount]) {
  ErrorCode result = kErrNone;
  for (const std::int32_t index : indices) {
    params[index]->changeFlags = kChangeFlagValueChanged;
    if (result == kErrNone) {
      result = suites.ParamUtilsSuite3()->updateParamUI(input.effectRef, index,
                                                        params[index]);
    }
  }
  return result;
}

}  // namespace

ErrorCode UserChangedParam(InputRecord* input, OutputRecord* output,
                           ParamList params, ChangedParamExtra* extra) {
  static_cast<void>(output);
  SuiteHandler suites(input->basicSuite);

  if (extra->changedIndex == kTypeIndex) {
    const bool individual =
        params[kTypeIndex]->popup.value == kIndividualChoice;
    // Whether the line reached standard output is not looked at.
    std::cout << (individual ? "individual" : "width height") << '\n';
    std::cout.flush();
    SetUiFlags(params, kMarginGroup,
               individual ? kUiFlagsEnabled : kUiFlagsDisabled);
    SetUiFlags(params, kBoxGroup,
               individual ? kUiFlagsDisabled : kUiFlagsEnabled);
  }

  return UpdateControls(suites, *input, params, kChangedParamUpdates);
}

ErrorCode UpdateParameterUI(InputRecord* input, OutputRecord* output,
                            ParamList params, ImageRecord* outputImage,
                            void* extra) {
  static_cast<void>(output);
  static_cast<void>(outputImage);
  static_cast<void>(extra);
  SuiteHandler suites(input->basicSuite);
  return UpdateControls(suites, *input, params, kParameterUIUpdates);
}

}  // namespace velk
