#include <climits>

#include "tests/protocol/host_fixture.h"

namespace velk::test {
namespace {

using RegistrationTest = HostTest;

// Each call hands the host's data pointer and the effect's identity to the
// registration callback once, in the callback's argument order, and returns
// whatever the callback answers.
TEST_F(RegistrationTest, CallsTheCallbackOnceAndReturnsItsResult) {
  int hostData = 0;
  const struct {
    const char* what;
    void* hostData;
    ErrorCode callbackResult;
  } cases[] = {
      {"accepted", &hostData, 0},
      {"accepted, null host data", nullptr, 0},
      {"refused", &hostData, 1},
      {"refused, null host data", nullptr, kMissingSuite},
      {"negative code", &hostData, -1},
      {"lowest code", &hostData, INT32_MIN},
      {"highest code", &hostData, INT32_MAX},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    host.registrations.clear();
    host.ClearCalls();

    EXPECT_EQ(host.Register(c.hostData, c.callbackResult), c.callbackResult);

    EXPECT_EQ(host.Calls(), Calls{"register"});
    ASSERT_EQ(host.registrations.size(), 1u);
    const host::ReceivedRegistration& received = host.registrations[0];
    EXPECT_EQ(received.hostData, c.hostData);
    EXPECT_EQ(received.name, kName);
    EXPECT_EQ(received.matchName, kMatchName);
    EXPECT_EQ(received.category, kCategory);
    EXPECT_EQ(received.entryPoint, kEntryPoint);
    EXPECT_EQ(received.kind, kKind);
    EXPECT_EQ(received.interfaceVersionMajor, kInterfaceMajor);
    EXPECT_EQ(received.interfaceVersionMinor, kInterfaceMinor);
    EXPECT_EQ(received.reservedInfo, kReservedInfo);
  }
}

}  // namespace
}  // namespace velk::test
