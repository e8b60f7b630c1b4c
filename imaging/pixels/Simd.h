// Choice between the vector kernels and the scalar reference at run time.
#pragma once

namespace pixels {

// True when the vector kernels run: the processor has them and they are not
// switched off.
bool SimdEnabled();

// Tests and benchmarks switch the vector kernels off to compare them with the
// reference; switching on has no effect on a processor without them.
void SetSimdEnabled(bool on);

}  // namespace pixels
