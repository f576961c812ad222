// The module's registration entry, exported as "PluginDataEntryFunction".
#pragma once

#include "abi/entry_points.h"
#include "abi/host_abi.h"

// Hands the effect's identity to the host's registration callback in one
// call and returns that callback's result unchanged. The arguments after the
// callback belong to the host and are not read.
VELK_EXPORT velk::PluginDataEntryFunc PluginDataEntryFunction;
