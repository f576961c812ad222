// The module's two exports, as the host finds them by name and calls them.
// The module declares its definitions with these types, and a host calls
// them through pointers to them, so both sides share one signature.
#pragma once

#include "abi/error_code.h"
#include "abi/host_abi.h"
#include "abi/image_record.h"
#include "abi/input_record.h"
#include "abi/output_record.h"
#include "abi/param_definition.h"
#include "abi/registration.h"

namespace velk {

// The command entry point. The host calls it for every command with the
// selector (abi/command.h), its records for this call and the command's
// extra record (for the user-changed-parameter command a ChangedParamExtra),
// and receives the command's ErrorCode.
using EffectMainFunc = ErrorCode(std::int32_t selector, InputRecord* input,
                                 OutputRecord* output, ParamList params,
                                 ImageRecord* outputImage, void* extra);

// The registration entry: hands the effect's identity to `callback` and
// returns its result. The arguments after the callback belong to the host
// and are not read.
using PluginDataEntryFunc = ErrorCode(void* hostData,
                                      RegistrationCallback callback,
                                      const void* hostArg3,
                                      const void* hostArg4,
                                      const void* hostArg5);

// The names under which the module exports them.
constexpr const char* kEffectMainExport = "EffectMain";
constexpr const char* kPluginDataEntryExport = "PluginDataEntryFunction";

}  // namespace velk
