// The module's registration entry, exported as "PluginDataEntryFunction".
#pragma once

#include "effect/error_code.h"
#include "effect/host_abi.h"
#include "effect/registration.h"

// Hands the effect's identity to the host's registration callback in one
// call and returns that callback's result unchanged. The arguments after the
// callback belong to the host and are not read.
VELK_EXPORT velk::ErrorCode PluginDataEntryFunction(
    void* hostData, velk::RegistrationCallback callback, const void* hostArg3,
    const void* hostArg4, const void* hostArg5);
