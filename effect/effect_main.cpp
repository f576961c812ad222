#include "effect/effect_main.h"

#include "effect/handlers.h"

using namespace velk;

ErrorCode EffectMain(std::int32_t selector, InputRecord* input,
                     OutputRecord* output, ParamList params,
                     ImageRecord* outputImage, void* extra) {
  ErrorCode result = kErrNone;
  try {
    // Taken as unsigned, every negative selector lies above 14.
    switch (static_cast<std::uint32_t>(selector)) {
      case kCmdRender:
        result = Render(input, output, params, outputImage);
        break;
      default:
        break;
    }
  } catch (ErrorCode& thrown) {
    result = thrown;
  }
  static_cast<void>(input);
  static_cast<void>(output);
  static_cast<void>(params);
  static_cast<void>(outputImage);
  static_cast<void>(extra);
  return result;
}
