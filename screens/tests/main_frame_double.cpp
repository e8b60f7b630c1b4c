// A double of the main frame for the screens' tests: its words are the real
// frame's (main_frame.h); its operations write what they were asked into the
// shell doubles' log.
#include <cstdlib>
#include <mutex>

#include "main_frame.h"
#include "neighbour_doubles.h"
#include "result_records.h"

HWND g_hMainWnd = nullptr;
WCHAR g_szGalleryPath[MAX_PATH] = {};
std::atomic<ThumbNailDialog*> g_pThumbNailDialog{nullptr};
std::atomic<int> g_bCancelOnSwitch{0};

using doubles::Log;

CMainFrame::CMainFrame()
{
    InitializeCriticalSection(&m_cs);
    CDrawEvent::InstallGate(this);
}

CMainFrame::~CMainFrame()
{
    CDrawEvent::InstallGate(nullptr);
    for (int i = 0; i < kResultSlots; ++i)
        FreeSlot(i);
    DeleteCriticalSection(&m_cs);
}

HWND CMainFrame::CreateEx() { return nullptr; }
std::wstring CMainFrame::GetWndClassName() const { return L"LUMOCR"; }
BOOL CMainFrame::PreTranslateMessage(MSG*) { return FALSE; }

void CMainFrame::SetSurfaceDrawBlocked(int value)
{
    Log("CMainFrame::SetSurfaceDrawBlocked(%d)", value);
    m_bSurfaceDrawBlocked = value;
}

int CMainFrame::GetPictureCount() const
{
    int count = 0;
    for (const ResultSlot& slot : m_slots)
        count += slot.pictureName != nullptr;
    return count;
}

void CMainFrame::FreeSlot(int slot)
{
    if (slot < 0 || slot >= kResultSlots)
        return;
    ResultSlot& s = m_slots[slot];
    std::free(s.items);
    std::free(s.text);
    std::free(s.subItems);
    std::free(s.pictureName);
    s.items = nullptr;
    s.text = nullptr;
    s.subItems = nullptr;
    s.pictureName = nullptr;
}

void CMainFrame::FillOutBlack() { Log("CMainFrame::FillOutBlack()"); }
void CMainFrame::HoldRotationMutex(BOOL, int) {}
void CMainFrame::ShowPopup(int type) { Log("CMainFrame::ShowPopup(%d)", type); }
void CMainFrame::HideDialogBoxEx(int type) { Log("CMainFrame::HideDialogBoxEx(%d)", type); }
void CMainFrame::RemovePopup(int type) { Log("CMainFrame::RemovePopup(%d)", type); }
void CMainFrame::ReshowPopup() { Log("CMainFrame::ReshowPopup()"); }
void CMainFrame::ProcessPopupLBtn() { Log("CMainFrame::ProcessPopupLBtn()"); }
void CMainFrame::ProcessPopupRBtn() { Log("CMainFrame::ProcessPopupRBtn()"); }
void CMainFrame::ProcessPopupOkBtn() { Log("CMainFrame::ProcessPopupOkBtn()"); }
void CMainFrame::SetOcrPicture(LPCWSTR, LPCWSTR) {}

#define LUM_FRAME_HANDLER(Name) \
    LRESULT CMainFrame::Name(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
LUM_FRAME_HANDLER(OnCreate)
LUM_FRAME_HANDLER(OnClose)
LUM_FRAME_HANDLER(OnDestroy)
LUM_FRAME_HANDLER(OnDrawScreen)
LUM_FRAME_HANDLER(OnActivate)
LUM_FRAME_HANDLER(OnMainCommand)
LUM_FRAME_HANDLER(OnTargetCommand)
LUM_FRAME_HANDLER(OnKeyDown)
LUM_FRAME_HANDLER(OnKeyUp)
LUM_FRAME_HANDLER(OnLButtonDown)
LUM_FRAME_HANDLER(OnLButtonUp)
LUM_FRAME_HANDLER(OnMouseMove)
LUM_FRAME_HANDLER(OnSingleShot)
LUM_FRAME_HANDLER(OnMultiShotDone)
LUM_FRAME_HANDLER(OnPanoramaFrame)
LUM_FRAME_HANDLER(OnWaveOutDone)
LUM_FRAME_HANDLER(OnTimer)
LUM_FRAME_HANDLER(OnGraphNotify)
LUM_FRAME_HANDLER(OnFileChangeInfo)
LUM_FRAME_HANDLER(OnStartRecognition)
LUM_FRAME_HANDLER(OnResult)
LUM_FRAME_HANDLER(OnShowSettingView)
LUM_FRAME_HANDLER(OnShowThumbnailView)
LUM_FRAME_HANDLER(OnOtherAppActive)
LUM_FRAME_HANDLER(OnSize)
LUM_FRAME_HANDLER(OnSettingChange)
LUM_FRAME_HANDLER(OnPopupRequest)
#undef LUM_FRAME_HANDLER
