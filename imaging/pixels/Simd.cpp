#include "pixels/Simd.h"

#include <atomic>

namespace pixels {
namespace {

bool ProcessorHasSse2() {
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("sse2");
#else
    return false;
#endif
}

std::atomic<bool> g_enabled{ProcessorHasSse2()};

}  // namespace

bool SimdEnabled() { return g_enabled.load(std::memory_order_relaxed); }

void SetSimdEnabled(bool on) { g_enabled.store(on && ProcessorHasSse2(), std::memory_order_relaxed); }

}  // namespace pixels
