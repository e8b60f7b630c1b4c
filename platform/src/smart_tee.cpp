// The Smart Tee: one video stream to a capture branch and a preview branch.
// The capture branch gets every sample on the streaming thread; the preview
// branch gets its samples on a thread of its own and drops those that come
// while it is still busy, so a slow preview never holds the capture back.
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "com_object.h"
#include "plat/dshow_base.h"
#include "plat/dshow_camcorder.h"

namespace {

class SmartTee;

class TeeInput final : public CBaseInputPin {
public:
    TeeInput(SmartTee* tee, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* type) override
    {
        return type && type->majortype == MEDIATYPE_Video ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;

private:
    SmartTee* tee_;
};

class TeeOutput final : public CBaseOutputPin {
public:
    TeeOutput(SmartTee* tee, CCritSec* lock, const WCHAR* name, const GUID* category);
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    const GUID* Category() const override { return category_; }

private:
    SmartTee* tee_;
    const GUID* category_;
};

class SmartTee final : public CBaseFilter {
public:
    SmartTee() : CBaseFilter(L"Smart Tee", nullptr, &lock_, CLSID_SmartTee)
    {
        input_ = new TeeInput(this, &lock_);
        capture_ = new TeeOutput(this, &lock_, L"Smart Tee Capture pin", &PIN_CATEGORY_CAPTURE);
        preview_ = new TeeOutput(this, &lock_, L"Smart Tee Preview pin", &PIN_CATEGORY_PREVIEW);
    }
    ~SmartTee() override
    {
        StopPreviewThread();
        delete input_;
        delete capture_;
        delete preview_;
    }

    int GetPinCount() override { return 3; }
    CBasePin* GetPin(int n) override
    {
        return n == 0 ? static_cast<CBasePin*>(input_) : n == 1 ? capture_ : n == 2 ? preview_ : nullptr;
    }

    HRESULT Pause() override
    {
        StartPreviewThread();
        return CBaseFilter::Pause();
    }
    HRESULT Stop() override
    {
        HRESULT hr = CBaseFilter::Stop();
        StopPreviewThread();
        return hr;
    }

    const CMediaType& InputType() const { return input_->CurrentMediaType(); }
    bool InputConnected() const { return input_->IsConnected(); }

    HRESULT Deliver(IMediaSample* sample)
    {
        const REFERENCE_TIME now = StreamTime();
        bool previewOn = preview_->UpdateStreamControl(now);
        if (capture_->UpdateStreamControl(now) && capture_->IsConnected())
            capture_->Deliver(sample);
        if (previewOn && preview_->IsConnected())
            OfferPreview(sample);
        return S_OK;
    }

    HRESULT EndOfStream()
    {
        if (capture_->IsConnected() && capture_->StreamOn())
            capture_->DeliverEndOfStream();
        if (preview_->IsConnected() && preview_->StreamOn())
            preview_->DeliverEndOfStream();
        return S_OK;
    }

private:
    // Hands the sample to the preview thread unless it is busy.
    void OfferPreview(IMediaSample* sample)
    {
        std::lock_guard lock(previewLock_);
        if (busy_ || pending_ || !previewThread_.joinable())
            return;
        pending_ = sample;
        pending_->AddRef();
        previewCv_.notify_all();
    }

    void StartPreviewThread()
    {
        std::lock_guard lock(previewLock_);
        if (previewThread_.joinable())
            return;
        exit_ = false;
        previewThread_ = std::thread([this] { PreviewLoop(); });
    }

    void StopPreviewThread()
    {
        std::thread thread;
        {
            std::lock_guard lock(previewLock_);
            exit_ = true;
            thread = std::move(previewThread_);
        }
        previewCv_.notify_all();
        if (thread.joinable())
            thread.join();
        std::lock_guard lock(previewLock_);
        if (pending_)
            pending_->Release();
        pending_ = nullptr;
    }

    void PreviewLoop()
    {
        std::unique_lock lock(previewLock_);
        while (!exit_) {
            previewCv_.wait(lock, [this] { return exit_ || pending_; });
            if (exit_)
                break;
            IMediaSample* sample = pending_;
            pending_ = nullptr;
            busy_ = true;
            lock.unlock();
            preview_->Deliver(sample);
            sample->Release();
            lock.lock();
            busy_ = false;
        }
    }

    CCritSec lock_;
    TeeInput* input_;
    TeeOutput* capture_;
    TeeOutput* preview_;

    std::mutex previewLock_;
    std::condition_variable previewCv_;
    std::thread previewThread_;
    IMediaSample* pending_ = nullptr;
    bool busy_ = false;
    bool exit_ = false;
};

TeeInput::TeeInput(SmartTee* tee, CCritSec* lock)
    : CBaseInputPin(L"Smart Tee Input pin", tee, lock, nullptr, L"Smart Tee Input pin"), tee_(tee)
{
}

HRESULT TeeInput::Receive(IMediaSample* sample)
{
    HRESULT hr = CBaseInputPin::Receive(sample);
    if (FAILED(hr))
        return hr;
    return tee_->Deliver(sample);
}

HRESULT TeeInput::EndOfStream() { return tee_->EndOfStream(); }

TeeOutput::TeeOutput(SmartTee* tee, CCritSec* lock, const WCHAR* name, const GUID* category)
    : CBaseOutputPin(name, tee, lock, nullptr, name), tee_(tee), category_(category)
{
}

HRESULT TeeOutput::CheckMediaType(const CMediaType* type)
{
    if (!type || !tee_->InputConnected())
        return VFW_E_TYPE_NOT_ACCEPTED;
    const CMediaType& in = tee_->InputType();
    return type->majortype == in.majortype && type->subtype == in.subtype ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TeeOutput::GetMediaType(int position, CMediaType* type)
{
    if (position != 0 || !tee_->InputConnected())
        return VFW_S_NO_MORE_ITEMS;
    *type = tee_->InputType();
    return S_OK;
}

const bool registered = [] {
    plat::RegisterComClass(CLSID_SmartTee, plat::detail::MakeObject<SmartTee, IBaseFilter>);
    return true;
}();

}  // namespace
