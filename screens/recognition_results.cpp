// What a recognition run leaves in the main frame's result store: the card
// records of one picture, and the two endings of a run on the GUI thread.
#include <cstdlib>
#include <string>

#include "app_messages.h"
#include "common_control.h"
#include "debug_print.h"
#include "display.h"
#include "main_frame.h"
#include "recognition_run.h"
#include "result_builder.h"
#include "result_records.h"

namespace {

void DeletePicture(const CMainFrame* frame, const WCHAR* name)
{
    std::wstring path = frame->m_szPictureFolder;
    path += name;
    if (!DeleteFileW(path.c_str()))
        DebugPrint(L"[LumOCR] DELETE FAIL [%ls]\n", path.c_str());
}

}  // namespace

int CRecognitionRun::SendToResult(int cp1251)
{
    const int slot = currentPicture.load();
    if (!cardFields_ || slot < 0 || slot >= kResultSlots)
        return 0;
    CMainFrame* frame = CMainFrame::GetInstance();
    EnterCriticalSection(&frame->m_cs);
    const int direction = frame->m_slots[slot].direction;
    LeaveCriticalSection(&frame->m_cs);
    CardResult card = BuildCardResult(cardFields_, direction, cp1251 != 0);
    if (!card.items || !card.subItems) {
        std::free(card.items);
        std::free(card.subItems);
        return 0;
    }
    EnterCriticalSection(&frame->m_cs);
    ResultSlot& target = frame->m_slots[slot];
    std::free(target.items);
    std::free(target.subItems);
    target.items = card.items;
    target.subItems = card.subItems;
    LeaveCriticalSection(&frame->m_cs);
    return card.categories;
}

void CRecognitionRun::GoToResult()
{
    CMainFrame* frame = CMainFrame::GetInstance();
    const int shots = frame->m_nShotCount;
    const int n = shots > 0 ? (shots < kResultSlots ? shots : kResultSlots) : 1;
    frame->m_nResultCount = shots;

    EnterCriticalSection(&frame->m_cs);
    bool allGood = true;
    for (int i = 0; i < kResultSlots; ++i) {
        ResultSlot& slot = frame->m_slots[i];
        slot.resultState = 2;
        if (i < n) {
            slot.resultState = slot.success ? 1 : 0;
            allGood = allGood && slot.success;
        }
    }
    if (frame->m_options.singleMultiMode != 0 || allGood) {
        LeaveCriticalSection(&frame->m_cs);
        frame->SetSurfaceDrawBlocked(1);
        CCommonControl::GetInstance()->HoldWorkerOff(&CDisplay::DestroyInstance);
        goToPreview = 1;
        ::PostMessageW(g_hMainWnd, WM_RECOGNITION_RESULT, 0, 0);
        return;
    }

    // A series with failures: the failed pictures go, the good ones close up
    // in their order, each with its records and text direction.
    for (int i = n; i < kResultSlots; ++i)
        frame->m_slots[i].success = 0;
    for (int i = 0; i < n; ++i) {
        ResultSlot& slot = frame->m_slots[i];
        if (slot.success)
            continue;
        if (slot.pictureName)
            DeletePicture(frame, slot.pictureName);
        frame->FreeSlot(i);
    }
    int next = 0;
    for (int i = 0; i < kResultSlots; ++i) {
        ResultSlot& slot = frame->m_slots[i];
        if (!slot.success)
            continue;
        if (i != next) {
            ResultSlot& to = frame->m_slots[next];
            to.success = 1;
            to.items = slot.items;
            to.subItems = slot.subItems;
            to.text = slot.text;
            to.pictureName = slot.pictureName;
            to.direction = slot.direction;
            slot.items = nullptr;
            slot.subItems = nullptr;
            slot.text = nullptr;
            slot.pictureName = nullptr;
            slot.success = 0;
            slot.direction = 1;
        }
        ++next;
    }
    LeaveCriticalSection(&frame->m_cs);
    lastProgressPercent = 0;
    frame->m_bRecognitionRunning = 0;
    unablePopup = 0;
    frame->ShowPopup(POPUP_RECOG_FAIL);
}

void CRecognitionRun::CleanUp()
{
    CMainFrame* frame = CMainFrame::GetInstance();
    const bool keepFiles = frame->m_bPopupShown.load() != 0;
    EnterCriticalSection(&frame->m_cs);
    // Every slot: a gap in the store must not keep a picture behind.
    for (int i = 0; i < kResultSlots; ++i) {
        if (frame->m_slots[i].pictureName && !keepFiles)
            DeletePicture(frame, frame->m_slots[i].pictureName);
        frame->FreeSlot(i);
    }
    LeaveCriticalSection(&frame->m_cs);
    frame->m_nShotCount = 0;
    lastProgressPercent = 0;
    if (unablePopup.exchange(0))
        frame->ShowPopup(POPUP_RECOG_FAIL);
}
