#include "effect/string_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tests/host_contract.h"

namespace velk {
namespace {

TEST(StringTable, TextsOfTheIdsThatCarryMeaning) {
  struct Case {
    std::int32_t id;
    const char* text;
  };
  const Case cases[] = {
      {0, ""},
      {4, test::kTypeChoices},
      {12, "Invert"},
      {13, test::kInvertLabel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(std::string(GetStringPtr(c.id)), c.text);
    // The entry's own field, the same on every lookup: never a copy.
    EXPECT_EQ(GetStringPtr(c.id), kStringTable[c.id].text);
    EXPECT_EQ(GetStringPtr(c.id), GetStringPtr(c.id));
  }
}

TEST(StringTable, IdsOutsideTheTableGiveTheEmptyText) {
  const std::int32_t outside[] = {-1, 14, 15, 1000, INT32_MIN, INT32_MAX};
  for (std::int32_t id : outside) {
    SCOPED_TRACE(id);
    const char* text = GetStringPtr(id);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(*text, '\0');
    EXPECT_EQ(text, kStringTable[0].text);
  }
}

TEST(StringTable, StoredIdsMatchPositionsAndFieldsAreZeroBehindTheText) {
  for (int position = 0; position < kStringCount; ++position) {
    SCOPED_TRACE(position);
    const StringEntry& entry = kStringTable[position];
    EXPECT_EQ(entry.id, position);
    bool pastText = false;
    for (int i = 0; i < kStringTextSize; ++i) {
      if (pastText) {
        EXPECT_EQ(entry.text[i], '\0') << "character " << i;
      }
      if (entry.text[i] == '\0') pastText = true;
    }
    EXPECT_TRUE(pastText);
  }
}

}  // namespace
}  // namespace velk
