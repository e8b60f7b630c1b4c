#include "ce_container.h"

#include <mutex>

#include "app_messages.h"
#include "draw_event.h"

namespace {

// Guards the focused child while a touch is resolved.
std::mutex& FocusLock()
{
    static std::mutex lock;
    return lock;
}

bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

CeButton* AsButton(CeControl* c) { return c && c->m_dwType == CE_TYPE_BUTTON ? static_cast<CeButton*>(c) : nullptr; }

CeContainerBase* AsContainer(CeControl* c)
{
    return c && (c->m_dwType & CE_TYPE_CONTAINER_BIT) ? static_cast<CeContainerBase*>(c) : nullptr;
}

}  // namespace

CeContainerBase::CeContainerBase() { m_dwType = CE_TYPE_CONTAINER_BASE; }

CeContainerBase::~CeContainerBase()
{
    for (CeControl* child : m_children) {
        if (child->m_pParent == this)
            child->m_pParent = nullptr;
        child->Release();
    }
    m_children.clear();
}

CeControl* CeContainerBase::GetAt(int index) const
{
    return index >= 0 && index < Count() ? m_children[static_cast<size_t>(index)] : nullptr;
}

BOOL CeContainerBase::Add(CeControl* child)
{
    if (!child)
        return FALSE;
    auto at = m_children.end();
    if (m_bSorted) {
        // Before the first child whose value is not below the new one's.
        const DWORD value = child->GetUserData();
        size_t lo = 0, hi = m_children.size();
        while (lo < hi) {
            size_t mid = (lo + hi) / 2;
            if (m_children[mid]->GetUserData() < value)
                lo = mid + 1;
            else
                hi = mid;
        }
        at = m_children.begin() + static_cast<std::ptrdiff_t>(lo);
    }
    m_children.insert(at, child);
    child->AddRef();
    OnChildAdded(child);
    return TRUE;
}

BOOL CeContainerBase::AddControl(CeControl* child)
{
    if (!Add(child))
        return FALSE;
    child->m_pParent = this;
    if (CeContainerBase* nested = AsContainer(child))
        nested->SetTarget(m_hTarget);
    return TRUE;
}

BOOL CeContainerBase::InsertAt(int index, CeControl* child)
{
    if (!child || index < 0 || index > Count())
        return FALSE;
    m_children.insert(m_children.begin() + index, child);
    child->AddRef();
    OnChildAdded(child);
    return TRUE;
}

BOOL CeContainerBase::RemoveAt(int index)
{
    CeControl* child = GetAt(index);
    if (!child)
        return FALSE;
    m_children.erase(m_children.begin() + index);
    if (m_pFocused == child)
        m_pFocused = nullptr;
    if (m_pPressed == child)
        m_pPressed = nullptr;
    OnChildRemoved(child, index);
    if (child->m_pParent == this)
        child->m_pParent = nullptr;
    child->Release();
    return TRUE;
}

void CeContainerBase::RemoveAll()
{
    ResetFocus(0);
    std::vector<CeControl*> children;
    children.swap(m_children);
    for (CeControl* child : children) {
        if (child->m_pParent == this)
            child->m_pParent = nullptr;
        child->Release();
    }
    OnAllRemoved();
}

BOOL CeContainerBase::Move(int to, int from)
{
    CeControl* child = GetAt(from);
    if (!child || to < 0 || to >= Count())
        return FALSE;
    m_children.erase(m_children.begin() + from);
    m_children.insert(m_children.begin() + to, child);
    return TRUE;
}

BOOL CeContainerBase::MoveChild(int index, CeControl* child)
{
    int from = IndexOf(child);
    return from >= 0 && Move(index, from);
}

BOOL CeContainerBase::Swap(int i, int j)
{
    if (!GetAt(i) || !GetAt(j))
        return FALSE;
    std::swap(m_children[static_cast<size_t>(i)], m_children[static_cast<size_t>(j)]);
    return TRUE;
}

BOOL CeContainerBase::Replace(int index, CeControl* child)
{
    CeControl* old = GetAt(index);
    if (!old || !child)
        return FALSE;
    child->AddRef();
    m_children[static_cast<size_t>(index)] = child;
    if (m_pFocused == old)
        m_pFocused = nullptr;
    if (m_pPressed == old)
        m_pPressed = nullptr;
    old->Release();
    return TRUE;
}

CeControl* CeContainerBase::ForEachChild(const std::function<bool(CeControl*)>& predicate) const
{
    for (CeControl* child : m_children)
        if (predicate(child))
            return child;
    return nullptr;
}

int CeContainerBase::IndexOf(const CeControl* child) const
{
    for (int i = 0; i < Count(); ++i)
        if (m_children[static_cast<size_t>(i)] == child)
            return i;
    return -1;
}

CeControl* CeContainerBase::FindById(DWORD id) const
{
    if (id == static_cast<DWORD>(-1))
        return m_pFocused;
    return ForEachChild([id](CeControl* c) { return c->m_dwCommandId == id; });
}

void CeContainerBase::SetAttributeById(DWORD id, int index)
{
    if (CeControl* c = FindById(id))
        c->SetAttribute(index);
}

void CeContainerBase::SetTextById(DWORD id, LPCWSTR text)
{
    CeControl* c = FindById(id);
    if (CeButton* b = AsButton(c))
        b->SetCaption(text);
    else if (c && c->m_dwType == CE_TYPE_TEXT)
        static_cast<CeText*>(c)->SetText(text);
}

void CeContainerBase::SetText2ById(DWORD id, LPCWSTR text)
{
    CeControl* c = FindById(id);
    if (CeButton* b = AsButton(c))
        b->SetCaption2(text);
    else if (c && c->m_dwType == CE_TYPE_TEXT)
        static_cast<CeText*>(c)->SetText2(text);
}

void CeContainerBase::SetStateById(DWORD id, int state)
{
    if (CeControl* c = FindById(id))
        c->SetState(state);
}

void CeContainerBase::SetStateAll(int state)
{
    for (CeControl* child : m_children)
        child->SetState(state);
}

CeControl* CeContainerBase::SetFocusById(DWORD id, BOOL alsoPressed)
{
    CeControl* focused = nullptr;
    for (CeControl* child : m_children) {
        if (!child->CanTakeInput())
            continue;
        if (child->m_dwCommandId == id && !focused) {
            focused = child;
        } else {
            child->SetState(CE_NORMAL);
        }
    }
    if (focused) {
        m_pFocused = focused;
        if (alsoPressed && !(m_dwFlags & CE_FOCUS_NOT_PRESSED))
            m_pPressed = focused;
        focused->SetState(CE_FOCUSED);
    }
    return focused;
}

CeControl* CeContainerBase::SetFocusAt(int index, BOOL alsoPressed)
{
    CeControl* target = GetAt(index);
    if (!target || !target->CanTakeInput())
        return nullptr;
    for (CeControl* child : m_children)
        if (child != target && child->CanTakeInput())
            child->SetState(CE_NORMAL);
    m_pFocused = target;
    if (alsoPressed && !(m_dwFlags & CE_FOCUS_NOT_PRESSED))
        m_pPressed = target;
    target->SetState(CE_FOCUSED);
    return target;
}

void CeContainerBase::ResetFocus(int arg)
{
    m_pFocused = nullptr;
    m_pPressed = nullptr;
    for (CeControl* child : m_children) {
        if (child->m_nState != CE_DISABLED && child->m_nState != CE_HIDDEN)
            child->m_nState = CE_NORMAL;
        if (CeContainerBase* nested = AsContainer(child))
            nested->ResetFocus(arg);
    }
}

void CeContainerBase::SetNeighbours(CeButton* button, CeControl* left, CeControl* right, CeControl* up,
                                    CeControl* down)
{
    if (!button)
        return;
    button->m_pLeft = left;
    button->m_pRight = right;
    button->m_pUp = up;
    button->m_pDown = down;
}

void CeContainerBase::RedrawNow()
{
    if (CeIsScreenPainting())
        CDrawEvent::PostMessage(L"\\CeContainer.cpp", 0);
    else
        CDrawEvent::SendMessage(L"\\CeContainer.cpp", 0);
}

void CeContainerBase::SendCommand(CeControl* child, bool alwaysPost)
{
    if (!m_hTarget || !child)
        return;
    const WPARAM id = child->m_dwCommandId;
    const LPARAM from = reinterpret_cast<LPARAM>(child);
    if (!alwaysPost && ((m_dwFlags & CE_SEND_COMMANDS) || (child->m_dwFlags & CE_SEND_SYNC)))
        SendMessageW(m_hTarget, WM_MAIN_COMMAND, id, from);
    else
        PostMessageW(m_hTarget, WM_MAIN_COMMAND, id, from);
}

BOOL CeContainerBase::Launch(DWORD id, BOOL playClick)
{
    CeControl* child = FindById(id);
    if (!child)
        return FALSE;
    const bool moved = m_pFocused != child;
    if (moved) {
        CeControl* old = m_pFocused;
        m_pFocused = child;
        if (old && old != m_pPressed)
            old->m_nState = CE_NORMAL;
        child->m_nState = CE_FOCUSED;
        if (playClick)
            RedrawNow();
    }
    SendCommand(child, false);
    CeControl::PostRedraw(this, m_nState);
    return TRUE;
}

void CeContainerBase::SetTarget(HWND target)
{
    m_hTarget = target;
    for (CeControl* child : m_children)
        if (CeContainerBase* nested = AsContainer(child))
            nested->SetTarget(target);
}

void CeContainerBase::SetStateBit(BOOL show, BOOL recurse)
{
    CeControl::SetStateBit(show);
    if (show || !recurse)
        return;
    for (CeControl* child : m_children) {
        if (CeContainerBase* nested = AsContainer(child))
            nested->SetStateBit(FALSE, TRUE);
        if (CeButton* b = AsButton(child))
            if (b->m_spAttached)
                b->m_spAttached->SetStateBit(FALSE, TRUE);
    }
}

void CeContainerBase::Draw(CDrawContext* dc)
{
    if (!dc || !IsShown())
        return;
    // A copy: drawing an attached list may reorder nothing, but a child may
    // be released by a redraw it causes.
    std::vector<CeControl*> children = m_children;
    for (CeControl* child : children) {
        if (!child->IsShown())
            continue;
        if (CeButton* b = AsButton(child)) {
            int state = child == m_pFocused ? CE_FOCUSED : child == m_pPressed ? CE_PRESSED : child->m_nState;
            b->DrawState(dc, state, false);
        } else {
            child->Draw(dc);
        }
    }
}

BOOL CeContainerBase::OnClick(CeControl*, POINT) { return FALSE; }

int CeContainerBase::OnTouch(POINT, BOOL, int* result)
{
    if (result)
        *result = CE_TOUCH_NONE;
    return 0;
}

int CeContainerBase::OnKey(UINT, int, int* result)
{
    if (result)
        *result = 0;
    return 0;
}

void CeContainerBase::FocusHit(CeControl* hit, bool keepSubMenus)
{
    for (CeControl* child : m_children) {
        if (child == hit || child == m_pPressed || !child->CanTakeInput())
            continue;
        if (keepSubMenus)
            if (CeButton* b = AsButton(child); b && b->m_spSubMenu)
                continue;
        if (child->m_nState != CE_NORMAL)
            child->SetState(CE_NORMAL);
    }
    m_pFocused = hit;
    hit->SetState(CE_FOCUSED);
}

// Focus containers: touch and keys.

CeContainer::CeContainer()
{
    m_dwType = CE_TYPE_CONTAINER;
    m_dwFlags = CE_ALWAYS_RELAUNCH;
}

int CeContainer::OnTouch(POINT point, BOOL launch, int* result)
{
    int code = CE_TOUCH_NONE;
    CeControl* old = nullptr;
    CeControl* hit = nullptr;
    {
        std::lock_guard lock(FocusLock());
        old = m_pFocused;
        for (CeControl* child : m_children)
            if (child->CanTakeInput() && Contains(child->m_rect, point)) {
                hit = child;
                break;
            }
        if (hit)
            FocusHit(hit, false);
    }
    if (!hit) {
        if (result)
            *result = CE_TOUCH_NONE;
        return 0;
    }
    if (hit == old && !(m_dwFlags & CE_ALWAYS_RELAUNCH) && !(hit->m_dwFlags & CE_RELAUNCH)) {
        code = (hit->m_dwFlags & CE_KEEP_FOCUS) ? CE_TOUCH_KEPT : CE_TOUCH_RESTORED;
        if (result)
            *result = code;
        return 1;
    }
    if (launch && m_hTarget) {
        plat::DebugLine(L"Command launched [0x%X]\r\n", static_cast<unsigned>(hit->m_dwCommandId));
        if (hit != old)
            RedrawNow();
        SendCommand(hit, false);
        CeControl::PostRedraw(this, m_nState);
    }
    if (!(hit->m_dwFlags & CE_KEEP_FOCUS)) {
        hit->SetState(CE_NORMAL);
        m_pFocused = old;
        if (old)
            old->SetState(CE_FOCUSED);
        code = CE_TOUCH_RESTORED;
    } else {
        code = CE_TOUCH_LAUNCHED;
    }
    if (result)
        *result = code;
    return 1;
}

int CeContainer::OnKey(UINT virtualKey, int, int* result)
{
    if (result)
        *result = 1;
    auto link = [virtualKey](CeControl* from) -> CeControl* {
        CeButton* b = AsButton(from);
        if (!b)
            return nullptr;
        switch (virtualKey) {
        case VK_LEFT: return b->m_pLeft;
        case VK_RIGHT: return b->m_pRight;
        case VK_UP: return b->m_pUp;
        case VK_DOWN: return b->m_pDown;
        default: return nullptr;
        }
    };
    switch (virtualKey) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: {
        CeControl* next = link(m_pFocused);
        // Skip what cannot take input; a chain that loops or ends keeps the focus.
        for (int steps = 0; next && !next->CanTakeInput() && steps <= Count(); ++steps)
            next = link(next);
        if (next && next->CanTakeInput() && next != m_pFocused) {
            CeControl* old = m_pFocused;
            m_pFocused = next;
            next->SetState(CE_FOCUSED);
            if (old && old != m_pPressed)
                old->SetState(CE_NORMAL);
        }
        return 1;
    }
    case VK_RETURN:
        Launch(static_cast<DWORD>(-1), TRUE);
        if (result)
            *result = 2;
        return 1;
    default:
        if (result)
            *result = 0;
        return 0;
    }
}

// List containers: the topmost child first, with sub-menus and attached lists.

int CeListContainer::OnTouch(POINT point, BOOL launch, int* result)
{
    if (result)
        *result = CE_TOUCH_NONE;
    CeControl* hit = nullptr;
    CeControl* old = m_pFocused;
    for (int i = Count() - 1; i >= 0; --i) {
        CeControl* child = GetAt(i);
        if (!child)
            continue;
        if (CeContainerBase* nested = AsContainer(child); nested && nested->IsShown())
            if (int handled = nested->OnTouch(point, launch, result))
                return handled;
        CeButton* button = AsButton(child);
        if (button && button->m_spAttached && button->m_spAttached->IsShown() &&
            Contains(button->m_spAttached->m_rect, point)) {
            if (!button->m_spAttached->OnTouch(point, launch, result))
                button->m_spAttached->OnClick(nullptr, point);
            return 1;
        }
        if (!Contains(child->m_rect, point) || !child->IsShown())
            continue;
        if (child->m_nState == CE_DISABLED)
            return 1;  // a disabled control swallows the touch
        if (button && button->m_spSubMenu) {
            if (button->m_nState == CE_NORMAL) {
                button->SetState(CE_FOCUSED);
                button->m_spSubMenu->SetStateBit(TRUE, FALSE);
                OnSubMenu(button, button->m_spSubMenu.get());
                if (button->CanTakeInput())
                    SendCommand(button, true);
            }
            return 1;
        }
        if (button && button->m_spAttached) {
            if (button->m_nState == CE_NORMAL) {
                button->SetState(CE_FOCUSED);
                button->m_spAttached->SetStateBit(TRUE, FALSE);
            }
            return 1;
        }
        if (OnClick(child, point))
            return 1;
        if (child->CanTakeInput()) {
            hit = child;
            break;
        }
    }
    if (!hit)
        return 0;
    {
        std::lock_guard lock(FocusLock());
        FocusHit(hit, true);
    }
    MoveChild(Count() - 1, hit);  // drawn last, on top
    if (hit == old && !(m_dwFlags & CE_ALWAYS_RELAUNCH) && !(hit->m_dwFlags & CE_RELAUNCH)) {
        if (result)
            *result = (hit->m_dwFlags & CE_KEEP_FOCUS) ? CE_TOUCH_KEPT : CE_TOUCH_RESTORED;
        return 1;
    }
    if (launch && m_hTarget) {
        plat::DebugLine(L"Command launched [0x%X]\r\n", static_cast<unsigned>(hit->m_dwCommandId));
        RedrawNow();
        SendCommand(hit, true);
        RedrawNow();
    }
    int code = CE_TOUCH_LAUNCHED;
    if (!(hit->m_dwFlags & CE_KEEP_FOCUS)) {
        hit->SetState(CE_NORMAL);
        m_pFocused = old;
        if (old)
            old->SetState(CE_FOCUSED);
        code = CE_TOUCH_RESTORED;
    }
    if (result)
        *result = code;
    return 1;
}

// Scrolling lists.

CeScrollList::CeScrollList(int pageSize, int rowHeight) : m_nPageSize(pageSize > 0 ? pageSize : 1), m_nRowHeight(rowHeight)
{
    m_dwType = CE_TYPE_SCROLL_LIST;
}

void CeScrollList::SetScrollButtons(CeButton* up, CeButton* down)
{
    m_spUp = up;
    m_spDown = down;
    if (up)
        AddControl(up);
    if (down)
        AddControl(down);
    UpdateScrollButtons();
}

void CeScrollList::AddItem(DWORD value, LPCWSTR text)
{
    m_items.push_back(Item{value, false, text ? text : L"", true});
    UpdateScrollButtons();
}

void CeScrollList::AddItemId(DWORD value, UINT stringId) { AddItem(value, CeGetString(stringId)); }

void CeScrollList::AddItems(const ItemSource* table)
{
    for (; table && table->value; ++table)
        AddItem(table->value, table->stringId ? CeGetString(table->stringId) : table->text);
}

void CeScrollList::SetItemEnabled(DWORD value, BOOL enabled) { SetItemEnabledAt(IndexOfValue(value), enabled); }

void CeScrollList::SetItemEnabledAt(int index, BOOL enabled)
{
    if (index >= 0 && index < static_cast<int>(m_items.size()))
        m_items[static_cast<size_t>(index)].enabled = enabled != FALSE;
}

int CeScrollList::IndexOfValue(DWORD value) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].value == value)
            return static_cast<int>(i);
    return -1;
}

void CeScrollList::AddItemControl(CeControl* control, DWORD value, POINT offset)
{
    if (!control)
        return;
    control->m_dwItemValue = value;
    control->m_nOffsetX = offset.x;
    control->m_nOffsetY = offset.y;
    control->SetStateBit(FALSE);
    AddControl(control);
    CeButton* button = AsButton(control);
    int index = IndexOfValue(value);
    if (button && !button->m_spAttached && index >= 0)
        m_items[static_cast<size_t>(index)].hasControl = true;
    LayoutItemControls();
}

BOOL CeScrollList::Select(int index, BOOL scroll, BOOL refresh)
{
    if (index < -1 || index >= static_cast<int>(m_items.size()))
        return FALSE;
    if (index >= 0 && !m_items[static_cast<size_t>(index)].enabled)
        return FALSE;
    m_nSelected = index;
    if (scroll) {
        m_nFirst = index < 0 ? 0 : (index / m_nPageSize) * m_nPageSize;
        UpdateScrollButtons();
        LayoutItemControls();
    }
    m_bDirty = true;
    if (refresh)
        RefreshItemControls();
    return TRUE;
}

BOOL CeScrollList::SelectByValue(DWORD value, BOOL scroll)
{
    int index = IndexOfValue(value);
    if (index < 0 || !Select(index, scroll, FALSE))
        return FALSE;
    if (CeButton* owner = AsButton(m_pParent))
        owner->SetCaption(m_items[static_cast<size_t>(index)].text.c_str());
    return TRUE;
}

BOOL CeScrollList::SelectAtPoint(int, int y)
{
    if (m_nRowHeight <= 0)
        return FALSE;
    return Select(m_nFirst + (y - m_rect.top) / m_nRowHeight, FALSE, FALSE);
}

void CeScrollList::UpdateScrollButtons()
{
    if (m_spUp)
        m_spUp->m_nState = m_nFirst == 0 ? CE_DISABLED : CE_NORMAL;
    if (m_spDown)
        m_spDown->m_nState = m_nFirst + m_nPageSize < static_cast<int>(m_items.size()) ? CE_NORMAL : CE_DISABLED;
}

void CeScrollList::LayoutItemControls()
{
    for (CeControl* child : m_children) {
        if (!child->m_dwItemValue)
            continue;
        int index = IndexOfValue(child->m_dwItemValue);
        const bool visible = index >= m_nFirst && index < m_nFirst + m_nPageSize;
        if (visible) {
            const int w = child->m_rect.right - child->m_rect.left, h = child->m_rect.bottom - child->m_rect.top;
            const int x = m_rect.left + child->m_nOffsetX;
            const int y = m_rect.top + (index - m_nFirst) * m_nRowHeight + child->m_nOffsetY;
            child->m_rect = RECT{x, y, x + w, y + h};
        }
        child->SetStateBit(visible);
    }
}

void CeScrollList::RefreshItemControls()
{
    const DWORD selected =
        m_nSelected >= 0 ? m_items[static_cast<size_t>(m_nSelected)].value : static_cast<DWORD>(-1);
    CeControl* focused = nullptr;
    for (CeControl* child : m_children) {
        if (!child->m_dwItemValue)
            continue;
        if (CeButton* b = AsButton(child); b && b->m_spSubMenu)
            continue;
        if (child->m_dwItemValue == selected) {
            child->m_nState = CE_FOCUSED;
            focused = child;
        } else if (child->m_nState != CE_DISABLED) {
            child->m_nState = CE_NORMAL;
        }
    }
    if (focused)
        MoveChild(Count() - 1, focused);
    if (m_nSelected >= 0)
        if (CeButton* owner = AsButton(m_pParent))
            owner->SetCaption(m_items[static_cast<size_t>(m_nSelected)].text.c_str());
}

BOOL CeScrollList::OnClick(CeControl* control, POINT point)
{
    if (control && (control == m_spUp.get() || control == m_spDown.get())) {
        const int before = m_nFirst;
        if (control == m_spUp.get())
            m_nFirst = m_nFirst - m_nPageSize < 0 ? 0 : m_nFirst - m_nPageSize;
        else if (m_nFirst + m_nPageSize < static_cast<int>(m_items.size()))
            m_nFirst += m_nPageSize;
        if (m_nFirst != before) {
            m_bDirty = true;
            UpdateScrollButtons();
            LayoutItemControls();
        }
        return TRUE;
    }
    if (control)
        return FALSE;
    if (m_nRowHeight <= 0)
        return FALSE;
    const int index = m_nFirst + (point.y - m_rect.top) / m_nRowHeight;
    if (index != m_nSelected) {
        if (!Select(index, FALSE, FALSE))
            return TRUE;
        if ((m_dwFlags & CE_LIST_REPORT_SELECTION) && m_hTarget)
            PostMessageW(m_hTarget, WM_MAIN_COMMAND, m_items[static_cast<size_t>(index)].value, 0);
    } else if (m_dwFlags & CE_LIST_TOUCH_CLEARS) {
        m_nSelected = -1;
    } else {
        return TRUE;
    }
    RefreshItemControls();
    return TRUE;
}

void CeScrollList::Draw(CDrawContext* dc)
{
    if (!dc || !IsShown())
        return;
    CeContainerBase::Draw(dc);
    const int last = std::min(static_cast<int>(m_items.size()), m_nFirst + m_nPageSize);
    RECT row{m_rect.left, m_rect.top, m_rect.right, m_rect.top + m_nRowHeight};
    for (int i = m_nFirst; i < last; ++i) {
        DrawRow(dc, i, row);
        row.top += m_nRowHeight;
        row.bottom += m_nRowHeight;
    }
}
