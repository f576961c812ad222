#include "tests/unit/fake_basic_suite.h"

namespace velk::test {

namespace {

FakeBasicSuite* current = nullptr;

std::string Key(const char* name, std::int32_t version) {
  return std::string(name) + " " + std::to_string(version);
}

ErrorCode Acquire(const char* name, std::int32_t version, const void** suite) {
  const std::string key = Key(name, version);
  current->calls.push_back("acquire " + key);
  const bool fails = current->failOnly.empty() || current->failOnly == key;
  if (fails && current->acquireResult != 0) return current->acquireResult;
  if (!fails || current->acquireStoresSuite) *suite = &current->suiteTable;
  return 0;
}

ErrorCode Release(const char* name, std::int32_t version) {
  current->calls.push_back("release " + Key(name, version));
  return current->releaseResult;
}

}  // namespace

FakeBasicSuite::FakeBasicSuite() {
  current = this;
  table.acquireSuite = &Acquire;
  table.releaseSuite = &Release;
}

FakeBasicSuite::~FakeBasicSuite() { current = nullptr; }

}  // namespace velk::test
