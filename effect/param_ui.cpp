// The two handlers that keep the host's controls in step with the "Type"
// popup: while it holds "Individual" the four margin sliders are enabled and
// "Width", "Height" and "Center" are disabled; for any other choice the
// reverse. Both hand the definitions back to the host one by one through
// "PF Param Utils Suite" 3.
#include <cstddef>
#include <cstdio>

#include "effect/handlers.h"
#include "effect/param_index.h"
#include "suites/suite_handler.h"

namespace velk {
namespace {

constexpr ParamIndex kMarginGroup[] = {kParamLeft, kParamRight, kParamTop,
                                       kParamBottom};
constexpr ParamIndex kBoxGroup[] = {kParamWidth, kParamHeight, kParamCenter};

// Update orders: a changed parameter sends "Invert" before "Center"; a UI
// update leaves "Invert" out.
constexpr ParamIndex kChangedParamUpdates[] = {
    kParamLeft,  kParamRight,  kParamTop,    kParamBottom,
    kParamWidth, kParamHeight, kParamInvert, kParamCenter};
constexpr ParamIndex kParameterUIUpdates[] = {
    kParamLeft,  kParamRight,  kParamTop,   kParamBottom,
    kParamWidth, kParamHeight, kParamCenter};

template <std::size_t kCount>
void SetUiFlags(ParamList params, const ParamIndex (&indices)[kCount],
                std::int32_t uiFlags) {
  // The whole word: no bit that the host had there survives.
  for (const ParamIndex index : indices) params[index]->uiFlags = uiFlags;
}

// Marks each listed parameter as changed and, while every update so far
// succeeded, hands its definition to the host. Every listed parameter gets
// its changeFlags, also after an update failed; the first failure is
// returned. The suite is asked for only when an update is due, so a missing
// suite is thrown right after the first parameter's changeFlags.
template <std::size_t kCount>
ErrorCode UpdateControls(SuiteHandler& suites, const InputRecord& input,
                         ParamList params,
                         const ParamIndex (&indices)[kCount]) {
  ErrorCode result = kErrNone;
  for (const ParamIndex index : indices) {
    params[index]->changeFlags = kChangeFlagValueChanged;
    if (result == kErrNone) {
      result = suites.ParamUtilsSuite3()->updateParamUI(input.effectRef, index,
                                                        params[index]);
    }
  }
  return result;
}

}  // namespace

ErrorCode UserChangedParam(InputRecord* input, OutputRecord* /*output*/,
                           ParamList params, ChangedParamExtra* extra) {
  SuiteHandler suites(input->basicSuite);

  if (extra->changedIndex == kParamType) {
    const bool individual = params[kParamType]->popup.value == kTypeIndividual;
    // Whether the line reached standard output is not looked at.
    std::fputs(individual ? "individual" : "width height", stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    SetUiFlags(params, kMarginGroup,
               individual ? kUiFlagsEnabled : kUiFlagsDisabled);
    SetUiFlags(params, kBoxGroup,
               individual ? kUiFlagsDisabled : kUiFlagsEnabled);
  }

  return UpdateControls(suites, *input, params, kChangedParamUpdates);
}

ErrorCode UpdateParameterUI(InputRecord* input, OutputRecord* /*output*/,
                            ParamList params, ImageRecord* /*outputImage*/,
                            void* /*extra*/) {
  SuiteHandler suites(input->basicSuite);
  return UpdateControls(suites, *input, params, kParameterUIUpdates);
}

}  // namespace velk
