#include "effect/plugin_data_entry.h"

#include <type_traits>

#include "effect/effect_identity.h"

using namespace velk;

ErrorCode PluginDataEntryFunction(void* hostData, RegistrationCallback callback,
                                  const void* /*hostArg3*/,
                                  const void* /*hostArg4*/,
                                  const void* /*hostArg5*/) {
  return callback(hostData, kEffectName, kEffectMatchName, kEffectCategory,
                  kEffectEntryPoint, kEffectKind, kInterfaceVersionMajor,
                  kInterfaceVersionMinor, kRegistrationReservedInfo);
}

// One function: the definition above is the exported one that the header
// declared with the contract's type, not an overload of it.
static_assert(
    std::is_same_v<decltype(PluginDataEntryFunction), PluginDataEntryFunc>);
