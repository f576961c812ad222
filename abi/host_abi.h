// Conventions of the host boundary shared by every record and table header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#if defined(_WIN32)
#define VELK_EXPORT extern "C"
#else
#define VELK_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Records are laid out as the host's 64-bit little-endian interface: 8-byte
// pointers, and every host table is an array of 8-byte function pointers
// whose entry n lies at byte 8n.
static_assert(sizeof(void*) == 8, "the host interface is 64-bit only");
// Reals are IEEE 754 singles and doubles: the records carry them as such,
// and a render divides by a zero denominator expecting an infinity or a NaN.
static_assert(sizeof(float) == 4 && sizeof(double) == 8,
              "4-byte singles and 8-byte doubles");
static_assert(std::numeric_limits<float>::is_iec559 &&
                  std::numeric_limits<double>::is_iec559,
              "IEEE 754 reals");

#define VELK_ASSERT_FIELD(Record, field, offset, width)           \
  static_assert(offsetof(Record, field) == (offset),              \
                #Record "." #field " must lie at byte " #offset); \
  static_assert(sizeof(Record::field) == (width),                 \
                #Record "." #field " must be " #width " bytes wide")

namespace velk {

// Opaque reference to one instance of the effect inside the host.
struct EffectInstance;
using EffectRef = EffectInstance*;

}  // namespace velk
