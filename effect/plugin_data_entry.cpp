#include "effect/plugin_data_entry.h"

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
