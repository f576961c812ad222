#include <cstdint>
#include <cstring>
#include <sstream>

#include "tests/protocol/host_fixture.h"

namespace velk::test {
namespace {

constexpr std::size_t kDefinitionSize = 176;
constexpr std::size_t kParamCountOffset = 48;
constexpr std::int32_t kHostParamCount = -5;  // what the host had there

using Bytes = std::vector<unsigned char>;

// A definition as the host must receive it, built byte by byte from 176
// zero bytes at the host's offsets.
class Definition {
 public:
  Definition() : bytes_(kDefinitionSize, 0) {}

  template <typename Value>
  Definition& At(std::size_t offset, Value value) {
    std::memcpy(&bytes_[offset], &value, sizeof value);
    return *this;
  }

  Definition& Common(std::int32_t id, std::int32_t uiFlags,
                     std::int32_t paramType, const char* name,
                     std::uint32_t flags) {
    std::memcpy(&bytes_[16], name, std::strlen(name) + 1);
    return At(0, id).At(4, uiFlags).At(12, paramType).At(48, flags);
  }

  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

Definition Popup(const char* choices) {
  return Definition()
      .Common(1, kEnabled, kPopup, "Type", 0x42)
      .At<std::int32_t>(56, 1)  // value
      .At<std::int16_t>(60, 2)  // choiceCount
      .At<std::int16_t>(62, 1)  // defaultChoice
      .At<const char*>(64, choices);
}

Definition Slider(std::int32_t id, const char* name, std::int32_t uiFlags,
                  double value) {
  return Definition()
      .Common(id, uiFlags, kFloatSlider, name, 0x60)
      .At<double>(56, value)
      .At<float>(104, 0.0f)                       // validMin
      .At<float>(108, 50000.0f)                   // validMax
      .At<float>(112, 100.0f)                     // sliderMin
      .At<float>(116, 1000.0f)                    // sliderMax
      .At<float>(120, static_cast<float>(value))  // defaultValue
      .At<std::int16_t>(124, 1)                   // precision
      .At<std::int16_t>(126, 0)                   // displayFlags
      .At<std::uint32_t>(128, 1)                  // sliderFlags
      .At<float>(132, 0.05f);                     // curveTolerance
}

Definition Point() {
  return Definition()
      .Common(8, kDisabled, kPoint, "Center", 0x60)
      .At<std::int32_t>(56, 0x320000)  // xValue
      .At<std::int32_t>(60, 0x320000)  // yValue
      .At<std::uint8_t>(67, 0)         // restrictToBounds
      .At<std::int32_t>(68, 0x320000)  // xDefault
      .At<std::int32_t>(72, 0x320000);
}

Definition Checkbox(const char* label) {
  return Definition()
      .Common(9, kEnabled, kCheckbox, "Invert", 0x60)
      .At<std::int32_t>(56, 0)  // value
      .At<std::uint8_t>(60, 0)  // defaultValue
      .At<const char*>(64, label);
}

// The nine definitions in the order of their adds. The two text pointers are
// the ones that the effect handed over; their texts are checked apart.
std::vector<Definition> ExpectedDefinitions(const char* choices,
                                            const char* label) {
  return {Popup(choices),
          Slider(2, "Left", kEnabled, 0.0),
          Slider(3, "Right", kEnabled, 0.0),
          Slider(4, "Top", kEnabled, 0.0),
          Slider(5, "Bottom", kEnabled, 0.0),
          Slider(6, "Width", kDisabled, 500.0),
          Slider(7, "Height", kDisabled, 500.0),
          Point(),
          Checkbox(label)};
}

const Calls kAllCalls = {
    "copyString Type",   "addParam -1", "copyString Left",   "addParam -1",
    "copyString Right",  "addParam -1", "copyString Top",    "addParam -1",
    "copyString Bottom", "addParam -1", "copyString Width",  "addParam -1",
    "copyString Height", "addParam -1", "copyString Center", "addParam -1",
    "copyString Invert", "addParam -1"};

// The offsets at which two definitions differ, for a readable failure.
std::string Differences(const Bytes& got, const Bytes& want) {
  std::ostringstream out;
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (got[i] != want[i]) {
      out << " byte " << i << ": got " << int{got[i]} << " want "
          << int{want[i]} << ";";
    }
  }
  return out.str();
}

// The text pointer at byte 64: the popup's choices, the checkbox's label.
const char* TextPointerOf(const host::ReceivedDefinition& received) {
  const char* text;
  std::memcpy(&text, BytesOf(received.copy).data() + 64, sizeof text);
  return text;
}

// Whether `text` points into the definition at `record`, compared as
// integer addresses: the order of pointers into two different objects is
// not defined, nor is their difference.
bool LiesIn(const char* text, const ParamDefinition* record) {
  const auto at = reinterpret_cast<std::uintptr_t>(text);
  const auto begin = reinterpret_cast<std::uintptr_t>(record);
  return at >= begin && at - begin < kDefinitionSize;
}

class ParamsSetupTest : public HostTest {
 protected:
  ParamsSetupTest() {
    std::memset(&host.output, 0x77, sizeof host.output);
    host.output.paramCount = kHostParamCount;
  }
};

TEST_F(ParamsSetupTest, HostReceivesTheNineDefinitionsByteForByte) {
  auto expectedOutput = BytesOf(host.output);
  std::memcpy(&expectedOutput[kParamCountOffset], &kParamCountWithLayer, 4);

  ASSERT_EQ(host.Command(kParamsSetup), kOk);

  EXPECT_EQ(BytesOf(host.output), expectedOutput);
  ASSERT_EQ(host.added.size(), 9u);
  const char* choices = TextPointerOf(host.added[0]);
  const char* label = TextPointerOf(host.added[8]);
  ASSERT_NE(choices, nullptr);
  ASSERT_NE(label, nullptr);
  EXPECT_STREQ(choices, kTypeChoices);
  EXPECT_STREQ(label, kInvertLabel);
  // Both are the module's own texts, handed over by pointer: neither lies in
  // the working record, which is refilled once the add returns.
  EXPECT_FALSE(LiesIn(choices, host.added[0].address));
  EXPECT_FALSE(LiesIn(label, host.added[8].address));

  const auto expected = ExpectedDefinitions(choices, label);
  for (std::size_t i = 0; i < host.added.size(); ++i) {
    SCOPED_TRACE("parameter " + std::to_string(i + 1));
    const host::ReceivedDefinition& received = host.added[i];
    EXPECT_EQ(received.effectRef, host::StandInHost::HostEffectRef());
    EXPECT_EQ(received.index, -1);
    // One working record, refilled for every parameter.
    EXPECT_EQ(received.address, host.added[0].address);
    const Bytes got = BytesOf(received.copy);
    EXPECT_EQ(got, expected[i].bytes())
        << Differences(got, expected[i].bytes());
  }
}

TEST_F(ParamsSetupTest, CopiesTheNameThenAddsForEachParameterWithNoSuite) {
  for (bool nullBasicSuite : {false, true}) {
    SCOPED_TRACE(nullBasicSuite);
    host.ClearCalls();
    host.output.paramCount = kHostParamCount;
    host.faults.nullBasicSuite = nullBasicSuite;
    EXPECT_EQ(host.Command(kParamsSetup), kOk);
    EXPECT_EQ(host.Calls(), kAllCalls);
    EXPECT_EQ(host.output.paramCount, kParamCountWithLayer);
  }
  // The text pointers stay the same from one command to the next.
  ASSERT_EQ(host.added.size(), 18u);
  EXPECT_EQ(TextPointerOf(host.added[0]), TextPointerOf(host.added[9]));
  EXPECT_EQ(TextPointerOf(host.added[8]), TextPointerOf(host.added[17]));
}

TEST_F(ParamsSetupTest, FirstFailingAddEndsSetupWithItsCode) {
  // The add that fails, from 1, at every kind of parameter, and its code.
  const std::pair<int, ErrorCode> cases[] = {
      {1, 7}, {2, -1}, {6, kMissingSuite}, {8, 0x7fffffff}, {9, INT32_MIN}};
  for (const auto& [k, code] : cases) {
    SCOPED_TRACE(k);
    host.faults.addParamFailAt = k;
    host.faults.addParamCode = code;
    host.added.clear();
    host.ClearCalls();
    const auto output = BytesOf(host.output);

    EXPECT_EQ(host.Command(kParamsSetup), code);

    // paramCount and the rest of the output record are left as they were.
    EXPECT_EQ(BytesOf(host.output), output);
    EXPECT_EQ(host.Calls(),
              Calls(kAllCalls.begin(), kAllCalls.begin() + 2 * k));
    ASSERT_EQ(host.added.size(), static_cast<std::size_t>(k));
    // What was offered up to the failure is still exactly the table's.
    const auto expected =
        ExpectedDefinitions(TextPointerOf(host.added[0]), nullptr);
    for (int i = 0; i < k && i < 8; ++i) {
      EXPECT_EQ(BytesOf(host.added[i].copy), expected[i].bytes()) << i + 1;
    }
  }
}

}  // namespace
}  // namespace velk::test
