// The card view's pen, keys and scrolling.
#include <algorithm>
#include <cstring>

#include "bcr_view_impl.h"
#include "dialog_messages.h"
#include "dialog_results.h"
#include "layout_manager.h"
#include "plat/debug.h"
#include "plat/windows.h"
#include "poom_contact.h"
#include "result_controls.h"
#include "skin_draw.h"

using namespace bcr;

void CBcrViewDialog::OnPenDown(int x, int y)
{
    if (PopupShown())
        return;
    bool band = InEditorBand(y);
    if (!band) {
        m_penRow = -1;
        for (int i = 0; i < 7; ++i) {
            if (Inside(m_rowText[static_cast<size_t>(i)], x, y)) {
                m_penRow = i;
                break;
            }
            if (Inside(m_rowButton[static_cast<size_t>(i)], x, y)) {
                m_penRow = i;
                return;
            }
        }
        if (Portrait())
            return;
    }
    RECT drag{0, Entry(kTitleEntry).bottom, m_screenWidth - 7, UsableHeight()};
    if (Inside(drag, x, y)) {
        CloseAlternatives();
        m_dragging = true;
        m_lastY = y;
    }
}

void CBcrViewDialog::OnPenMove(int, int y)
{
    if (PopupShown() || InEditorBand(y) || !m_dragging)
        return;
    int dy = y - m_lastY;
    if (dy / 7 == 0)
        return;
    OnVScroll(SB_THUMBTRACK, std::max(0, m_scroll - dy));
    m_penRow = -1;
    m_lastY = y;
}

void CBcrViewDialog::OnPenUp(int x, int y)
{
    if (PopupShown())
        return;
    if (m_dragging) {
        OnVScroll(SB_THUMBPOSITION, std::max(0, m_scroll - (y - m_lastY)));
        m_dragging = false;
    }
    if (InEditorBand(y) || m_penRow < 0)
        return;
    int row = m_penRow;
    m_penRow = -1;
    if (Inside(m_rowText[static_cast<size_t>(row)], x, y))
        SendMessage(WM_COMMAND, CMD_BCR_EDIT, row);
    else if (Inside(m_rowButton[static_cast<size_t>(row)], x, y))
        SendMessage(WM_COMMAND, CMD_BCR_ALTERNATIVES, row);
}

void CBcrViewDialog::OnKeyDown(WPARAM key)
{
    if (key == 0x73) {
        OnExit();
        return;
    }
    if (key == 0x86) {
        SendMessage(WM_COMMAND, CMD_BCR_EDITOR_OK, 0);
        return;
    }
    if (PopupShown())
        return;
    bool browsing = m_editField < 0;
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
        if (browsing && m_count > 1)
            SendMessage(WM_COMMAND, key == VK_LEFT ? CMD_BCR_PREV_CARD : CMD_BCR_NEXT_CARD, 0);
        else if (!browsing)
            SendMessage(WM_COMMAND, key == VK_LEFT ? CMD_BCR_PREV_FIELD : CMD_BCR_NEXT_FIELD, 0);
        break;
    case VK_UP:
    case VK_DOWN: {
        // A short pen drag.
        int to = key == VK_UP ? 104 : 3;
        OnPenDown(0, 53);
        OnPenMove(0, to);
        OnPenUp(0, to);
        break;
    }
    default:
        break;
    }
}

void CBcrViewDialog::OnVScroll(WORD code, int thumb)
{
    if (Portrait())
        return;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    ::GetScrollInfo(GetDlgItem(IDC_BCR_SCROLLBAR), SB_CTL, &si);
    int pos = m_scroll;
    switch (code) {
    case SB_LINEUP: pos -= 1; break;
    case SB_LINEDOWN: pos += 1; break;
    case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
    case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: pos = thumb; break;
    case SB_TOP: pos = si.nMin; break;
    case SB_BOTTOM: pos = si.nMax; break;
    default: return;
    }
    pos = std::clamp(pos, 0, std::max(0, si.nMax - static_cast<int>(si.nPage) + 1));
    if (pos == m_scroll)
        return;
    ScrollTo(pos);
}

void CBcrViewDialog::ScrollTo(int position)
{
    m_scroll = Portrait() ? 0 : std::max(0, position);
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_POS;
    si.nPos = m_scroll;
    m_scroll = ::SetScrollInfo(GetDlgItem(IDC_BCR_SCROLLBAR), SB_CTL, &si, TRUE);
    PlaceRows();
    ::InvalidateRect(GetDlgItem(IDC_BCR_SCROLLBAR), nullptr, FALSE);
    RepaintRows();
    UpdateWindow();
}
