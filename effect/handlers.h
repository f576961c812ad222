// The effect's command handlers, one per served command selector. Each
// returns the ErrorCode that EffectMain hands to the host.
#pragma once

#include "abi/changed_param_extra.h"
#include "abi/command.h"
#include "abi/error_code.h"
#include "abi/image_record.h"
#include "abi/input_record.h"
#include "abi/output_record.h"
#include "abi/param_definition.h"

namespace velk {

// About (selector 0): the about text into output->returnMessage.
ErrorCode About(InputRecord* input, OutputRecord* output, ParamList params,
                ImageRecord* outputImage);
// Global setup (selector 1): the version word and the global flags.
ErrorCode GlobalSetup(InputRecord* input, OutputRecord* output,
                      ParamList params, ImageRecord* outputImage);
// Parameter setup (selector 4): the nine parameters, then paramCount 10.
ErrorCode ParamsSetup(InputRecord* input, OutputRecord* output,
                      ParamList params, ImageRecord* outputImage);
// Render (selector 11): the output image from the input layer.
ErrorCode Render(InputRecord* input, OutputRecord* output, ParamList params,
                 ImageRecord* outputImage);
// User changed a parameter (selector 13); `extra` is a ChangedParamExtra.
ErrorCode UserChangedParam(InputRecord* input, OutputRecord* output,
                           ParamList params, ChangedParamExtra* extra);
// Update parameters UI (selector 14).
ErrorCode UpdateParameterUI(InputRecord* input, OutputRecord* output,
                            ParamList params, ImageRecord* outputImage,
                            void* extra);

}  // namespace velk
