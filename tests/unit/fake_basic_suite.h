// A basic suite whose acquire and release are recorded, for tests that drive
// SuiteHandler directly without a host.
#pragma once

#include <string>
#include <vector>

#include "abi/basic_suite.h"

namespace velk::test {

struct FakeBasicSuite {
  FakeBasicSuite();
  ~FakeBasicSuite();

  BasicSuite table{};
  std::vector<std::string> calls;  // "acquire NAME VERSION", "release ..."
  ErrorCode acquireResult = 0;     // what every acquire answers
  bool acquireStoresSuite = true;  // whether it stores a suite table
  std::string failOnly;            // when set, only "NAME VERSION" fails
  ErrorCode releaseResult = 0;
  int suiteTable = 0;  // the address handed out as every suite's table
};

}  // namespace velk::test
