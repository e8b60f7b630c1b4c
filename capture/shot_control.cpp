#include "shot_control.h"

#include <cstring>
#include <cwchar>
#include <mutex>

#include "ImageUtil.h"
#include "app_messages.h"
#include "camera_control.h"
#include "capture_host.h"
#include "file_control.h"
#include "rot_bitmap.h"
#include "settings.h"

namespace {

constexpr int kSeriesLength = 20;

// The list is filled by the streaming threads and read by the GUI thread.
std::mutex& ListLock()
{
    static std::mutex lock;
    return lock;
}

void ClearRecognizingState()
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeypadStateKey, 0, nullptr, 0, 0, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    const DWORD zero = 0;
    RegSetValueExW(key, L"LumOCRRecognizing", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof zero);
    RegCloseKey(key);
}

}  // namespace

CShot::CShot()
{
    CRotBitmap::CreateInstance(m_pThumbnail);
    m_bValid = 1;
}

CShot::CShot(DWORD kind, const BYTE* frame, DWORD length, int width, int height, LPCWSTR name, LPCWSTR path)
    : m_nKind(kind), m_nLength(length), m_nWidth(width), m_nHeight(height)
{
    plat::DebugLine(L">>> %ls", L"CShot::CShot");
    CRotBitmap::CreateInstance(m_pThumbnail);
    if (frame && length)
        m_pFrame.assign(frame, frame + length);
    SetNames(name, path);
    RemakeThumbnail();
    m_bValid = 1;
    plat::DebugLine(L"<<< %ls", L"CShot::CShot");
}

CShotFromBitmap::CShotFromBitmap(HBITMAP bitmap, LPCWSTR name, LPCWSTR path)
{
    if (m_hSource && m_hSource != bitmap)
        DeleteObject(m_hSource);
    m_hSource = bitmap;
    BITMAP info = {};
    if (bitmap && GetObjectW(bitmap, sizeof info, &info)) {
        m_nWidth = info.bmWidth;
        m_nHeight = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    }
    RemakeThumbnail();
    SetNames(name, path);
}

HBITMAP CShot::DrawThumbnail() const
{
    const BYTE* frame = Data();
    if (!m_hSource) {
        if (m_nKind == SHOT_KIND_PREVIEW && frame)
            return CImageUtil::HBITMAPfromYUV420(frame, m_nWidth, m_nHeight, m_nWidth, m_nHeight, 0);
        if (m_nKind == SHOT_KIND_STILL && frame && m_nLength >= kStillThumbnailBytes)
            return CImageUtil::HBITMAPfromYUV422RGB888(frame + m_nLength - kStillThumbnailBytes, 320, 240, 0);
        return nullptr;
    }
    void* bits = nullptr;
    HBITMAP thumbnail = CImageUtil::CreateDIB(320, 240, 16, &bits, TRUE);
    if (thumbnail) {
        HDC src = CreateCompatibleDC(nullptr);
        HDC dst = CreateCompatibleDC(nullptr);
        HGDIOBJ oldSrc = SelectObject(src, m_hSource);
        HGDIOBJ oldDst = SelectObject(dst, thumbnail);
        StretchBlt(dst, 0, 0, 320, 240, src, 0, 0, m_nWidth, m_nHeight, SRCCOPY);
        SelectObject(src, oldSrc);
        SelectObject(dst, oldDst);
        DeleteDC(src);
        DeleteDC(dst);
    }
    return thumbnail;
}

void CShot::RemakeThumbnail()
{
    HBITMAP thumbnail = DrawThumbnail();
    if (thumbnail && m_pThumbnail)
        m_pThumbnail->Attach(thumbnail, TRUE);
    else if (thumbnail)
        DeleteObject(thumbnail);
}

CShot::~CShot()
{
    if (m_hSource)
        DeleteObject(m_hSource);
}

void CShot::SetNames(LPCWSTR name, LPCWSTR path)
{
    std::swprintf(m_szName, MAX_PATH, L"%ls", name ? name : L"");
    std::swprintf(m_szPath, MAX_PATH, L"%ls", path ? path : L"");
}

bool CShot::Save()
{
    plat::DebugLine(L">>> %ls", L"CShot::Save");
    bool written = false;
    if (m_hSource && m_pFrame.empty()) {
        DIBSECTION dib = {};
        if (GetObjectW(m_hSource, sizeof dib, &dib) == sizeof dib && dib.dsBm.bmBits)
            written = SUCCEEDED(CImageUtil::SaveJpegFromBuffer(m_szPath, static_cast<const BYTE*>(dib.dsBm.bmBits),
                                                               m_nWidth, m_nHeight, 1));
    } else if (m_nKind != SHOT_KIND_STILL && !m_pFrame.empty()) {
        written = SUCCEEDED(CImageUtil::SaveJpegFromBuffer(m_szPath, m_pFrame.data(), m_nWidth, m_nHeight, 0));
    } else if (m_nKind == SHOT_KIND_STILL && !m_pFrame.empty()) {
        written = CImageUtil::SaveJpegWithThumbnail(m_szPath, m_pFrame.data(), m_nLength, 1) >= 0;
        CCaptureHost& host = CaptureHost();
        host.OnPictureSaved();
        const int next = host.ShotCounter() + 1;
        const bool recognize = host.RecognizeNow() == 1 || next == kSeriesLength;
        if (recognize) {
            host.ClearCapturePending();
            ClearRecognizingState();
        }
        HWND window = CCameraControl::GetInstance()->GetHwnd();
        if (host.IsPopupShown()) {
            plat::DebugLine(L"[TRAVEK] Showed Popup. BACK Preview\n");
            PostMessageW(window, WM_TARGET_COMMAND, CMD_STILL_CLEANUP, 0);
        } else if (!recognize) {
            // A series is read as a whole: its earlier shots go back to the
            // preview for the next one.
            plat::DebugLine(L"[TRAVEK] MULTISHOT COUNT[%d]\n", next);
        } else {
            plat::DebugLine(L"[TRAVEK] Not Showed Popup. Go to Recognize\n");
            plat::DebugLine(L"[TRAVEK] MULTISHOT COUNT[%d]\n", next);
            if (next == kSeriesLength) {
                host.SetShotCounter(kSeriesLength);
                host.SetSeriesComplete();
            }
            PostMessageW(window, WM_START_RECOGNITION, 0, 0);
        }
    }
    if (CCameraControl::GetInstance()->GetShotMode() == 2)
        PostMessageW(CCameraControl::GetInstance()->GetHwnd(), WM_TARGET_COMMAND, 0x20003, 0);
    plat::DebugLine(L"<<< %ls", L"CShot::Save");
    return written;
}

CShotControl::CShotControl() = default;

CShotControl::~CShotControl()
{
    Destroy();
}

void CShotControl::Reset()
{
    std::lock_guard<std::mutex> lock(ListLock());
    m_nCurrent = 0;
    m_shots.clear();
}

bool CShotControl::MakeName(LPWSTR name, LPWSTR path)
{
    name[0] = path[0] = L'\0';
    return CFileControl::GetInstance()->MakeOcrPictureName(name, path) != FALSE;
}

BOOL CShotControl::AddShot(DWORD kind, const BYTE* frame, DWORD length, int width, int height)
{
    plat::DebugLine(L"CShotControl::AddShot");
    // A still too short for its trailing thumbnail would be read before its start.
    if (!frame || (kind == SHOT_KIND_STILL && length < kStillThumbnailBytes))
        return FALSE;
    if (GetShotCount() >= kCapacity)
        return FALSE;
    WCHAR name[MAX_PATH];
    WCHAR path[MAX_PATH];
    MakeName(name, path);
    CShot* shot = new CShot(kind, frame, length, width, height, name, path);
    std::lock_guard<std::mutex> lock(ListLock());
    m_shots.push_back(shot);
    return TRUE;
}

int CShotControl::CreatePreviewShot(const BYTE* frame, int width, int height)
{
    if (!frame || width < 1 || height < 1 || GetShotCount() >= kCapacity)
        return 0;
    // The shot keeps 100 bytes more than the frame; they are zero, not read
    // past the caller's buffer.
    const DWORD frameBytes = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 3 / 2;
    std::vector<BYTE> copy(frameBytes + 100, 0);
    std::memcpy(copy.data(), frame, frameBytes);
    WCHAR name[MAX_PATH];
    WCHAR path[MAX_PATH];
    MakeName(name, path);
    CShot* shot = new CShot(SHOT_KIND_PREVIEW, copy.data(), static_cast<DWORD>(copy.size()), width, height, name,
                            path);
    std::lock_guard<std::mutex> lock(ListLock());
    m_shots.push_back(shot);
    return 1;
}

int CShotControl::CreateShot(HBITMAP bitmap)
{
    if (GetShotCount() >= kCapacity) {
        if (bitmap)
            DeleteObject(bitmap);
        return 0;
    }
    WCHAR name[MAX_PATH];
    WCHAR path[MAX_PATH];
    MakeName(name, path);
    CShot* shot = new CShotFromBitmap(bitmap, name, path);
    std::lock_guard<std::mutex> lock(ListLock());
    m_shots.push_back(shot);
    return 1;
}

CShot* CShotControl::GetShot(int index)
{
    std::lock_guard<std::mutex> lock(ListLock());
    if (index < 0 || index >= static_cast<int>(m_shots.size()))
        return nullptr;
    return m_shots[index];
}

CShot* CShotControl::GetLastShot()
{
    std::lock_guard<std::mutex> lock(ListLock());
    return m_shots.empty() ? nullptr : m_shots.back();
}

CShot* CShotControl::GetCurrentShot()
{
    return GetShot(m_nCurrent);
}

int CShotControl::GetShotCount() const
{
    std::lock_guard<std::mutex> lock(ListLock());
    return static_cast<int>(m_shots.size());
}

void CShotControl::NextShot()
{
    const int count = GetShotCount();
    m_nCurrent = m_nCurrent + 1 >= count ? 0 : m_nCurrent + 1;
}

void CShotControl::PrevShot()
{
    m_nCurrent = m_nCurrent <= 0 ? GetShotCount() - 1 : m_nCurrent - 1;
}

int CShotControl::SaveAllShots()
{
    CCameraControl* camera = CCameraControl::GetInstance();
    camera->SetState(4096);
    for (int i = 0;; ++i) {
        CShot* shot = GetShot(i);
        if (!shot)
            break;
        shot->Save();
    }
    camera->SetState(1);
    return 1;
}

void CShotControl::DeleteShotFiles()
{
    std::vector<CShot*> shots;
    {
        std::lock_guard<std::mutex> lock(ListLock());
        shots.swap(m_shots);
    }
    for (CShot* shot : shots) {
        DeleteFileW(shot->Path());
        delete shot;
    }
}

void CShotControl::DeleteSavedShots()
{
    std::vector<CShot*> gone;
    {
        std::lock_guard<std::mutex> lock(ListLock());
        std::vector<CShot*> kept;
        for (CShot* shot : m_shots)
            (shot->IsValid() ? gone : kept).push_back(shot);
        m_shots.swap(kept);
    }
    for (CShot* shot : gone) {
        DeleteFileW(shot->Path());
        delete shot;
    }
}

void CShotControl::ReleaseShots()
{
    std::vector<CShot*> shots;
    {
        std::lock_guard<std::mutex> lock(ListLock());
        shots.swap(m_shots);
    }
    for (CShot* shot : shots)
        delete shot;
}

void CShotControl::ReleaseShotsEx()
{
    ReleaseShots();
}

void CShotControl::Destroy()
{
    ReleaseShots();
    std::lock_guard<std::mutex> lock(ListLock());
    m_shots.shrink_to_fit();
}
