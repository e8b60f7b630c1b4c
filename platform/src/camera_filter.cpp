// The platform's video capture filter over the camera scene: output pins
// "Preview" (YV12), "Capture" (CLJR, never connected; its format sets the
// preview size) and "Still" (IJPG), a sensor thread paced by the platform
// clock and a still thread; the camera's properties; the device search.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <cwctype>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "camera_scene.h"
#include "plat/camera.h"
#include "plat/clock.h"
#include "plat/debug.h"
#include "plat/dshow_base.h"
#include "plat/error.h"
#include "plat/handle.h"
#include "plat/registry.h"

namespace {

using plat::camera::Face;

constexpr int kMaxWidth = 2560;
constexpr int kMaxHeight = 1920;
constexpr int kDefaultFps = 15;
constexpr int kMaxFps = 30;
// The still's JPEG stream is kept to what the still buffer was made for.
constexpr std::size_t kMaxStillJpeg = 1843200;
constexpr int kThumbWidth = 320;
constexpr int kThumbHeight = 240;
constexpr std::size_t kThumbBytes = kThumbWidth * kThumbHeight * 2;
// Brightness check: property 7 value 9 answers whether the scene is bright enough.
constexpr long kBrightnessProperty = 7;
constexpr long kBrightnessValue = 9;
constexpr int kMinMeanLuma = 40;
constexpr HRESULT kNotLoaded = HRESULT_FROM_WIN32(21);  // ERROR_NOT_READY
constexpr HRESULT kNoSuchDevice = HRESULT_FROM_WIN32(55);  // ERROR_DEV_NOT_EXIST

// ---- recorded sets -----------------------------------------------------------

struct Rule {
    Face face;
    long property;
    long value;
    HRESULT result;
};

std::mutex g_recordLock;
std::vector<plat::camera::PropertySet> g_sets;
std::vector<Rule> g_rules;
std::atomic<unsigned long> g_framesMade{0};

HRESULT InjectedResult(Face face, long property, long value)
{
    std::lock_guard lock(g_recordLock);
    for (const Rule& r : g_rules)
        if (r.face == face && r.property == property && (r.value == -1 || r.value == value)) return r.result;
    return S_OK;
}

void Record(Face face, long property, long value, long flags, HRESULT result)
{
    std::lock_guard lock(g_recordLock);
    g_sets.push_back({face, property, value, flags, result});
}

bool EvenSize(int w, int h)
{
    return w >= 2 && h >= 2 && w <= kMaxWidth && h <= kMaxHeight && w % 2 == 0 && h % 2 == 0;
}

CMediaType MakeType(const GUID& subtype, int width, int height, bool topDown, DWORD sampleSize, WORD bits,
                    DWORD fourcc)
{
    CMediaType t;
    t.majortype = MEDIATYPE_Video;
    t.subtype = subtype;
    t.bFixedSizeSamples = TRUE;
    t.lSampleSize = sampleSize;
    t.formattype = FORMAT_VideoInfo;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(t.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (!vih) return t;
    vih->rcSource = {0, 0, width, height};
    vih->rcTarget = vih->rcSource;
    vih->AvgTimePerFrame = 10000000 / kDefaultFps;
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = topDown ? -height : height;
    vih->bmiHeader.biPlanes = 1;
    vih->bmiHeader.biBitCount = bits;
    vih->bmiHeader.biCompression = fourcc;
    vih->bmiHeader.biSizeImage = sampleSize;
    return t;
}

class CameraFilter;

enum PinKind { kPreview = 0, kCapture = 1, kStill = 2 };

class CameraPin final : public CBaseOutputPin, public IAMStreamConfig {
public:
    CameraPin(CameraFilter* filter, CCritSec* lock, PinKind kind, const WCHAR* name);

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        if (iid == IID_IAMStreamConfig && kind_ != kPreview) {
            *out = static_cast<IAMStreamConfig*>(this);
            AddRef();
            return S_OK;
        }
        return CBasePin::QueryInterface(iid, out);
    }
    ULONG AddRef() override { return CBasePin::AddRef(); }
    ULONG Release() override { return CBasePin::Release(); }

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    const GUID* Category() const override
    {
        return kind_ == kPreview ? &PIN_CATEGORY_PREVIEW : kind_ == kCapture ? &PIN_CATEGORY_CAPTURE : &PIN_CATEGORY_STILL;
    }

    HRESULT SetFormat(AM_MEDIA_TYPE* type) override;
    HRESULT GetFormat(AM_MEDIA_TYPE** type) override
    {
        if (!type) return E_POINTER;
        CMediaType t;
        GetMediaType(0, &t);
        *type = CreateMediaType(&t);
        return *type ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT GetNumberOfCapabilities(int* count, int* size) override
    {
        if (!count || !size) return E_POINTER;
        *count = 1;
        *size = 0;
        return S_OK;
    }
    HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE*) override
    {
        if (!type) return E_POINTER;
        if (index != 0) return S_FALSE;
        return GetFormat(type);
    }

    // The connection type now follows a new size: the next sample carries it.
    void SetConnectionType(const CMediaType& type) { m_mt.Set(type); }

private:
    CameraFilter* camera_;
    PinKind kind_;
};

class CameraFilter final : public CBaseFilter, public IPersistPropertyBag, public IAMVideoControl {
public:
    CameraFilter() : CBaseFilter(L"Video Capture", nullptr, &lock_, CLSID_VideoCapture)
    {
        pins_[kPreview] = new CameraPin(this, &lock_, kPreview, L"Preview");
        pins_[kCapture] = new CameraPin(this, &lock_, kCapture, L"Capture");
        pins_[kStill] = new CameraPin(this, &lock_, kStill, L"Still");
    }
    ~CameraFilter() override
    {
        StopThreads();
        for (CameraPin* p : pins_) delete p;
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        if (iid == IID_IPersistPropertyBag || iid == IID_IPersist) {
            *out = static_cast<IPersistPropertyBag*>(this);
        } else if (iid == IID_IAMVideoControl) {
            *out = static_cast<IAMVideoControl*>(this);
        } else if (iid == IID_IAMCameraControl) {
            *out = static_cast<IAMCameraControl*>(&cameraFace_);
        } else if (iid == IID_IAMVideoProcAmp) {
            *out = static_cast<IAMVideoProcAmp*>(&procFace_);
        } else {
            return CBaseFilter::QueryInterface(iid, out);
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return CBaseFilter::AddRef(); }
    ULONG Release() override { return CBaseFilter::Release(); }
    HRESULT GetClassID(CLSID* clsid) override { return CBaseFilter::GetClassID(clsid); }

    // ---- IPersistPropertyBag
    HRESULT InitNew() override { return S_OK; }
    HRESULT Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }
    HRESULT Load(IPropertyBag* bag, IErrorLog* log) override
    {
        if (!bag) return E_POINTER;
        VARIANT name;
        VariantInit(&name);
        HRESULT hr = bag->Read(L"VCapName", &name, log);
        if (FAILED(hr)) return hr;
        if (name.vt != VT_BSTR || !name.bstrVal) {
            VariantClear(&name);
            return E_INVALIDARG;
        }
        std::wstring driver = name.bstrVal;
        VariantClear(&name);
        for (auto& c : driver) c = static_cast<WCHAR>(std::towupper(c));
        scene_.Refresh();
        if (driver != L"CAM1:" || !scene_.Present()) return kNoSuchDevice;
        loaded_ = true;
        return S_OK;
    }

    // ---- IAMVideoControl
    HRESULT SetMode(IPin* pin, long mode) override
    {
        if (!pin) return E_POINTER;
        if (pin != static_cast<IPin*>(pins_[kStill])) return E_INVALIDARG;
        if (!(mode & VideoControlFlag_Trigger)) return S_OK;
        if (State() != State_Running) return VFW_E_NOT_RUNNING;
        {
            std::lock_guard lock(threadLock_);
            ++stillRequests_;
        }
        threadCv_.notify_all();
        return S_OK;
    }

    // ---- filter
    int GetPinCount() override { return 3; }
    CBasePin* GetPin(int n) override { return n >= 0 && n < 3 ? pins_[n] : nullptr; }

    HRESULT Pause() override
    {
        if (!loaded_) return kNotLoaded;
        const HRESULT hr = CBaseFilter::Pause();
        if (FAILED(hr)) return hr;
        StartThreads();
        Wake();
        return hr;
    }
    HRESULT Run(REFERENCE_TIME start) override
    {
        if (!loaded_) return kNotLoaded;
        const HRESULT hr = CBaseFilter::Run(start);
        if (FAILED(hr)) return hr;
        StartThreads();
        Wake();
        return hr;
    }
    HRESULT Stop() override
    {
        // The threads end before Stop returns: no sample is in a callback after it.
        StopThreads();
        return CBaseFilter::Stop();
    }

    // ---- sizes
    void SetPreviewSize(int w, int h)
    {
        std::lock_guard lock(sizeLock_);
        previewW_ = w;
        previewH_ = h;
    }
    void SetStillSize(int w, int h)
    {
        std::lock_guard lock(sizeLock_);
        stillW_ = w;
        stillH_ = h;
    }
    std::pair<int, int> PreviewSize()
    {
        std::lock_guard lock(sizeLock_);
        return {previewW_, previewH_};
    }
    std::pair<int, int> StillSize()
    {
        std::lock_guard lock(sizeLock_);
        return {stillW_, stillH_};
    }

    // ---- properties
    HRESULT SetProperty(Face face, long property, long value, long flags)
    {
        HRESULT result = InjectedResult(face, property, value);
        if (result == S_OK && face == Face::CameraControl) {
            if (property == 3 && value >= 10 && value <= 19) {
                zoom_ = 1.0 + (value - 10) * 0.1;
            } else if (property == 3 && value >= 800 && value <= 899) {
                // 800 goes back to the sensor's own rate.
                const int fps = value == 800 ? 0 : value == 899 ? 120 : static_cast<int>(value - 800);
                fps_ = std::min(fps, kMaxFps);
                Wake();
            } else if (property == 3 && value == 707) {
                scene_.Refresh();
                if (!scene_.FocusWorks()) result = E_FAIL;
            } else if (property == kBrightnessProperty && value == kBrightnessValue) {
                if (MeteredLuma() < kMinMeanLuma) result = E_FAIL;
            }
        }
        Record(face, property, value, flags, result);
        if (SUCCEEDED(result)) {
            std::lock_guard lock(propLock_);
            auto& store = face == Face::CameraControl ? cameraValues_ : procValues_;
            store[property] = {value, flags};
        }
        return result;
    }
    HRESULT GetProperty(Face face, long property, long* value, long* flags)
    {
        if (!value || !flags) return E_POINTER;
        std::lock_guard lock(propLock_);
        auto& store = face == Face::CameraControl ? cameraValues_ : procValues_;
        auto it = store.find(property);
        if (it == store.end()) return E_INVALIDARG;
        *value = it->second.first;
        *flags = it->second.second;
        return S_OK;
    }

private:
    template <typename I, Face F>
    class PropertyFace final : public I {
    public:
        explicit PropertyFace(CameraFilter* owner) : owner_(owner) {}
        HRESULT QueryInterface(REFIID iid, void** out) override { return owner_->QueryInterface(iid, out); }
        ULONG AddRef() override { return owner_->AddRef(); }
        ULONG Release() override { return owner_->Release(); }
        HRESULT Set(long property, long value, long flags) override
        {
            return owner_->SetProperty(F, property, value, flags);
        }
        HRESULT Get(long property, long* value, long* flags) override
        {
            return owner_->GetProperty(F, property, value, flags);
        }

    private:
        CameraFilter* owner_;
    };

    void Wake()
    {
        { std::lock_guard lock(threadLock_); }
        threadCv_.notify_all();
    }

    void StartThreads()
    {
        std::lock_guard lock(threadControl_);
        if (sensor_.joinable()) return;
        {
            std::lock_guard l(threadLock_);
            exit_ = false;
        }
        sensor_ = std::thread([this] { SensorLoop(); });
        still_ = std::thread([this] { StillLoop(); });
    }

    void StopThreads()
    {
        std::lock_guard lock(threadControl_);
        {
            std::lock_guard l(threadLock_);
            exit_ = true;
            stillRequests_ = 0;
        }
        threadCv_.notify_all();
        if (sensor_.joinable()) sensor_.join();
        if (still_.joinable()) still_.join();
    }

    void SensorLoop()
    {
        std::unique_lock lock(threadLock_);
        std::uint64_t base = 0;
        std::uint64_t index = 0;
        int fps = 0;
        bool running = false;
        while (!exit_) {
            if (State() != State_Running) {
                running = false;
                plat::WaitUntil(lock, threadCv_, plat::kNoDeadline,
                                [&] { return exit_ || State() == State_Running; });
                continue;
            }
            // Asked for on the way, or the root's changed: at the next frame.
            const int asked = fps_.load();
            if (const int rate = Rate(asked); !running || fps != rate) {
                // A new run or rate: the first frame now, then one each period.
                running = true;
                fps = rate;
                base = plat::NowMs();
                index = 0;
            }
            const std::uint64_t due = base + index * 1000 / static_cast<std::uint64_t>(fps);
            if (plat::NowMs() < due) {
                plat::WaitUntil(lock, threadCv_, due,
                                [&] { return exit_ || State() != State_Running || fps_.load() != asked; });
                continue;
            }
            lock.unlock();
            MakeFrame(fps);
            lock.lock();
            // Frames missed while busy are skipped, as a sensor does.
            const std::uint64_t now = plat::NowMs();
            index = std::max(index + 1, (now - base) * static_cast<std::uint64_t>(fps) / 1000 + 1);
        }
    }

    // The rate asked for, else the sensor's own: the device root's
    // "FrameRate" (1 to 30), else 15.
    static int Rate(int asked)
    {
        if (asked > 0) return asked;
        DWORD rate = 0;
        if (FAILED(RegistryGetDWORD(HKEY_LOCAL_MACHINE, plat::cam::kCameraKey, L"FrameRate", &rate)) || rate < 1)
            return kDefaultFps;
        return static_cast<int>(std::min<DWORD>(rate, kMaxFps));
    }

    // The light metered on the scene as it is when asked, as a sensor's
    // meter does: a change the sensor thread has not yet framed counts.
    int MeteredLuma()
    {
        constexpr int kW = 64, kH = 48;
        scene_.Refresh();
        std::vector<std::uint8_t> frame(kW * kH * 3 / 2);
        scene_.RenderYv12(kW, kH, zoom_, frameNumber_, frame.data());
        std::uint64_t sum = 0;
        for (int i = 0; i < kW * kH; ++i) sum += frame[static_cast<std::size_t>(i)];
        return static_cast<int>(sum / (kW * kH));
    }

    void MakeFrame(int fps)
    {
        scene_.Refresh();
        const auto [w, h] = PreviewSize();
        const REFERENCE_TIME streamTime = StreamTime();
        for (CameraPin* p : pins_) p->UpdateStreamControl(streamTime);
        CameraPin* pin = pins_[kPreview];
        const long size = static_cast<long>(w) * h * 3 / 2;
        IMediaSample* sample = nullptr;
        std::uint8_t* buffer = nullptr;
        const bool deliver = pin->IsConnected() && pin->StreamOn() && SUCCEEDED(pin->GetDeliveryBuffer(&sample, size));
        if (deliver) {
            sample->GetPointer(&buffer);
        } else {
            scratch_.resize(static_cast<std::size_t>(size));
            buffer = scratch_.data();
        }
        scene_.RenderYv12(w, h, zoom_, frameNumber_++, buffer);
        ++g_framesMade;
        if (!deliver) return;
        REFERENCE_TIME start = streamTime;
        REFERENCE_TIME end = streamTime + 10000000 / fps;
        sample->SetTime(&start, &end);
        sample->SetActualDataLength(size);
        if (w != deliveredW_ || h != deliveredH_) {
            // The size changed since the last sample: the new type goes in-band.
            CMediaType type = MakeType(MEDIASUBTYPE_YV12, w, h, false, static_cast<DWORD>(size), 12,
                                       MAKEFOURCC('Y', 'V', '1', '2'));
            const VIDEOINFOHEADER* now = VideoInfoOf(pin->CurrentMediaType());
            if (deliveredW_ != 0 || !now || now->bmiHeader.biWidth != w || now->bmiHeader.biHeight != h) {
                sample->SetMediaType(&type);
                pin->SetConnectionType(type);
            }
            deliveredW_ = w;
            deliveredH_ = h;
        }
        pin->Deliver(sample);
        sample->Release();
    }

    void StillLoop()
    {
        std::unique_lock lock(threadLock_);
        bool prepared = false;
        while (!exit_) {
            if (!prepared && stillRequests_ == 0) {
                // The scene at the still's size is made while nobody waits
                // for it, as a sensor that streams has its picture at hand.
                lock.unlock();
                scene_.Refresh();
                const auto [w, h] = StillSize();
                scene_.Prepare(w, h, zoom_);
                scene_.Prepare(kThumbWidth, kThumbHeight, zoom_);
                lock.lock();
                prepared = true;
                continue;
            }
            plat::WaitUntil(lock, threadCv_, plat::kNoDeadline, [&] { return exit_ || stillRequests_ > 0; });
            if (exit_) break;
            --stillRequests_;
            lock.unlock();
            MakeStill();
            lock.lock();
            prepared = false;  // a folder has moved on to its next picture
        }
    }

    void MakeStill()
    {
        scene_.Refresh();
        const auto [w, h] = StillSize();
        const double zoom = zoom_;
        const std::uint32_t frame = frameNumber_;
        const auto rendered = scene_.RenderRgb(w, h, zoom, frame);
        const plat::cam::RgbPicture& scene = *rendered;
        std::vector<std::uint8_t> jpeg;
        for (int quality = 90; quality >= 10; quality -= 10) {
            jpeg = plat::cam::EncodeJpeg(scene, quality);
            if (!jpeg.empty() && jpeg.size() <= kMaxStillJpeg) break;
        }
        if (jpeg.empty() || jpeg.size() > kMaxStillJpeg) {
            plat::DebugLine(L"Camera: the still could not be encoded");
            return;
        }
        const auto thumb = scene_.RenderRgb(kThumbWidth, kThumbHeight, zoom, frame);
        CameraPin* pin = pins_[kStill];
        const REFERENCE_TIME streamTime = StreamTime();
        pin->UpdateStreamControl(streamTime);
        if (pin->IsConnected() && pin->StreamOn()) {
            const long total = static_cast<long>(jpeg.size() + kThumbBytes);
            const long size = std::max(total, static_cast<long>(w) * h * 2);
            IMediaSample* sample = nullptr;
            if (SUCCEEDED(pin->GetDeliveryBuffer(&sample, size))) {
                BYTE* buffer = nullptr;
                sample->GetPointer(&buffer);
                std::memcpy(buffer, jpeg.data(), jpeg.size());
                plat::cam::RgbToPlanar422(*thumb, buffer + jpeg.size());
                sample->SetActualDataLength(total);
                REFERENCE_TIME start = streamTime;
                REFERENCE_TIME end = streamTime + 1;
                sample->SetTime(&start, &end);
                pin->Deliver(sample);
                sample->Release();
            }
        }
        scene_.NextPicture();
    }

    CCritSec lock_;
    CameraPin* pins_[3] = {};
    PropertyFace<IAMCameraControl, Face::CameraControl> cameraFace_{this};
    PropertyFace<IAMVideoProcAmp, Face::VideoProcAmp> procFace_{this};
    std::atomic<bool> loaded_{false};
    plat::cam::Scene scene_;

    std::mutex sizeLock_;
    int previewW_ = 320;
    int previewH_ = 240;
    int stillW_ = 1280;
    int stillH_ = 960;
    int deliveredW_ = 0;  // sensor thread only
    int deliveredH_ = 0;
    std::vector<std::uint8_t> scratch_;
    std::atomic<std::uint32_t> frameNumber_{0};  // the sensor counts, the still thread reads

    std::atomic<double> zoom_{1.0};
    std::atomic<int> fps_{0};  // 0: the sensor's own rate
    std::mutex propLock_;
    std::map<long, std::pair<long, long>> cameraValues_;
    std::map<long, std::pair<long, long>> procValues_;

    std::mutex threadControl_;
    std::mutex threadLock_;
    std::condition_variable threadCv_;
    bool exit_ = false;
    int stillRequests_ = 0;
    std::thread sensor_;
    std::thread still_;
};

CameraPin::CameraPin(CameraFilter* filter, CCritSec* lock, PinKind kind, const WCHAR* name)
    : CBaseOutputPin(name, filter, lock, nullptr, name), camera_(filter), kind_(kind)
{
}

HRESULT CameraPin::GetMediaType(int position, CMediaType* type)
{
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    if (kind_ == kStill) {
        const auto [w, h] = camera_->StillSize();
        *type = MakeType(MEDIASUBTYPE_IJPG, w, h, true, static_cast<DWORD>(w) * h * 2, 24, MAKEFOURCC('I', 'J', 'P', 'G'));
    } else {
        const auto [w, h] = camera_->PreviewSize();
        const DWORD size = static_cast<DWORD>(w) * h * 3 / 2;
        *type = kind_ == kPreview ? MakeType(MEDIASUBTYPE_YV12, w, h, false, size, 12, MAKEFOURCC('Y', 'V', '1', '2'))
                                  : MakeType(MEDIASUBTYPE_CLJR, w, h, false, size, 8, MAKEFOURCC('C', 'L', 'J', 'R'));
    }
    return S_OK;
}

HRESULT CameraPin::CheckMediaType(const CMediaType* type)
{
    if (!type) return E_POINTER;
    CMediaType mine;
    GetMediaType(0, &mine);
    if (!(type->majortype == MEDIATYPE_Video) || !(type->subtype == mine.subtype) || !VideoInfoOf(*type))
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT CameraPin::SetFormat(AM_MEDIA_TYPE* type)
{
    if (!type) return E_POINTER;
    const VIDEOINFOHEADER* vih = VideoInfoOf(*type);
    const GUID& want = kind_ == kStill ? MEDIASUBTYPE_IJPG : kind_ == kCapture ? MEDIASUBTYPE_CLJR : MEDIASUBTYPE_YV12;
    if (!vih || !(type->majortype == MEDIATYPE_Video) || !(type->subtype == want)) return VFW_E_INVALIDMEDIATYPE;
    const int w = vih->bmiHeader.biWidth;
    const int h = vih->bmiHeader.biHeight < 0 ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
    if (!EvenSize(w, h)) return VFW_E_INVALIDMEDIATYPE;
    if (kind_ == kStill) {
        camera_->SetStillSize(w, h);
        if (IsConnected()) SetConnectionType(CMediaType(*type));
    } else {
        camera_->SetPreviewSize(w, h);
    }
    return S_OK;
}

HRESULT MakeCamera(REFIID iid, void** out)
{
    auto* camera = new (std::nothrow) CameraFilter;
    if (!camera) return E_OUTOFMEMORY;
    const HRESULT hr = camera->QueryInterface(iid, out);
    static_cast<IBaseFilter*>(camera)->Release();
    return hr;
}

const bool registered = [] {
    plat::RegisterComClass(CLSID_VideoCapture, MakeCamera);
    return true;
}();

// ---- the device search ---------------------------------------------------------

struct DeviceSearch : plat::KernelObject {};

}  // namespace

namespace plat::camera {

std::vector<PropertySet> RecordedSets()
{
    std::lock_guard lock(g_recordLock);
    return g_sets;
}

void ClearRecordedSets()
{
    std::lock_guard lock(g_recordLock);
    g_sets.clear();
}

void FailSet(Face face, long property, long value, HRESULT result)
{
    std::lock_guard lock(g_recordLock);
    g_rules.erase(std::remove_if(g_rules.begin(), g_rules.end(),
                                 [&](const Rule& r) { return r.face == face && r.property == property && r.value == value; }),
                  g_rules.end());
    if (result != S_OK) g_rules.push_back({face, property, value, result});
}

void ClearFailures()
{
    std::lock_guard lock(g_recordLock);
    g_rules.clear();
}

unsigned long FramesMade() { return g_framesMade; }

}  // namespace plat::camera

namespace plat {

bool IsDeviceSearchHandle(HANDLE handle)
{
    return LookupHandleAs<DeviceSearch>(handle) != nullptr;
}

}  // namespace plat

HANDLE FindFirstDevice(DeviceSearchType type, LPCVOID param, PDEVMGR_DEVICE_INFORMATION info)
{
    if (!param || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    bool matches = false;
    if (type == DeviceSearchByGuid) {
        matches = *static_cast<const GUID*>(param) == GUID_CameraDeviceClass;
    } else if (type == DeviceSearchByLegacyName) {
        // A name with '*' matches every name that starts as it does before the '*'.
        std::wstring pattern = static_cast<const WCHAR*>(param);
        for (auto& c : pattern) c = static_cast<WCHAR>(std::towupper(c));
        const std::wstring name = L"CAM1:";
        const auto star = pattern.find(L'*');
        matches = star == std::wstring::npos ? pattern == name : name.compare(0, star, pattern, 0, star) == 0;
    }
    if (matches) matches = plat::cam::CameraConfigured();
    if (!matches) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return INVALID_HANDLE_VALUE;
    }
    const DWORD size = info->dwSize;
    std::memset(info, 0, sizeof(*info));
    info->dwSize = size;
    std::wcscpy(info->szLegacyName, L"CAM1:");
    std::wcscpy(info->szDeviceKey, L"Drivers\\BuiltIn\\Camera");
    std::wcscpy(info->szDeviceName, L"CAM1:");
    std::wcscpy(info->szBusName, L"BuiltIn");
    return plat::InsertHandle(std::make_shared<DeviceSearch>());
}
