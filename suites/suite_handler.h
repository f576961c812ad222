// Gives one command handler the host's callback suites: each suite is
// acquired through the host's basic suite the first time it is asked for,
// handed back from its slot on later requests, and released when the
// SuiteHandler is destroyed, also while an ErrorCode is thrown through it.
//
// A missing basic suite, or a suite that the host cannot supply, is thrown
// as the plain ErrorCode kErrMissingSuite (516); EffectMain catches it.
#pragma once

#include "abi/ansi_suite.h"
#include "abi/basic_suite.h"
#include "abi/error_code.h"
#include "abi/iterate_suites.h"
#include "abi/param_utils_suite.h"
#include "suites/suite_slots.h"

namespace velk {

class SuiteHandler {
 public:
  // Throws kErrMissingSuite when `basicSuite` is null; no object then exists
  // and nothing is released.
  explicit SuiteHandler(const BasicSuite* basicSuite);
  ~SuiteHandler();

  SuiteHandler(const SuiteHandler&) = delete;
  SuiteHandler& operator=(const SuiteHandler&) = delete;

  // Each accessor never returns null: it throws kErrMissingSuite instead, and
  // leaves its slot null.
  const AnsiSuite* ANSICallbacksSuite1() { return Suite<AnsiSuite, 54>(); }
  const ParamUtilsSuite* ParamUtilsSuite3() {
    return Suite<ParamUtilsSuite, 66>();
  }
  const Iterate8Suite* Iterate8Suite1() { return Suite<Iterate8Suite, 81>(); }
  const Iterate16Suite* Iterate16Suite1() {
    return Suite<Iterate16Suite, 82>();
  }

  // Slot k (1 to 135): null until its suite was acquired through this object.
  const void* Slot(int k) const { return slots_[k - 1]; }

  [[noreturn]] static void MissingSuiteError();

 private:
  friend struct SuiteHandlerTestAccess;  // fills arbitrary slots in tests

  template <typename Table, int kSlot>
  const Table* Suite() {
    static_assert(SlotRow(kSlot).slot == kSlot, "slot has a suite");
    const void*& slot = slots_[kSlot - 1];
    if (slot == nullptr) {
      slot = LoadSuite(SlotRow(kSlot).name, SlotRow(kSlot).version);
    }
    return static_cast<const Table*>(slot);
  }

  const void* LoadSuite(const char* name, std::int32_t version);
  void ReleaseSuite(const char* name, std::int32_t version);
  void ReleaseAllSuites();

  const BasicSuite* const basicSuite_;
  const void* slots_[kSuiteSlotCount];
};

// The accessors' slots hold the suites that their table types describe.
static_assert(StringsEqual(SlotRow(54).name, kAnsiSuiteName) &&
              SlotRow(54).version == kAnsiSuiteVersion);
static_assert(StringsEqual(SlotRow(66).name, kParamUtilsSuiteName) &&
              SlotRow(66).version == kParamUtilsSuiteVersion);
static_assert(StringsEqual(SlotRow(81).name, kIterate8SuiteName) &&
              SlotRow(81).version == kIterateSuiteVersion);
static_assert(StringsEqual(SlotRow(82).name, kIterate16SuiteName) &&
              SlotRow(82).version == kIterateSuiteVersion);

}  // namespace velk
