// The black full-screen window shown whenever the screen must go black at
// once: behind the start-up and the rotation, while the program waits (with
// the wait cursor), and when it ends.
#pragma once

#include "plat/windows.h"

inline constexpr UINT IDD_BLANK_DIALOG = 1658;

class BlankDialog : public CDialogImpl {
public:
    BlankDialog() : CDialogImpl(IDD_BLANK_DIALOG) {}

    // The dialog template, made known once.
    static void RegisterTemplate();

    void ShowWait();
    void RestoreCursor();

    BEGIN_MSG_MAP(BlankDialog)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);

    HCURSOR m_hSavedCursor = nullptr;
    int m_bCursorReplaced = 0;

private:
    void Place(int size, BOOL repaint);
};
