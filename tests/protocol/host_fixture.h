// Every protocol test drives the built module through a fresh stand-in host;
// the module itself is loaded once per test program.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/effect_module.h"
#include "host/stand_in_host.h"
#include "tests/host_contract.h"

namespace velk::test {

using Calls = std::vector<std::string>;

inline const host::EffectModule& LoadedModule() {
  static const host::EffectModule module(host::EffectModule::DefaultPath());
  return module;
}

class HostTest : public testing::Test {
 protected:
  HostTest() : host(LoadedModule()) {}
  host::StandInHost host;
};

// A host that has applied the effect, as a host does before any other
// command: global setup and parameter setup ran, and what they made the host
// record is forgotten.
class SetUpHostTest : public HostTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(host.Command(kGlobalSetup), kOk);
    ASSERT_EQ(host.Command(kParamsSetup), kOk);
    host.ClearCalls();
    host.added.clear();
  }
};

// The parameters that a render reads, set by their declared names.
struct Settings {
  std::int32_t mode;                // "Type"
  double left, right, top, bottom;  // margins, mode 1
  double width, height;             // box, mode 2
  double centerX, centerY;          // in pixels, mode 2
  std::int32_t invert = 0;          // the checkbox's whole value
};

inline void Apply(host::StandInHost& host, const Settings& s) {
  host.Param("Type").popup.value = s.mode;
  const std::pair<const char*, double> sliders[] = {
      {"Left", s.left},     {"Right", s.right}, {"Top", s.top},
      {"Bottom", s.bottom}, {"Width", s.width}, {"Height", s.height}};
  for (const auto& [name, value] : sliders) {
    host.Param(name).slider.value = value;
  }
  PointValue& center = host.Param("Center").point;
  center.xValue = static_cast<std::int32_t>(s.centerX * 65536);
  center.yValue = static_cast<std::int32_t>(s.centerY * 65536);
  host.Param("Invert").checkbox.value = s.invert;
}

// The rectangle record that a render hands its iterate as the reference
// value, read at its byte offsets from the host's copy of its 37 bytes (a
// test asks for that copy through the host's refconSnapshotBytes).
constexpr std::size_t kRectRecordBytes = 37;
struct ReceivedRect {
  std::int32_t mode;
  double left, right, top, bottom;
  std::int8_t invert;
};

inline ReceivedRect RectOf(const host::ReceivedIterate& call) {
  ReceivedRect rect{};
  if (call.refconBytes.size() != kRectRecordBytes) {
    ADD_FAILURE() << "the host copied " << call.refconBytes.size()
                  << " bytes of the reference value";
    return rect;
  }
  std::memcpy(&rect.mode, call.refconBytes.data() + 0, 4);
  std::memcpy(&rect.left, call.refconBytes.data() + 4, 8);
  std::memcpy(&rect.right, call.refconBytes.data() + 12, 8);
  std::memcpy(&rect.top, call.refconBytes.data() + 20, 8);
  std::memcpy(&rect.bottom, call.refconBytes.data() + 28, 8);
  std::memcpy(&rect.invert, call.refconBytes.data() + 36, 1);
  return rect;
}

// The bytes of a record, or of every record of a vector, to show that a
// command left them untouched.
template <typename Record>
std::vector<unsigned char> BytesOf(const Record& record) {
  std::vector<unsigned char> bytes(sizeof record);
  std::memcpy(bytes.data(), &record, sizeof record);
  return bytes;
}
template <typename Record>
std::vector<unsigned char> BytesOf(const std::vector<Record>& records) {
  std::vector<unsigned char> bytes(records.size() * sizeof(Record));
  if (!bytes.empty()) std::memcpy(bytes.data(), records.data(), bytes.size());
  return bytes;
}

}  // namespace velk::test
