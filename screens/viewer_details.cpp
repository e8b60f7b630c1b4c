// The viewer's file-details panel: a half-transparent panel over the
// picture with the file's name, format, size and creation time.
#include <cwchar>

#include "ce_control.h"
#include "draw_context.h"
#include "image_file_list.h"
#include "plat/frame_support.h"
#include "viewer_gui.h"

namespace {

constexpr RECT kTitle = {150, 10, 250, 50};
constexpr RECT kName = {53, 47, 250, 100};
constexpr RECT kFormat = {53, 69, 250, 122};
constexpr RECT kSize = {53, 91, 250, 144};
constexpr RECT kForwarding = {53, 113, 250, 166};
constexpr RECT kTime = {53, 135, 250, 188};
constexpr BYTE kPanelAlpha = 128;
constexpr int kDateChars = 14;

void Line(CDrawContext* dc, const RECT& rect, LPCWSTR text)
{
    RotDrawText(dc->m_hDC, dc->m_nSurfaceWidth, &rect, text, -1, 5);
}

void Fail(int line, LPCWSTR what) { CeLogError(line, L"CViewerGUI::DrawFileInformation", L"ViewerGUI", what); }

}  // namespace

void CViewerGUI::DrawFileInformation(CDrawContext* dc)
{
    const CImageFileList::Entry* entry = CImageFileList::GetInstance()->GetCurrent();
    if (!entry)
        return;
    const RECT& view = ViewRect();
    if (m_spPanel)
        RotAlphaBlendBitmap(dc->m_hDC, dc->m_nSurfaceWidth, view.left, view.top, view.right - view.left,
                            view.bottom - view.top, m_spPanel.get(), kPanelAlpha);
    HDC hdc = dc->m_hDC;
    const COLORREF colour = SetTextColor(hdc, RGB(255, 255, 255));
    const int mode = SetBkMode(hdc, TRANSPARENT);
    const UINT align = SetTextAlign(hdc, 0);
    const HGDIOBJ font = SelectObject(hdc, m_hTitleFont);
    Line(dc, kTitle, L"File Details");
    SelectObject(hdc, m_hTextFont);
    WCHAR text[MAX_PATH + 32];
    std::swprintf(text, std::size(text), L"File Name: %ls", entry->name.c_str());
    Line(dc, kName, text);
    Line(dc, kFormat, L"Format: JPEG");

    // Opened only when it is there: a vanished file is never made again.
    HANDLE file = CreateFileW(entry->path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Fail(__LINE__, L"CreateFile FAILED !!!\r\n");
    } else {
        SetLastError(0);
        const DWORD size = GetFileSize(file, nullptr);
        FILETIME created{};
        SYSTEMTIME when{};
        if (size == INVALID_FILE_SIZE && GetLastError() != 0) {
            Fail(__LINE__, L"GetFileSize FAILED !!!\r\n");
        } else {
            std::swprintf(text, std::size(text), L"File Size: %lu K", static_cast<unsigned long>(size / 1024));
            Line(dc, kSize, text);
            Line(dc, kForwarding, L"Forwarding: Possible");
            // A time the calendar cannot hold counts as unreadable too.
            if (!GetFileTime(file, &created, nullptr, nullptr) || !FileTimeToSystemTime(&created, &when)) {
                Fail(__LINE__, L"GetFileTime FAILED !!!\r\n");
            } else {
                WCHAR date[kDateChars] = {};
                if (!GetDateFormatW(LOCALE_USER_DEFAULT, 0, &when, L"dd MMM',' yyyy", date, kDateChars))
                    date[0] = 0;
                std::swprintf(text, std::size(text), L"Date & Time: %ls %d:%02d", date, when.wHour, when.wMinute);
                Line(dc, kTime, text);
            }
        }
        CloseHandle(file);
    }
    SelectObject(hdc, font);
    SetTextAlign(hdc, align);
    SetBkMode(hdc, mode);
    SetTextColor(hdc, colour);
}
