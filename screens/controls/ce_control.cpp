#include "ce_control.h"

#include <cstdarg>
#include <cwchar>
#include <new>

#include "ImagePack.h"
#include "draw_event.h"
#include "layout_manager.h"

namespace {

std::atomic<bool> g_painting{false};

}  // namespace

std::atomic<int> CeControl::s_nextSerial{0};

void CeLogError(int line, LPCWSTR function, LPCWSTR source, LPCWSTR format, ...)
{
    WCHAR frame[200];
    std::swprintf(frame, 200, L"Error:%d-line(%ls||%ls)\r\n    -> ", line, function, source);
    WCHAR text[300];
    va_list args;
    va_start(args, format);
    if (std::vswprintf(text, 300, format, args) < 0)
        text[299] = 0;
    va_end(args);
    OutputDebugStringW(plat::kDebugLinePrefix);
    OutputDebugStringW(frame);
    OutputDebugStringW(text);
}

CeRefPtr<CRotBitmap> CeLoadImage(UINT resourceId)
{
    // The pack keeps each picture once, turned for the orientation it was loaded at.
    return CeRefPtr<CRotBitmap>(CeImagePack::GetInstance()->GetImage(resourceId));
}

LPCWSTR CeGetString(UINT id)
{
    LPCWSTR text = CLayoutManager::GetInstance()->GetString(id);
    return text ? text : L"";
}

void CeSetScreenPainting(bool painting) { g_painting.store(painting); }
bool CeIsScreenPainting() { return g_painting.load(); }

void CeCopyText(WCHAR (&out)[CE_NAME_CHARS], LPCWSTR text)
{
    int n = 0;
    if (text)
        for (; n < CE_NAME_CHARS - 1 && text[n]; ++n)
            out[n] = text[n];
    out[n] = 0;
}

// Looks.

void CeCtrlAttrib::SetImages(UINT normal, UINT focused, UINT pressed, UINT disabled)
{
    const UINT ids[4] = {normal, focused, pressed, disabled};
    for (int i = 0; i < 4; ++i) {
        if (!ids[i])
            continue;
        m_entries[i].imageId = ids[i];
        m_entries[i].status = 0;
        m_entries[i].image = static_cast<CRotBitmap*>(nullptr);
    }
    if (normal)
        Load(0);
}

void CeCtrlAttrib::SetIcons(UINT a, UINT b, UINT c, UINT d)
{
    const UINT ids[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i)
        if (ids[i])
            m_entries[i].icon = CeLoadImage(ids[i]);
}

void CeCtrlAttrib::SetTextColors(COLORREF c0, COLORREF c1, COLORREF c2, COLORREF c3)
{
    m_entries[0].textColour = c0;
    m_entries[1].textColour = c1;
    m_entries[2].textColour = c2;
    m_entries[3].textColour = c3;
}

bool CeCtrlAttrib::Load(int state)
{
    Entry& e = m_entries[state];
    if (e.status != 0)
        return e.status == 1;
    if (!e.imageId) {
        e.status = -1;
        return false;
    }
    e.image = CeLoadImage(e.imageId);
    if (!e.image) {
        e.status = -1;  // tried once; later requests fall back without retrying
        return false;
    }
    e.status = 1;
    SIZE size = e.image->GetSize();
    if (size.cx > m_nWidth)
        m_nWidth = size.cx;
    if (size.cy > m_nHeight)
        m_nHeight = size.cy;
    return true;
}

CeRefPtr<CRotBitmap> CeCtrlAttrib::GetImage(int state)
{
    if (state < 0 || state > 4)
        return CeRefPtr<CRotBitmap>();
    if (Load(state))
        return m_entries[state].image;
    if (state != 0 && Load(0))
        return m_entries[0].image;
    return CeRefPtr<CRotBitmap>();
}

const CeCtrlAttrib::Entry* CeCtrlAttrib::GetEntry(int state)
{
    if (state < 0 || state > 4)
        return &m_entries[0];
    if (Load(state))
        return &m_entries[state];
    return &m_entries[0];
}

// Controls.

CeControl::CeControl() : m_nSerial(s_nextSerial++) {}

CeControl::~CeControl()
{
    if (m_hFont)
        DeleteObject(m_hFont);
    m_spCache = static_cast<CRotBitmap*>(nullptr);
    for (auto& slot : m_spCtrlAttrib)
        slot = static_cast<CeCtrlAttrib*>(nullptr);
}

void CeControl::SetStateBit(BOOL show)
{
    if (show)
        m_dwFlags |= CE_VISIBLE;
    else
        m_dwFlags &= ~CE_VISIBLE;
}

void CeControl::Draw(CDrawContext*) {}

void CeControl::SetState(int state, CeControl* sender)
{
    const int old = m_nState;
    m_nState = state;
    if (old != state)
        PostRedraw(sender ? sender : this, state);
}

void CeControl::PostRedraw(CeControl* sender, int state)
{
    if (m_pParent) {
        if (m_pParent != sender)
            m_pParent->PostRedraw(this, state);
        return;
    }
    // The draw gate drops the request while closing and logs a blocked one.
    if (CeIsScreenPainting())
        CDrawEvent::PostMessage(L"\\Utility.h", 96);
    else
        CDrawEvent::SendMessage(L"\\Utility.h", 96);
}

void CeControl::SetAttribute(int index)
{
    m_bDirty = true;
    if (index >= 0 && index < m_nAttribCount)
        m_nAttribIndex = index;
}

void CeControl::SetTextColors(COLORREF c0, COLORREF c1, COLORREF c2, COLORREF c3)
{
    for (int i = 0; i < m_nAttribCount; ++i)
        if (m_spCtrlAttrib[i])
            m_spCtrlAttrib[i]->SetTextColors(c0, c1, c2, c3);
    m_bDirty = true;
}

BOOL CeControl::AddAttribute(CeCtrlAttrib* attribute)
{
    if (!attribute || m_nAttribCount >= CE_MAX_ATTRIBUTES - 1)
        return FALSE;
    m_spCtrlAttrib[m_nAttribCount++] = attribute;
    m_bDirty = true;
    return TRUE;
}

CeCtrlAttrib* CeControl::CurrentAttribute() const
{
    if (m_nAttribIndex < 0 || m_nAttribIndex >= CE_MAX_ATTRIBUTES)
        return nullptr;
    return m_spCtrlAttrib[m_nAttribIndex].get();
}

void CeControl::SetName(LPCWSTR name) { CeCopyText(m_szName, name); }

void CeControl::SetNameId(UINT id) { CeCopyText(m_szName, id ? CeGetString(id) : nullptr); }
