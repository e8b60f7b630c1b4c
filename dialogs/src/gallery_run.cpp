// The gallery's recognition run: the marked pictures one after another on a
// worker thread, through the same per-picture code as the single-picture
// screen's run. The worker only sends progress and, at its end, one message
// with its outcome; the dialog hands the results over or frees them.
#include <cstdlib>
#include <cwchar>

#include "debug_print.h"
#include "dialog_results.h"
#include "gallery_dialog.h"
#include "layout_manager.h"
#include "picture_recognition.h"
#include "result_builder.h"

RecognitionProgress g_RecognitionProgress;

namespace {

constexpr const WCHAR* kKeypadKey = L"System\\State\\Velmora\\Keypad";
constexpr const WCHAR* kPhoneKey = L"System\\State\\Phone";
constexpr DWORD kWorkerStack = 65535;
constexpr int kWorkerPriority = 3;
constexpr int kSlots = 20;

void SetRecognizing(DWORD value) { RegistrySetDWORD(HKEY_LOCAL_MACHINE, kKeypadKey, L"LumOCRRecognizing", value); }

bool CallInProgress()
{
    DWORD status = 0;
    if (FAILED(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kPhoneKey, L"Status", &status)))
        return false;
    return (status & kPhoneCallBit) != 0;
}

void SendProgress(int percent)
{
    HWND indicator = g_RecognitionProgress.window.load();
    if (!indicator)
        return;
    ::SendMessageW(::GetParent(indicator), WM_COMMAND, MAKEWPARAM(IDC_GALLERY_INDICATOR, percent),
                   reinterpret_cast<LPARAM>(indicator));
}

template <class T>
void FreeEntry(T*& entry)
{
    std::free(entry);
    entry = nullptr;
}

}  // namespace

bool CGalleryDialog::KeepGoing() const
{
    CPageIndicator* owner = g_RecognitionProgress.owner.load();
    return !m_closing.load() && owner && owner->Mode() == CPageIndicator::MODE_PROGRESS;
}

std::int32_t CGalleryDialog::ProgressCallback(std::int32_t percent)
{
    RecognitionProgress& g = g_RecognitionProgress;
    CPageIndicator* owner = g.owner.load();
    if ((percent > g.lastPercent.load() + 10 || percent == 100) && owner &&
        owner->Mode() == CPageIndicator::MODE_PROGRESS) {
        if (g.lastPercent.load() == 100)
            return 1;
        g.lastPercent = percent;
        SendProgress(percent);
        DebugPrint(L"percentage[%d]\n", static_cast<int>(percent));
    }
    if (!owner)
        return 0;
    if (CallInProgress()) {
        owner->Stop();
        return 0;
    }
    return owner->Mode() == CPageIndicator::MODE_PROGRESS ? 1 : 0;
}

void CGalleryDialog::StartRun()
{
    LumImageItemList* model = LumImageItemList::GetInstance();
    JoinWorker();  // a finished run's thread
    std::wstring folder = model->GetFolderPath();
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    if (m_in.folder) {
        std::wcsncpy(m_in.folder, folder.c_str(), MAX_PATH - 1);
        m_in.folder[MAX_PATH - 1] = 0;
    }
    int count = 0;
    for (int i = 0; i < model->GetVisibleCount() && count < kSlots && m_in.names; ++i) {
        const ImageFileItem& item = model->GetItemAt(i);
        if (!item.IsMarked() || item.GetType() == ImageFileItem::TYPE_NONE)
            continue;
        WCHAR*& name = m_in.names[count];
        if (!name)
            name = static_cast<WCHAR*>(std::calloc(MAX_PATH, sizeof(WCHAR)));
        if (!name)
            break;
        std::wmemset(name, 0, MAX_PATH);
        std::wcsncpy(name, item.GetName().c_str(), MAX_PATH - 1);
        ++count;
    }
    if (m_in.pictureCount)
        *m_in.pictureCount = 0;
    if (m_in.singleResult)
        *m_in.singleResult = count <= 1 ? 1 : 0;
    if (count == 0) {
        if (m_in.resultKind)
            *m_in.resultKind = GALLERY_NEXT_PREVIEW;
        ::InvalidateRect(m_grid.m_hWnd, nullptr, FALSE);
        ShowNotice(NOTICE_NOTHING_MARKED);
        m_grid.PlaceScrollBar();
        return;
    }
    m_pictures = count;
    m_picture = 0;
    m_card = m_in.recognitionMode && *m_in.recognitionMode == 1;
    if (m_in.runStarted)
        *m_in.runStarted = 1;
    if (m_in.running)
        *m_in.running = 1;
    g_RecognitionProgress.lastPercent = 0;
    m_indicator.Set(m_resource, CPageIndicator::MODE_PROGRESS, 0, m_extra, m_hWnd);
    m_indicator.m_nItemIndex = 1;
    m_indicator.m_nItemCount = count;
    m_indicator.SetProgress(0);
    g_RecognitionProgress.owner = &m_indicator;
    ::SetWindowPos(m_indicator.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    ::InvalidateRect(m_grid.m_hWnd, nullptr, FALSE);
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    EnableSoftKeys(false);
    m_outcomePending = true;
    m_worker = CreateThread(nullptr, kWorkerStack, &CGalleryDialog::WorkerProc, this, 0, nullptr);
    if (!m_worker) {
        m_outcomePending = false;
        FinishRun(RunOutcome::NO_MEMORY);
    } else {
        SetThreadPriority(m_worker, kWorkerPriority);
    }
    if (m_in.pictureCount)
        *m_in.pictureCount = count - 1;
    m_grid.PlaceScrollBar();
}

DWORD CGalleryDialog::WorkerProc(LPVOID self)
{
    static_cast<CGalleryDialog*>(self)->Work();
    return 0;
}

void CGalleryDialog::Work()
{
    SetRecognizing(1);
    const int count = m_pictures.load();
    const bool card = m_card;
    const RecognitionLanguage language = RecognitionLanguageOf(m_in.language, card);
    const std::wstring folder = m_in.folder ? m_in.folder : L"";
    for (int i = 0; i < kSlots && m_in.success; ++i)
        m_in.success[i] = 1;

    RunOutcome outcome = RunOutcome::RECOGNISED;
    for (int i = 0; i < count; ++i) {
        if (!KeepGoing() || CallInProgress()) {
            outcome = RunOutcome::CANCELED;
            break;
        }
        g_RecognitionProgress.lastPercent = 0;
        m_picture = i + 1;
        SendProgress(0);
        const std::wstring path = folder + m_in.names[i];

        PictureHooks hooks;
        hooks.progress = &CGalleryDialog::ProgressCallback;
        hooks.direction = [&](std::int32_t direction) {
            if (!m_in.directions)
                return;
            m_in.directions[i] = direction;
            for (int later = i + 1; later < kSlots; ++later)
                m_in.directions[later] = 1;
        };
        hooks.stopped = [this] { return !KeepGoing(); };
        hooks.keepCard = [&](OcrCardField* fields, std::int32_t direction, bool cp1251) {
            CardResult result = BuildCardResult(fields, direction, cp1251);
            if (!result.items || !result.subItems || !m_in.items || !m_in.subItems) {
                std::free(result.items);
                std::free(result.subItems);
                return 0;
            }
            FreeEntry(m_in.items[i]);
            FreeEntry(m_in.subItems[i]);
            m_in.items[i] = result.items;
            m_in.subItems[i] = result.subItems;
            return result.categories;
        };
        PictureProduct product;
        const PictureOutcome picture = RecognizePicture(path, card, language, hooks, &product);
        if (picture == PictureOutcome::NO_MEMORY) {
            DebugPrint(L"[TRAVEK] Recognize() [%d]\n", i + 1);
            outcome = RunOutcome::NO_MEMORY;
            break;
        }
        if (picture == PictureOutcome::STOPPED) {
            outcome = RunOutcome::CANCELED;
            break;
        }
        bool good = false;
        if (picture == PictureOutcome::READ && card) {
            good = product.categories >= kMinCardCategories;
        } else if (picture == PictureOutcome::READ && m_in.texts) {
            FreeEntry(m_in.texts[i]);
            m_in.texts[i] = product.text;
            good = product.text != nullptr;
        } else {
            std::free(product.text);
        }
        if (m_in.success)
            m_in.success[i] = good ? 1 : 0;
        if (!KeepGoing()) {
            outcome = RunOutcome::CANCELED;
            break;
        }
    }
    if (outcome == RunOutcome::RECOGNISED) {
        int kept = 0;
        for (int i = 0; i < count && m_in.success; ++i)
            kept += m_in.success[i] != 0;
        if (kept == 0)
            outcome = RunOutcome::FAILED;
    }
    m_outcome = outcome;
    ::SendMessageW(m_hWnd, WM_GALLERY_RESULTS, static_cast<WPARAM>(outcome), 0);
    SetRecognizing(0);
}

void CGalleryDialog::JoinWorker()
{
    if (!m_worker)
        return;
    if (m_closing)
        if (CPageIndicator* owner = g_RecognitionProgress.owner.load())
            owner->Stop();
    // The worker may be sending to this thread: its messages run meanwhile.
    while (MsgWaitForMultipleObjectsEx(1, &m_worker, INFINITE, QS_SENDMESSAGE, 0) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
    CloseHandle(m_worker);
    m_worker = nullptr;
    // The outcome could not reach a window that is gone: what the run left is freed.
    if (m_outcomePending)
        FinishRun(RunOutcome::CANCELED);
}

void CGalleryDialog::FreeRunEntries()
{
    const int count = m_pictures.load();
    for (int i = 0; i < count && i < kSlots; ++i) {
        if (m_in.names)
            FreeEntry(m_in.names[i]);
        if (m_in.items)
            FreeEntry(m_in.items[i]);
        if (m_in.texts)
            FreeEntry(m_in.texts[i]);
        if (m_in.subItems)
            FreeEntry(m_in.subItems[i]);
    }
    if (m_in.pictureCount)
        *m_in.pictureCount = 0;
}

void CGalleryDialog::FinishRun(RunOutcome outcome)
{
    m_outcomePending = false;
    g_RecognitionProgress.owner = nullptr;
    if (m_in.running)
        *m_in.running = 0;
    const bool shown = !m_closing.load() && m_hWnd && ::IsWindow(m_hWnd);
    if (shown) {
        ::ShowWindow(m_indicator.m_hWnd, SW_HIDE);
        CLayoutManager::GetInstance()->SetBusy(FALSE);
        EnableSoftKeys(true);
    }
    if (outcome == RunOutcome::RECOGNISED && shown) {
        DebugPrint(L"[RECOGNIZE SUCCESS]\r\n");
        const int count = m_pictures.load();
        for (int i = count; i < kSlots && m_in.success; ++i)
            m_in.success[i] = 0;
        HandOver();
        return;
    }
    DebugPrint(L"[RECOGNIZE CANCEL]\r\n");
    FreeRunEntries();
    if (!shown)
        return;
    ::InvalidateRect(m_grid.m_hWnd, nullptr, FALSE);
    if (outcome == RunOutcome::FAILED || outcome == RunOutcome::NO_MEMORY)
        ShowNotice(NOTICE_RECOGNITION_FAILED);
}

void CGalleryDialog::HandOver()
{
    const bool card = m_card;
    if (m_in.resultKind)
        *m_in.resultKind = card ? GALLERY_NEXT_CARDS : GALLERY_NEXT_DOCUMENTS;
    const int n = m_pictures.load();
    int kept = 0;
    for (int i = 0; i < kSlots; ++i) {
        const bool good = i < n && m_in.success && m_in.success[i];
        if (m_in.resultStates)
            m_in.resultStates[i] = i < n ? (good ? 1 : 0) : 2;
        kept += good;
    }
    if (kept == n) {
        End(GALLERY_DONE);
        return;
    }
    // The failed pictures go; the kept ones close up in their order.
    for (int i = 0; i < n; ++i) {
        if (m_in.success[i])
            continue;
        if (m_in.items)
            FreeEntry(m_in.items[i]);
        if (m_in.subItems)
            FreeEntry(m_in.subItems[i]);
        if (m_in.texts)
            FreeEntry(m_in.texts[i]);
        if (m_in.names)
            FreeEntry(m_in.names[i]);
    }
    int next = 0;
    for (int i = 0; i < n; ++i) {
        if (!m_in.success[i])
            continue;
        if (i != next) {
            auto move = [&](auto* table) {
                if (table) {
                    table[next] = table[i];
                    table[i] = nullptr;
                }
            };
            move(m_in.items);
            move(m_in.subItems);
            move(m_in.texts);
            move(m_in.names);
            if (m_in.directions) {
                m_in.directions[next] = m_in.directions[i];
                m_in.directions[i] = 1;
            }
            m_in.success[next] = 1;
            m_in.success[i] = 0;
        }
        ++next;
    }
    if (m_in.pictureCount)
        *m_in.pictureCount = kept - 1;
    m_indicator.Set(m_resource, CPageIndicator::MODE_POSITION, n, m_extra, m_hWnd);
    m_indicator.SetSlotTables(m_in.names, m_in.resultStates);
    ::InvalidateRect(m_grid.m_hWnd, nullptr, FALSE);
    ShowNotice(NOTICE_SOME_FAILED, kSomeFailedMs);
}
