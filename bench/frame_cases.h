// The frames that the benchmark and the instruction-count driver run through
// the stand-in host: the effect's render in each measured setting, and the
// two floors it is compared with. Shared so that both tools measure exactly
// the same work.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/stand_in_host.h"

namespace velk::bench {

enum class FrameWork {
  kMemcpy,  // the whole input image copied to the output by memcpy
  kCopy,    // the host's iterate with a callback that copies every pixel
  kRender,  // the effect's render command, selector 11
};

// Where the rectangle lies, as fractions of the frame, so that a case keeps
// its share of inside pixels at every frame size.
struct RectSetting {
  std::int32_t mode = 0;                            // the "Type" popup
  double left = 0, right = 0, top = 0, bottom = 0;  // margins, mode 1
  double width = 0, height = 0;                     // box, mode 2
  double centerX = 0, centerY = 0;                  // box centre, mode 2
  std::int32_t invert = 0;
};

struct FrameCase {
  std::string name;  // "memcpy8", "copy16", "pixel8 mode1", ...
  int depth;         // bits per channel: 8 or 16
  FrameWork work;
  RectSetting rect;  // kRender only
};

// Per depth, in this order: memcpy, copy, then the render in mode 1, mode 2,
// inverted and with an empty rectangle.
const std::vector<FrameCase>& FrameCases();
// The case of that name, or null.
const FrameCase* FindFrameCase(const std::string& name);

// A stand-in host that has run global setup and parameter setup, with a
// width x height layer of the case's depth, filled with a pixel pattern, and
// the case's parameters set. The module is loaded once per process.
class FrameRunner {
 public:
  FrameRunner(const FrameCase& frameCase, std::int32_t width,
              std::int32_t height);

  // Does the case's work for the whole frame once. The host's record of the
  // calls is cleared after each frame, so that it does not grow.
  ErrorCode RunFrame() { return RunFrame(case_.work); }
  // Does `work` for the same frame instead: a render case's floors run on
  // its own host and images, interleaved with it.
  ErrorCode RunFrame(FrameWork work);

  std::int64_t pixels() const;

 private:
  const FrameCase& case_;
  host::StandInHost host_;
};

}  // namespace velk::bench
