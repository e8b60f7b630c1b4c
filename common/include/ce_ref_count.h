// Intrusive reference counting of the toolkit's controls and shared bitmaps.
// Counts change only through atomic steps, so a bitmap can be shared between
// the GUI thread and the capture threads. A signature word catches use of an
// object that is already gone: misuse is logged and ignored.
#pragma once

#include <atomic>
#include <cstdint>
#include <cwchar>

#include "plat/debug.h"
#include "plat/types.h"

class CeRefCount {
public:
    static constexpr uint32_t kAlive = 0xFFFFABCDu;
    static constexpr uint32_t kReleased = 0xFFFFFFFFu;

    CeRefCount() = default;
    CeRefCount(const CeRefCount&) = delete;
    CeRefCount& operator=(const CeRefCount&) = delete;

    virtual ~CeRefCount() { m_dwSignature = 0; }

    virtual LONG AddRef()
    {
        if (m_dwSignature != kAlive) {
            LogMisuse(49, L"CeRefCount::AddRef", L"CeRefCount::AddRef()=> Can't increase reference count...\r\n");
            return m_nRefCount.load();
        }
        return ++m_nRefCount;
    }

    virtual LONG Release()
    {
        LONG count = m_nRefCount.load();
        if (m_dwSignature != kAlive || count == 0) {
            WCHAR text[64];
            std::swprintf(text, 64, L"CeRefCount::Release() ==> m_nRefCount[%d]\r\n", static_cast<int>(count));
            LogMisuse(61, L"CeRefCount::Release", text);
            return count;
        }
        LONG left = --m_nRefCount;
        if (left == 0) {
            m_dwSignature = kReleased;
            delete this;
        }
        return left;
    }

    virtual LONG GetRefCount() const { return m_nRefCount.load(); }
    virtual DWORD GetUserData() const { return 0; }

protected:
    uint32_t Signature() const { return m_dwSignature; }
    // Tests and subclasses that must show a broken object.
    void SetSignature(uint32_t signature) { m_dwSignature = signature; }

private:
    static void LogMisuse(int line, LPCWSTR function, LPCWSTR message)
    {
        WCHAR frame[160];
        std::swprintf(frame, 160, L"Error:%d-line(%ls||%ls)\r\n    -> ", line, function, L".\\CePtrList.h");
        OutputDebugStringW(plat::kDebugLinePrefix);
        OutputDebugStringW(frame);
        OutputDebugStringW(message);
    }

    std::atomic<LONG> m_nRefCount{0};
    uint32_t m_dwSignature = kAlive;
};

// Holds one reference to a CeRefCount object.
template <class T>
class CeRefPtr {
public:
    CeRefPtr() = default;
    CeRefPtr(T* object) : p_(object)  // NOLINT: implicit, as raw pointers are handed in
    {
        if (p_)
            p_->AddRef();
    }
    CeRefPtr(const CeRefPtr& other) : CeRefPtr(other.p_) {}
    CeRefPtr(CeRefPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ~CeRefPtr()
    {
        if (p_)
            p_->Release();
    }

    CeRefPtr& operator=(const CeRefPtr& other) { return Assign(other.p_); }
    CeRefPtr& operator=(T* object) { return Assign(object); }
    CeRefPtr& operator=(CeRefPtr&& other) noexcept
    {
        if (this != &other) {
            T* old = p_;
            p_ = other.p_;
            other.p_ = nullptr;
            if (old)
                old->Release();
        }
        return *this;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool operator==(const CeRefPtr& other) const { return p_ == other.p_; }
    bool operator==(const T* other) const { return p_ == other; }

private:
    // The new object gains its reference before the old one loses its own,
    // so an object that holds the last reference to itself survives.
    CeRefPtr& Assign(T* object)
    {
        if (!object) {
            T* old = p_;
            p_ = nullptr;
            if (old)
                old->Release();
            return *this;
        }
        if (object == p_)
            return *this;
        object->AddRef();
        T* old = p_;
        p_ = object;
        if (old)
            old->Release();
        return *this;
    }

    T* p_ = nullptr;
};
