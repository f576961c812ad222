#include "effect/effect_main.h"

#include <type_traits>

#include "effect/handlers.h"

using namespace velk;

ErrorCode EffectMain(std::int32_t selector, InputRecord* input,
                     OutputRecord* output, ParamList params,
                     ImageRecord* outputImage, void* extra) {
  ErrorCode result = kErrNone;
  try {
    // Taken as unsigned, every negative selector lies above 14.
    switch (static_cast<std::uint32_t>(selector)) {
      case kCmdAbout:
        result = About(input, output, params, outputImage);
        break;
      case kCmdGlobalSetup:
        result = GlobalSetup(input, output, params, outputImage);
        break;
      case kCmdParamsSetup:
        result = ParamsSetup(input, output, params, outputImage);
        break;
      case kCmdRender:
        result = Render(input, output, params, outputImage);
        break;
      case kCmdUserChangedParam:
        result = UserChangedParam(input, output, params,
                                  static_cast<ChangedParamExtra*>(extra));
        break;
      case kCmdUpdateParameterUI:
        result = UpdateParameterUI(input, output, params, outputImage, extra);
        break;
      default:
        break;
    }
  } catch (ErrorCode& thrown) {
    result = thrown;
  }
  return result;
}

// One function: the definition above is the exported one that the header
// declared with the contract's type, not an overload of it.
static_assert(std::is_same_v<decltype(EffectMain), EffectMainFunc>);
