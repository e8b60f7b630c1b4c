#include "pixels/Simd.h"

#include <atomic>

#include "CpuFeatures.h"

namespace pixels {
namespace {

bool VectorKernels() { return imaging::KernelsAtLeast(imaging::KernelSet::kSse2); }

std::atomic<bool> g_enabled{VectorKernels()};

}  // namespace

bool SimdEnabled() { return g_enabled.load(std::memory_order_relaxed); }

void SetSimdEnabled(bool on) { g_enabled.store(on && VectorKernels(), std::memory_order_relaxed); }

}  // namespace pixels
