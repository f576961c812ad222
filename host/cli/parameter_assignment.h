// Sets a parameter that the effect declared from its NAME=VALUE on the
// command line, by the parameter's declared name and type.
#pragma once

#include "abi/input_record.h"
#include "abi/param_definition.h"
#include "host/cli/render_arguments.h"

namespace velk::host {

// Sets the value of the declared parameter named `assignment.name` among
// `declared[0 .. count-1]`, parsed by the parameter's type:
//   popup     a choice number from 1, or the choice's text
//   slider    a real within the slider's valid range
//   point     "x,y" in layer pixels; stored in 16.16 fixed point and scaled by
//             the downsample factors as a host hands point values to a render
//             at that resolution, so the range of pixels it takes grows as
//             the factor shrinks
//   checkbox  on, off, 1 or 0
// Throws UsageError naming the parameter or the value.
void AssignParameter(ParamDefinition* const* declared, int count,
                     const ParamAssignment& assignment,
                     DownsampleFactor factorX, DownsampleFactor factorY);

}  // namespace velk::host
