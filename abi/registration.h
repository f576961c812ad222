// The host's registration callback, handed to PluginDataEntryFunction.
#pragma once

#include "abi/error_code.h"
#include "abi/host_abi.h"

namespace velk {

// Called once with the effect's identity; its result is returned unchanged.
using RegistrationCallback = ErrorCode (*)(
    void* hostData, const char* name, const char* matchName,
    const char* category, const char* entryPoint, std::int32_t kind,
    std::int32_t interfaceVersionMajor, std::int32_t interfaceVersionMinor,
    std::int32_t reservedInfo);

}  // namespace velk
