// Who the effect is to the host: the same identity is carried by the
// registration call and by the module's plug-in property list resource.
#pragma once

#include <cstdint>

#include "abi/entry_points.h"

namespace velk {

constexpr const char* kEffectName = "Velk";
constexpr const char* kEffectMatchName = "ADBE Velk";
constexpr const char* kEffectCategory = "ORVANE";
// The entry point that the host is told of is the module's export.
constexpr const char* kEffectEntryPoint = kEffectMainExport;
constexpr std::int32_t kEffectKind = 0x65464B54;  // 'eFKT'
constexpr std::int32_t kInterfaceVersionMajor = 13;
constexpr std::int32_t kInterfaceVersionMinor = 25;
constexpr std::int32_t kRegistrationReservedInfo = 8;

// The effect's packed version word and its global flags (bit 25: deep
// colour aware), written at global setup and carried by the resource.
constexpr std::uint32_t kEffectVersionWord = 0x80001;
constexpr std::uint32_t kEffectGlobalFlags = 0x2000000;

}  // namespace velk
