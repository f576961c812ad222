// The host's per-call output record. The effect only writes it.
#pragma once

#include "abi/host_abi.h"

namespace velk {

struct OutputRecord {
  std::uint32_t version;  // the effect's packed version word
  std::uint8_t hostOwned0[44];
  std::int32_t paramCount;  // parameters including the input layer
  std::uint8_t hostOwned1[44];
  std::uint32_t outFlags;  // the effect's global flags
  // The about text, NUL-terminated. Its capacity is the host's; the effect's
  // text needs 39 bytes.
  char returnMessage[256];
};
VELK_ASSERT_FIELD(OutputRecord, version, 0, 4);
VELK_ASSERT_FIELD(OutputRecord, paramCount, 48, 4);
VELK_ASSERT_FIELD(OutputRecord, outFlags, 96, 4);
static_assert(offsetof(OutputRecord, returnMessage) == 100,
              "OutputRecord.returnMessage must lie at byte 100");

}  // namespace velk
