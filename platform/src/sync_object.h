// Inside the platform: the common ground of every waitable kernel object.
// One process-wide lock guards the state of all of them, so that a wait for
// several objects sees and takes them in one step.
#pragma once

#include <condition_variable>
#include <mutex>

#include "plat/handle.h"
#include "plat/types.h"

namespace plat {

std::mutex& SyncLock();
// Wakes every wait to look again; call after a change, with or without the lock.
void NotifySyncChanged();
std::condition_variable& SyncChanged();

// State is read and changed only under SyncLock().
class SyncObject : public KernelObject {
public:
    virtual bool IsSignaled(DWORD threadId) const = 0;
    // Takes what a satisfied wait takes: an auto-reset event's signal, a mutex's ownership.
    virtual void Acquire(DWORD /*threadId*/) {}
    // The part of ownership held in another process (named mutexes only): false
    // while another process owns the object. Whatever succeeded is undone by
    // CancelShared when the wait does not go through after all.
    virtual bool TryAcquireShared(DWORD /*threadId*/) { return true; }
    virtual void CancelShared() {}
};

}  // namespace plat
