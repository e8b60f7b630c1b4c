#include "panorama.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "app_messages.h"
#include "common_control.h"
#include "plat/debug.h"
#include "plat/message.h"

namespace {

constexpr const WCHAR* kSourceFile = L"CePanorama.cpp";
std::mutex g_instanceLock;
CePanorama* g_instance = nullptr;
std::atomic<unsigned> g_previewCalls{0};

void LogError(int line, const WCHAR* function, const WCHAR* text)
{
    plat::DebugLine(L"Error:%d-line(%ls||%ls)\r\n    ->", line, function, kSourceFile);
    OutputDebugStringW(text);
}

}  // namespace

CePanorama* CePanorama::GetInstance()
{
    std::lock_guard lock(g_instanceLock);
    if (!g_instance)
        g_instance = new CePanorama;
    return g_instance;
}

void CePanorama::DeleteInstance()
{
    std::lock_guard lock(g_instanceLock);
    if (g_instance)
        g_instance->Unload();
    delete g_instance;
    g_instance = nullptr;
}

CePanorama::~CePanorama() = default;

int CePanorama::GetErrorText(int code, WCHAR* buffer)
{
    const WCHAR* text;
    switch (code) {
    case -1: text = L"Operation failed"; break;
    case 1: text = L"Illegal sequence of API calls"; break;
    case 2: text = L"Out of memory"; break;
    case 4: text = L"Illegal or invalid parameter used"; break;
    case 5: text = L"Motion esitmation initialization failure"; break;
    case 6: text = L"PanoraMax is unable to detect acquisition/stitching direction"; break;
    case 7: text = L"Motion estimation configuration failed"; break;
    case 8: text = L"Begin capture can not start. Image data was not provided"; break;
    case 9: text = L"Invalid panorama image size generated"; break;
    default: text = L"Unknown"; break;
    }
    if (buffer)
        std::wcscpy(buffer, text);
    return code;
}

const WCHAR* CePanorama::GetStatusText() const
{
    std::lock_guard lock(m_lock);
    if (!m_hJob)
        return L"NOT INITIALIZED";
    switch (m_Status.status) {
    case PX_STATUS_INVALID: return L"INVALID";
    case PX_STATUS_VALID: return L"VALID";
    case PX_STATUS_POSITIONED: return L"POSITIONED";
    case PX_STATUS_STEADY: return L"STEADY";
    default: return L"BUG";
    }
}

void CePanorama::StoreError(int code)
{
    // Preview frames fail on the streaming thread, the rest on the GUI thread.
    std::lock_guard lock(m_lock);
    m_nResult = code;
    GetErrorText(code, m_szError);
}

bool CePanorama::Bind()
{
    if (!m_hModule)
        m_hModule = LoadLibraryW(L"PanoraMax.dll");
    if (!m_hModule) {
        OutputDebugStringW(L"Failed to LoadLibrary (\"PanoraMax.dll\")\r\n");
        return false;
    }
    struct Entry {
        const WCHAR* name;
        const WCHAR* missing;
        FARPROC* slot;
    } entries[] = {
        {L"px_free", L"Failed to GetProcAddress (\"px_free()\")\r\n", reinterpret_cast<FARPROC*>(&m_pfnFree)},
        {L"px_abort", L"Failed to GetProcAddress (\"pfnpx_abort()\")\r\n", reinterpret_cast<FARPROC*>(&m_pfnAbort)},
        {L"px_init", L"Failed to GetProcAddress (\"px_init()\")\r\n", reinterpret_cast<FARPROC*>(&m_pfnInit)},
        {L"px_setParams", L"Failed to GetProcAddress (\"px_setParams()\")\r\n",
         reinterpret_cast<FARPROC*>(&m_pfnSetParams)},
        {L"px_start", L"Failed to GetProcAddress (\"px_start()\")\r\n", reinterpret_cast<FARPROC*>(&m_pfnStart)},
        {L"px_beginCapture", L"Failed to GetProcAddress (\"px_beginCapture()\")\r\n",
         reinterpret_cast<FARPROC*>(&m_pfnBeginCapture)},
        {L"px_handleFrame", L"Failed to GetProcAddress (\"px_handleFrame()\")\r\n",
         reinterpret_cast<FARPROC*>(&m_pfnHandleFrame)},
        {L"px_addFrame", L"Failed to GetProcAddress (\"px_addFrame()\")\r\n",
         reinterpret_cast<FARPROC*>(&m_pfnAddFrame)},
        {L"px_createPanorama", L"Failed to GetProcAddress (\"px_createPanorama()\")\r\n",
         reinterpret_cast<FARPROC*>(&m_pfnCreatePanorama)},
        {L"px_getPanoramaImage", L"Failed to GetProcAddress (\"px_getPanoramaImage()\")\r\n",
         reinterpret_cast<FARPROC*>(&m_pfnGetPanoramaImage)},
        {L"px_endCapture", L"Failed to GetProcAddress (\"px_endCapture()\")\r\n",
         reinterpret_cast<FARPROC*>(&m_pfnEndCapture)},
    };
    for (const Entry& e : entries) {
        *e.slot = GetProcAddressW(m_hModule, e.name);
        if (!*e.slot) {
            OutputDebugStringW(e.missing);
            return false;
        }
    }
    m_bLoaded = 1;
    return true;
}

void CePanorama::FillRecord(PxFrame* record, BYTE* frame, int width, int height)
{
    const size_t n = static_cast<size_t>(width) * height;
    *record = {1, width, height, frame, frame + n, frame + n + n / 4};
}

int CePanorama::Initialize(HWND window, int shotWidth, int shotHeight, int previewWidth, int previewHeight,
                           int shots)
{
    if (!m_bLoaded && !Bind())
        return 0;
    m_bAccepting = 0;
    OutputDebugStringW(L"CePanorama!\n");
    {
        // The streaming thread may be inside the library with the old job.
        std::lock_guard lock(m_lock);
        if (m_hJob) {
            m_pfnAbort(m_hJob);
            m_pfnFree(m_hJob);
            m_hJob = nullptr;
        }
        m_hNotify = window;
        m_nShotWidth = shotWidth, m_nShotHeight = shotHeight;
        m_nPreviewWidth = previewWidth, m_nPreviewHeight = previewHeight;
        m_ptReference = {previewWidth / 2, previewHeight / 2};
        m_ptCurrent = m_ptReference;
    }
    PxAllocator allocator{std::malloc, std::free};
    PxHandle job = nullptr;
    int r = m_pfnInit(&allocator, 0, 0, &job);
    if (r != 0) {
        if (job)
            m_pfnFree(job);
        StoreError(r);
        plat::DebugLine(L"Failed to initialize PanoraMax : %ls\n", m_szError);
        return 0;
    }
    OutputDebugStringW(L"Success to initialize PanoraMax\n");
    r = m_pfnSetParams(job, shotWidth, shotHeight, 1, previewWidth, previewHeight, 1, shots, 15, 12.0f,
                       shotWidth * shotHeight * 3 / 2 * shots);
    if (r != 0) {
        StoreError(r);
        plat::DebugLine(L"Failed to set params PanoraMax : %ls\n", m_szError);
        m_pfnFree(job);
        return 0;
    }
    OutputDebugStringW(L"Success to set params PanoraMax\n");
    {
        std::lock_guard lock(m_lock);
        m_hJob = job;
    }
    Rearm();
    return 1;
}

int CePanorama::PanoramaBegin()
{
    std::unique_lock lock(m_lock);
    if (!m_hJob)
        return 0;
    int r = m_pfnAbort(m_hJob);
    const WCHAR* failed = r ? L"px_abort err : %ls\n" : nullptr;
    if (!r) {
        r = m_pfnStart(m_hJob);
        failed = r ? L"px_start err : %ls\n" : nullptr;
    }
    if (!r) {
        r = m_pfnBeginCapture(m_hJob, 0);
        failed = r ? L"px_beginCapture err : %ls\n" : nullptr;
    }
    lock.unlock();
    if (failed) {
        StoreError(r);
        plat::DebugLine(failed, m_szError);
    }
    plat::DebugLine(L"Panorama Begin result : %ls\n", r ? L"FAILED" : L"SUCCESS");
    if (r)
        return 0;
    m_bAccepting = 1;
    return 1;
}

bool CePanorama::AddPreviewFrame(BYTE* frame)
{
    // Half the preview frames are enough to follow the camera.
    if (++g_previewCalls % 2 == 0)
        return true;
    std::unique_lock lock(m_lock);
    if (!m_hJob)
        return false;
    if (!m_bAccepting || !frame)
        return true;
    FillRecord(&m_PreviewFrame, frame, m_nPreviewWidth, m_nPreviewHeight);
    const int before = m_Status.status;
    int r = m_pfnHandleFrame(m_hJob, &m_PreviewFrame, 0, &m_Status);
    if (r != 0) {
        lock.unlock();
        StoreError(r);
        WCHAR cause[128];
        GetErrorText(r, cause);
        WCHAR text[160];
        std::swprintf(text, 160, L"Panorama Handle Failed. cause : %ls\n", cause);
        LogError(__LINE__, L"CePanorama::AddPreviewFrame", text);
        return false;
    }
    m_ptCurrent = {m_ptReference.x + m_Status.x, m_ptReference.y + m_Status.y};
    // The first shot is the user's; later ones are taken when the camera
    // came to the next place and stays there.
    if (m_Status.added > 0 && before == PX_STATUS_POSITIONED &&
        (m_Status.status == PX_STATUS_POSITIONED || m_Status.status == PX_STATUS_STEADY)) {
        plat::DebugLine(L"%d shot posted!\n", m_Status.added);
        m_bAccepting = 0;
        PostMessageW(m_hNotify, WM_MAIN_COMMAND, CMD_PANORAMA_SHUTTER, 0);
    }
    return true;
}

int CePanorama::AddShotFrame(BYTE* frame)
{
    std::unique_lock lock(m_lock);
    if (!m_hJob || !frame)
        return 0;
    FillRecord(&m_ShotFrame, frame, m_nShotWidth, m_nShotHeight);
    if (m_Status.status == PX_STATUS_INVALID) {
        // Nothing to place it by: refused, and said so.
        LogError(__LINE__, L"CePanorama::AddShotFrame", L"Panorama not invalid\n");
        return 0;
    }
    int r = m_pfnAddFrame(m_hJob, &m_ShotFrame, 0, &m_Status);
    if (r != 0) {
        lock.unlock();
        StoreError(r);
        plat::DebugLine(L"Panorama Add Failed. cause : %ls\n", m_szError);
        return 0;
    }
    m_ptCurrent = {m_ptReference.x + m_Status.x, m_ptReference.y + m_Status.y};
    m_bAccepting = 1;
    if (m_Status.added == m_Status.target) {
        m_bAccepting = 0;
        m_Status.status = PX_STATUS_STEADY;
        // The guide shows the full count at once.
        if (CCommonControl* common = CCommonControl::PeekInstance())
            common->SignalFrame();
        PostMessageW(m_hNotify, WM_PANORAMA_FRAME, kPanoramaComplete, 0);
    }
    return 1;
}

PxStatus CePanorama::GetStatus() const
{
    std::lock_guard lock(m_lock);
    return m_Status;
}

POINT CePanorama::GetCurrentPoint() const
{
    std::lock_guard lock(m_lock);
    return m_ptCurrent;
}

POINT CePanorama::GetReferencePoint() const
{
    std::lock_guard lock(m_lock);
    return m_ptReference;
}

void CePanorama::StopAtCentre()
{
    std::lock_guard lock(m_lock);
    m_bAccepting = 0;
    m_ptReference = {m_nPreviewWidth / 2, m_nPreviewHeight / 2};
    m_ptCurrent = m_ptReference;
}

void CePanorama::Rearm()
{
    std::lock_guard lock(m_lock);
    m_Status = PxStatus{};
    m_bAccepting = 1;
}

int CePanorama::GetPanoramaImage(BYTE** data, int* width, int* height, int* format)
{
    std::unique_lock lock(m_lock);
    if (!m_hJob || !data || !width || !height || !format)
        return 0;
    PxImage image{};
    int r = m_pfnGetPanoramaImage(m_hJob, &image, width, height);
    lock.unlock();
    if (r != 0) {
        StoreError(r);
        return 0;
    }
    *data = image.data;
    *width = image.width;
    *height = image.height;
    *format = image.format;
    return 1;
}

void CePanorama::Release()
{
    std::lock_guard lock(m_lock);
    m_bAccepting = 0;
    if (m_hJob && m_pfnFree)
        m_pfnFree(m_hJob);
    m_hJob = nullptr;
    m_bLoaded = 0;
}

void CePanorama::Unload()
{
    Release();
    if (m_hModule)
        FreeLibrary(m_hModule);
    m_hModule = nullptr;
}
