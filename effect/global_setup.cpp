#include "effect/effect_identity.h"
#include "effect/handlers.h"

namespace velk {

// Uses no suite and sets up no global data; only these two words of the
// output record are written.
ErrorCode GlobalSetup(InputRecord* /*input*/, OutputRecord* output,
                      ParamList /*params*/, ImageRecord* /*outputImage*/) {
  output->version = kEffectVersionWord;
  output->outFlags = kEffectGlobalFlags;
  return kErrNone;
}

}  // namespace velk
