// The one pattern every service object shares: created on first use under a
// lock of its own, deleted again under the same lock.
#pragma once

#include <mutex>

template <class T>
class CSingleton {
public:
    static T* GetInstance()
    {
        std::lock_guard<std::mutex> lock(Lock());
        if (!Slot())
            Slot() = new T();
        return Slot();
    }

    // The object if it exists, without making one.
    static T* PeekInstance()
    {
        std::lock_guard<std::mutex> lock(Lock());
        return Slot();
    }

    // Deletes the object; the next GetInstance makes a fresh one.
    static void ReleaseInstance()
    {
        std::lock_guard<std::mutex> lock(Lock());
        delete Slot();
        Slot() = nullptr;
    }

    CSingleton(const CSingleton&) = delete;
    CSingleton& operator=(const CSingleton&) = delete;

protected:
    CSingleton() = default;
    ~CSingleton() = default;

private:
    static std::mutex& Lock()
    {
        static std::mutex lock;
        return lock;
    }
    static T*& Slot()
    {
        static T* instance = nullptr;
        return instance;
    }
};
