#include "pixels/Simd.h"

#include <atomic>

#include "CpuFeatures.h"

namespace pixels {
namespace {

using imaging::ProcessorHasSse2;

std::atomic<bool> g_enabled{ProcessorHasSse2()};

}  // namespace

bool SimdEnabled() { return g_enabled.load(std::memory_order_relaxed); }

void SetSimdEnabled(bool on) { g_enabled.store(on && ProcessorHasSse2(), std::memory_order_relaxed); }

}  // namespace pixels
