#include "suites/suite_handler.h"

namespace velk {

// The basic-suite pointer, then slots 1 to 135, with nothing in between.
static_assert(sizeof(SuiteHandler) == sizeof(void*) * (1 + kSuiteSlotCount),
              "SuiteHandler holds the basic suite and 135 slots");

SuiteHandler::SuiteHandler(const BasicSuite* basicSuite)
    : basicSuite_(basicSuite), slots_{} {
  if (basicSuite_ == nullptr) MissingSuiteError();
}

SuiteHandler::~SuiteHandler() { ReleaseAllSuites(); }

void SuiteHandler::MissingSuiteError() { throw ErrorCode{kErrMissingSuite}; }

const void* SuiteHandler::LoadSuite(const char* name, std::int32_t version) {
  const void* suite = nullptr;
  // The host's own error value is not passed on: any failure is 516.
  if (basicSuite_->acquireSuite(name, version, &suite) != kErrNone ||
      suite == nullptr) {
    MissingSuiteError();
  }
  return suite;
}

void SuiteHandler::ReleaseSuite(const char* name, std::int32_t version) {
  static_cast<void>(basicSuite_->releaseSuite(name, version));
}

void SuiteHandler::ReleaseAllSuites() {
  // The table's order, not the order of acquisition. Slots keep their
  // pointers: nothing reads them once the handler is gone.
  for (const SuiteSlot& row : kReleaseOrder) {
    if (slots_[row.slot - 1] != nullptr) ReleaseSuite(row.name, row.version);
  }
}

}  // namespace velk
