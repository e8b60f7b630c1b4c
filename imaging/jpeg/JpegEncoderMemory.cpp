// The encoder's memory: every block it takes at creation is recorded so that
// Release (or a failed creation) frees them all; coding allocates nothing.
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "jpeg/JpegEncoderState.h"

void* JpegTrackedAlloc(JpegEncoderImpl* e, size_t size)
{
    if (e->allocationCount >= JpegEncoderImpl::kMaxAllocations || size > std::numeric_limits<size_t>::max() - 32) {
        return nullptr;
    }
    void* block = std::malloc(size + 32);
    e->allocations[e->allocationCount++] = block;
    if (block == nullptr) {
        return nullptr;
    }
    auto address = reinterpret_cast<uintptr_t>(block);
    return reinterpret_cast<void*>((address + 31) & ~static_cast<uintptr_t>(31));
}

void JpegFreeTracked(JpegEncoderImpl* e)
{
    for (int i = 0; i < e->allocationCount; ++i) {
        std::free(e->allocations[i]);
        e->allocations[i] = nullptr;
    }
    e->allocationCount = 0;
}
