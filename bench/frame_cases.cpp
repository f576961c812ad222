#include "bench/frame_cases.h"

#include <cstring>
#include <stdexcept>

#include "abi/command.h"
#include "host/effect_module.h"

namespace velk::bench {

namespace {

std::vector<FrameCase> MakeCases() {
  // Margins of an eighth of the frame keep 56% of it inside; the box of half
  // its width and height keeps 25%; margins that cross leave nothing inside.
  RectSetting mode1;
  mode1.mode = 1;
  mode1.left = mode1.right = mode1.top = mode1.bottom = 0.125;
  RectSetting mode2;
  mode2.mode = 2;
  mode2.width = mode2.height = 0.5;
  mode2.centerX = mode2.centerY = 0.5;
  RectSetting inverted = mode1;
  inverted.invert = 1;
  RectSetting empty;
  empty.mode = 1;
  empty.left = empty.right = empty.top = empty.bottom = 0.6;

  std::vector<FrameCase> cases;
  for (const int depth : {8, 16}) {
    const std::string bits = std::to_string(depth);
    cases.push_back({"memcpy" + bits, depth, FrameWork::kMemcpy, {}});
    cases.push_back({"copy" + bits, depth, FrameWork::kCopy, {}});
    const std::string pixel = "pixel" + bits + " ";
    cases.push_back({pixel + "mode1", depth, FrameWork::kRender, mode1});
    cases.push_back({pixel + "mode2", depth, FrameWork::kRender, mode2});
    cases.push_back({pixel + "inverted", depth, FrameWork::kRender, inverted});
    cases.push_back({pixel + "empty", depth, FrameWork::kRender, empty});
  }
  return cases;
}

const host::EffectModule& Module() {
  static const host::EffectModule module(host::EffectModule::DefaultPath());
  return module;
}

// The baseline's pixel function: the least a per-pixel effect can do.
template <typename Pixel>
ErrorCode CopyPixel(void* /*refcon*/, std::int32_t /*x*/, std::int32_t /*y*/,
                    Pixel* in, Pixel* out) {
  *out = *in;
  return kErrNone;
}

std::int32_t Fixed(double value) {
  return static_cast<std::int32_t>(value * 65536.0);
}

}  // namespace

const std::vector<FrameCase>& FrameCases() {
  static const std::vector<FrameCase> cases = MakeCases();
  return cases;
}

const FrameCase* FindFrameCase(const std::string& name) {
  for (const FrameCase& frameCase : FrameCases()) {
    if (frameCase.name == name) return &frameCase;
  }
  return nullptr;
}

FrameRunner::FrameRunner(const FrameCase& frameCase, std::int32_t width,
                         std::int32_t height)
    : case_(frameCase), host_(Module()) {
  // The effect applied as a host does; its parameters are then known.
  if (host_.Command(kCmdGlobalSetup) != kErrNone ||
      host_.Command(kCmdParamsSetup) != kErrNone) {
    throw std::runtime_error("the effect could not be set up");
  }
  host_.SetLayer(width, height, frameCase.depth == 16);
  for (std::size_t i = 0; i < host_.inputPixels.size(); ++i) {
    host_.inputPixels[i] = static_cast<std::uint8_t>(0x80 | (i % 127));
  }
  const RectSetting& rect = frameCase.rect;
  host_.Param("Type").popup.value = rect.mode;
  host_.Param("Left").slider.value = rect.left * width;
  host_.Param("Right").slider.value = rect.right * width;
  host_.Param("Top").slider.value = rect.top * height;
  host_.Param("Bottom").slider.value = rect.bottom * height;
  host_.Param("Width").slider.value = rect.width * width;
  host_.Param("Height").slider.value = rect.height * height;
  host_.Param("Center").point.xValue = Fixed(rect.centerX * width);
  host_.Param("Center").point.yValue = Fixed(rect.centerY * height);
  host_.Param("Invert").checkbox.value = rect.invert;
  host_.ClearCalls();
}

std::int64_t FrameRunner::pixels() const {
  return static_cast<std::int64_t>(host_.outputImage.width) *
         host_.outputImage.height;
}

ErrorCode FrameRunner::RunFrame(FrameWork work) {
  ErrorCode result = kErrNone;
  switch (work) {
    case FrameWork::kMemcpy:
      if (!host_.outputPixels.empty()) {
        std::memcpy(host_.outputPixels.data(), host_.inputPixels.data(),
                    host_.outputPixels.size());
      }
      break;
    case FrameWork::kCopy: {
      // The same road as the render's, a reference value included.
      std::uint8_t reference = 0;
      result = case_.depth == 16
                   ? host_.IterateWith<Pixel16>(&CopyPixel<Pixel16>, &reference)
                   : host_.IterateWith<Pixel8>(&CopyPixel<Pixel8>, &reference);
      break;
    }
    case FrameWork::kRender:
      result = host_.Command(kCmdRender);
      break;
  }
  host_.ClearCalls();
  host_.iterates.clear();
  return result;
}

}  // namespace velk::bench
