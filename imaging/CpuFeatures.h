// The processor's vector features and the kernel set the codec and the pixel
// kernels run, chosen once per process in one place.
#pragma once

#include <cstdlib>
#include <cstring>

// Marks a function built for AVX2 in a file built for the base processor;
// such a function runs only after Kernels() said AVX2.
#if defined(__x86_64__)
#define LUM_AVX2 __attribute__((target("avx2")))
#endif

namespace imaging {

inline bool ProcessorHasSse2()
{
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("sse2");
#else
    return false;
#endif
}

inline bool ProcessorHasAvx2()
{
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
#else
    return false;
#endif
}

// Kernel sets, each a superset of the one before; every set gives the same
// bytes as the scalar reference.
enum class KernelSet : int { kScalar = 0, kSse2 = 1, kAvx2 = 2 };

// The best set the processor has, lowered by LUM_KERNELS ("scalar", "sse2" or
// "avx2") so that tests can run every path on one machine; a set above what
// the processor has is not taken. Read once per process.
inline KernelSet Kernels()
{
    static const KernelSet chosen = [] {
        KernelSet best = ProcessorHasAvx2()   ? KernelSet::kAvx2
                         : ProcessorHasSse2() ? KernelSet::kSse2
                                              : KernelSet::kScalar;
        const char* asked = std::getenv("LUM_KERNELS");
        if (asked == nullptr) {
            return best;
        }
        KernelSet want = best;
        if (std::strcmp(asked, "scalar") == 0) {
            want = KernelSet::kScalar;
        } else if (std::strcmp(asked, "sse2") == 0) {
            want = KernelSet::kSse2;
        }
        return static_cast<int>(want) < static_cast<int>(best) ? want : best;
    }();
    return chosen;
}

inline bool KernelsAtLeast(KernelSet set)
{
    return static_cast<int>(Kernels()) >= static_cast<int>(set);
}

}  // namespace imaging
