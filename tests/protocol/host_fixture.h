// Every protocol test drives the built module through a fresh stand-in host;
// the module itself is loaded once per test program.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/effect_module.h"
#include "host/stand_in_host.h"

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

// The bytes of a record, to show that a command left it untouched.
template <typename Record>
std::vector<unsigned char> BytesOf(const Record& record) {
  std::vector<unsigned char> bytes(sizeof record);
  std::memcpy(bytes.data(), &record, sizeof record);
  return bytes;
}

}  // namespace velk::test
