// The processor's vector features, asked in one place by the codec and the
// pixel kernels.
#pragma once

namespace imaging {

inline bool ProcessorHasSse2()
{
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("sse2");
#else
    return false;
#endif
}

}  // namespace imaging
