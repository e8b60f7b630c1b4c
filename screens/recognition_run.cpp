#include "recognition_run.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "app_messages.h"
#include "debug_print.h"
#include "display.h"
#include "draw_event.h"
#include "main_frame.h"
#include "result_records.h"
#include "settings.h"
#include "single_pic_gui.h"

namespace {

constexpr const WCHAR* kKeypadKey = L"System\\State\\Velmora\\Keypad";
constexpr const WCHAR* kPhoneKey = L"System\\State\\Phone";
constexpr const WCHAR* kSource = L"SinglePicBaseGUI";

void LogCanceled(int line) { DebugPrint(L"[LumOCR] CALCELED[%d]\n", line); }

void SetRecognizingValue(DWORD value) { RegistrySetDWORD(HKEY_LOCAL_MACHINE, kKeypadKey, L"LumOCRRecognizing", value); }

// Keeps the program awake while the engine works.
void ReapplyAutoOff()
{
    CSettings* settings = CSettings::GetInstance();
    settings->SetAutoOffMode(settings->GetAutoOffMode());
}

// A stop asked by the user, the program closing, or the call popup.
bool CancelSourceHolds(const CRecognitionRun& run, const CMainFrame* frame)
{
    return run.stop.load() != 0 || run.canceled.load() != 0 || frame->m_bClosing.load() != 0 ||
           frame->m_nPopupType.load() == POPUP_CALL;
}

std::wstring PicturePath(CMainFrame* frame, int slot, bool* named)
{
    EnterCriticalSection(&frame->m_cs);
    std::wstring path = frame->m_szPictureFolder;
    const WCHAR* name = frame->m_slots[slot].pictureName;
    *named = name != nullptr;
    if (name)
        path += name;
    LeaveCriticalSection(&frame->m_cs);
    return path;
}

bool FileOpens(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

void RaiseToHundred(CRecognitionRun& run)
{
    if (run.lastProgressPercent.exchange(100) != 100)
        CDrawEvent::PostMessage(kSource, __LINE__);
}

}  // namespace

// Two words the main frame resets before a run are the screen's.
CRecognitionRun::CRecognitionRun()
    : canceled(CSinglePicBaseGUI::m_bCancel), lastCategories(CSinglePicBaseGUI::m_nResult)
{
}

CRecognitionRun& CRecognitionRun::Instance()
{
    static CRecognitionRun run;
    return run;
}

void CRecognitionRun::Reset()
{
    currentPicture = 0;
    cancelPressed = 0;
    canceled = 0;
    preparing = 0;
    unablePopup = 0;
    stop = 0;
    goToPreview = 0;
    continueFlag = 1;
    lastProgressPercent = 0;
    lastCategories = 0;
}

void CRecognitionRun::Cancel()
{
    continueFlag = 0;
    canceled = 1;
}

std::int32_t CRecognitionRun::ProgressCallback(std::int32_t percent)
{
    CRecognitionRun& run = Instance();
    if ((percent > run.lastProgressPercent.load() + 10 || percent == 100) && run.continueFlag.load()) {
        run.lastProgressPercent = percent;
        CMainFrame* frame = CMainFrame::PeekInstance();
        if (frame && frame->m_bLayerDrawn)
            CDrawEvent::PostMessage(kSource, __LINE__);
    }
    DWORD status = 0;
    if (FAILED(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kPhoneKey, L"Status", &status)))
        status = 0;
    if (status & kPhoneCallBit) {
        run.continueFlag = 0;
        return 0;
    }
    return run.continueFlag.load();
}

DWORD CRecognitionRun::Run(LPARAM target)
{
    CMainFrame* frame = CMainFrame::GetInstance();
    frame->m_bRecognitionRunning = 1;
    SetRecognizingValue(1);
    canceled = 0;

    const bool card = frame->m_options.bcrOcrMode != 0;
    const RecognitionLanguage language = RecognitionLanguageOf(static_cast<int>(frame->m_options.selectedLanguage), card);
    bool failed = false;

    if (CancelSourceHolds(*this, frame)) {
        LogCanceled(__LINE__);
        failed = true;
    }
    int count = 0;
    if (!failed) {
        EnterCriticalSection(&frame->m_cs);
        for (ResultSlot& slot : frame->m_slots) {
            slot.success = 1;
            count += slot.pictureName != nullptr;
        }
        LeaveCriticalSection(&frame->m_cs);
    }

    for (int i = 0; !failed && i < count; ++i) {
        ReapplyAutoOff();
        if (CancelSourceHolds(*this, frame)) {
            LogCanceled(__LINE__);
            failed = true;
            break;
        }
        preparing = 1;
        lastProgressPercent = 0;
        CDrawEvent::PostMessage(kSource, __LINE__);
        currentPicture = i;
        bool named = false;
        const std::wstring path = PicturePath(frame, i, &named);
        if (!named || !FileOpens(path)) {
            DebugPrint(L"[LumOCR] CANNOT OPEN [%ls]\n", path.c_str());
            failed = true;
            break;
        }

        bool endLoop = false;
        auto markFailed = [&] {
            EnterCriticalSection(&frame->m_cs);
            frame->m_slots[i].success = 0;
            LeaveCriticalSection(&frame->m_cs);
        };
        PictureHooks hooks;
        hooks.progress = &CRecognitionRun::ProgressCallback;
        hooks.beforeDirection = [this] { preparing = 0; };
        hooks.direction = [&](std::int32_t direction) {
            EnterCriticalSection(&frame->m_cs);
            frame->m_slots[i].direction = direction;
            for (int later = i + 1; later < kResultSlots; ++later)
                frame->m_slots[later].direction = 1;
            LeaveCriticalSection(&frame->m_cs);
        };
        hooks.aroundEngine = &ReapplyAutoOff;
        hooks.stopped = [this] { return canceled.load() != 0; };
        hooks.keepCard = [this](OcrCardField* fields, std::int32_t, bool cp1251) {
            RaiseToHundred(*this);
            cardFields_ = fields;
            const int categories = SendToResult(cp1251 ? 1 : 0);
            cardFields_ = nullptr;
            return categories;
        };
        PictureProduct product;
        const PictureOutcome outcome = RecognizePicture(path, card, language, hooks, &product);
        if (outcome == PictureOutcome::NO_MEMORY) {
            failed = true;
            break;
        }
        if (outcome == PictureOutcome::NOT_DECODED) {
            markFailed();
            if (count == 1) {
                unablePopup = 1;
                canceled = 1;
                break;
            }
            continue;
        }
        if (outcome == PictureOutcome::STOPPED) {
            LogCanceled(__LINE__);
            endLoop = true;
            if (!card)
                goToPreview = 1;
        } else if (card) {
            lastCategories = product.categories;
            if (product.categories < kMinCardCategories) {
                markFailed();
                if (count == 1) {
                    endLoop = true;
                    unablePopup = 1;
                    canceled = 1;
                }
            }
        } else {
            RaiseToHundred(*this);
            if (!product.text) {
                markFailed();
                if (count == 1) {
                    endLoop = true;
                    goToPreview = 1;
                    unablePopup = 1;
                    canceled = 1;
                }
            } else {
                EnterCriticalSection(&frame->m_cs);
                std::free(frame->m_slots[i].text);
                frame->m_slots[i].text = product.text;
                LeaveCriticalSection(&frame->m_cs);
            }
        }
        if (endLoop)
            break;
    }

    DWORD command = CMD_STILL_CLEANUP;
    if (failed) {
        frame->m_bSeriesComplete = 0;
        stop = 0;
        frame->m_bCancelRequested = 0;
        goToPreview = 1;
        if (frame->m_bClosing)
            command = 0;
    } else {
        preparing = 0;
        if (!canceled.exchange(1))
            command = CMD_STILL_GO_RESULT;
    }
    if (command && !frame->m_bClosing)
        ::PostMessageW(g_hMainWnd, WM_TARGET_COMMAND, command, target);
    // Last: the shutdown waits for these, so everything above is done.
    frame->m_bCancelRequested = 0;
    SetRecognizingValue(0);
    frame->m_bRecognitionRunning = 0;
    return 0;
}
