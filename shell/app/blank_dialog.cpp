#include "blank_dialog.h"

#include "debug_print.h"

void BlankDialog::RegisterTemplate()
{
    plat::DialogTemplate dialog;
    dialog.id = IDD_BLANK_DIALOG;
    dialog.style = 0x80C00248;
    dialog.cx = 400;
    dialog.cy = 240;
    dialog.title = L"Textiva";
    plat::RegisterDialogTemplate(dialog);
}

void BlankDialog::Place(int size, BOOL repaint)
{
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(m_hWnd);
    if (HWND bar = SHFindMenuBar(m_hWnd))
        ::ShowWindow(bar, SW_HIDE);
    SHFullScreen(m_hWnd, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
    ::MoveWindow(m_hWnd, 0, 0, size, size, repaint);
}

LRESULT BlankDialog::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    DebugPrint(L"[LUMOCR] BLACK WINDOW START\n");
    DebugPrint(L"[LumOCR] BlankDialog::OnInitDialog\n");
    Place(400, TRUE);
    m_hSavedCursor = nullptr;
    m_bCursorReplaced = 0;
    return TRUE;
}

LRESULT BlankDialog::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    PAINTSTRUCT paint{};
    BeginPaint(m_hWnd, &paint);
    DebugPrint(L"[LumOCR] BlankDialog::OnPaint\n");
    // Larger than the screen in either orientation.
    Place(500, FALSE);
    if (HDC dc = ::GetDC(m_hWnd)) {
        RECT rect{0, 0, 500, 500};
        COLORREF old = SetBkColor(dc, 0);
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, L"", 0, nullptr);
        SetBkColor(dc, old);
        ::ReleaseDC(m_hWnd, dc);
    }
    EndPaint(m_hWnd, &paint);
    return 0;
}

LRESULT BlankDialog::OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&)
{
    DebugPrint(L"[LumOCR] BlankDialog::OnEraseBkgnd\n");
    return 0;
}

LRESULT BlankDialog::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled)
{
    DebugPrint(L"[LumOCR] BlankDialog::OnDestroy\n");
    RestoreCursor();
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    DebugPrint(L"[LUMOCR] BLACK WINDOW END\n");
    handled = FALSE;
    return 0;
}

void BlankDialog::ShowWait()
{
    Place(400, TRUE);
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    if (!m_bCursorReplaced) {
        m_hSavedCursor = previous;
        m_bCursorReplaced = 1;
    }
}

void BlankDialog::RestoreCursor()
{
    if (m_bCursorReplaced) {
        SetCursor(m_hSavedCursor);
        m_bCursorReplaced = 0;
    }
}
