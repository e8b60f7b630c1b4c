#include <gtest/gtest.h>

#include "ce_ref_count.h"
#include "plat/debug.h"

namespace {

// Records what the signature was while the object was being freed.
struct Probe : CeRefCount {
    explicit Probe(uint32_t* seenAtDeath) : seen(seenAtDeath) {}
    ~Probe() override { *seen = Signature(); }
    void Corrupt(uint32_t value) { SetSignature(value); }
    uint32_t* seen;
};

TEST(RefCount, LastReleaseMarksTheSignatureBeforeFreeing)
{
    uint32_t seen = 0;
    auto* p = new Probe(&seen);
    EXPECT_EQ(p->AddRef(), 1);
    EXPECT_EQ(p->AddRef(), 2);
    EXPECT_EQ(p->Release(), 1);
    EXPECT_EQ(p->Release(), 0);
    EXPECT_EQ(seen, CeRefCount::kReleased);
}

TEST(RefCount, MisuseOnABrokenSignatureIsLoggedAndChangesNothing)
{
    uint32_t seen = 0;
    auto* p = new Probe(&seen);
    p->AddRef();
    p->Corrupt(0x12345678u);
    plat::DebugCapture log;
    p->AddRef();
    EXPECT_TRUE(log.Contains(L"Error:49-line(CeRefCount::AddRef||"));
    EXPECT_TRUE(log.Contains(L"CeRefCount::AddRef()=> Can't increase reference count...\r\n"));
    EXPECT_EQ(p->GetRefCount(), 1);
    log.Clear();
    p->Release();
    EXPECT_TRUE(log.Contains(L"Error:61-line(CeRefCount::Release||"));
    EXPECT_TRUE(log.Contains(L"CeRefCount::Release() ==> m_nRefCount[1]\r\n"));
    EXPECT_EQ(p->GetRefCount(), 1);  // not freed
    EXPECT_EQ(seen, 0u);
    p->Corrupt(CeRefCount::kAlive);
    p->Release();
    EXPECT_EQ(seen, CeRefCount::kReleased);
}

TEST(RefCount, ReleaseAtZeroIsRefused)
{
    uint32_t seen = 0;
    auto* p = new Probe(&seen);
    plat::DebugCapture log;
    EXPECT_EQ(p->Release(), 0);
    EXPECT_TRUE(log.Contains(L"m_nRefCount[0]"));
    EXPECT_EQ(seen, 0u);  // still alive
    delete p;
}

TEST(RefPtr, AssignmentKeepsCountsRight)
{
    uint32_t seenA = 0, seenB = 0;
    auto* a = new Probe(&seenA);
    auto* b = new Probe(&seenB);
    {
        CeRefPtr<Probe> p(a);
        CeRefPtr<Probe> q(b);
        p = p;  // self-assignment neither adds nor drops
        EXPECT_EQ(a->GetRefCount(), 1);
        q = p;  // b loses its only holder
        EXPECT_EQ(seenB, CeRefCount::kReleased);
        EXPECT_EQ(a->GetRefCount(), 2);
        p = static_cast<Probe*>(nullptr);
        EXPECT_FALSE(p);
        EXPECT_EQ(a->GetRefCount(), 1);
    }
    EXPECT_EQ(seenA, CeRefCount::kReleased);
}

}  // namespace
