#include "ce_button.h"

#include "ce_container.h"

namespace {

// A memory DC on a control's cache, with the context that maps layout
// coordinates onto it.
class CacheCanvas {
public:
    CacheCanvas(CRotBitmap* cache, int width, int height)
        : dc_(CreateCompatibleDC(nullptr)), context_(nullptr)
    {
        context_.Attach(dc_);
        context_.m_nSurfaceWidth = width;
        context_.m_nSurfaceHeight = height;
        old_ = context_.SelectBitmap(cache->Handle());
        SetBkMode(dc_, TRANSPARENT);
    }
    ~CacheCanvas()
    {
        if (oldFont_)
            SelectObject(dc_, oldFont_);
        if (old_)
            SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    CacheCanvas(const CacheCanvas&) = delete;
    CacheCanvas& operator=(const CacheCanvas&) = delete;

    bool ok() const { return dc_ && old_; }
    HDC dc() const { return dc_; }
    CDrawContext& context() { return context_; }
    int W() const { return context_.m_nSurfaceWidth; }
    void Font(HFONT font)
    {
        if (!font)
            return;
        HGDIOBJ previous = SelectObject(dc_, font);
        if (!oldFont_)
            oldFont_ = previous;
    }

private:
    HDC dc_;
    CDrawContext context_;
    HGDIOBJ old_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
};

CeRefPtr<CRotBitmap> NewCache(int width, int height)
{
    CeRefPtr<CRotBitmap> cache;
    CRotBitmap::CreateInstance(cache);
    if (!cache || width <= 0 || height <= 0 || !cache->CreateDIB(width, height, nullptr))
        return CeRefPtr<CRotBitmap>();
    return cache;
}

// One or two lines of text into a rectangle: with a second line, the first
// sits on the lower edge of the upper half and the second at the top of the lower half.
void DrawCaption(HDC dc, int W, const RECT& rect, LPCWSTR first, LPCWSTR second, UINT format)
{
    if (second && *second) {
        const int middle = rect.top + (rect.bottom - rect.top) / 2;
        RECT upper{rect.left, rect.top, rect.right, middle};
        RECT lower{rect.left, middle, rect.right, rect.bottom};
        RotDrawText(dc, W, &upper, first, -1, (format & ~CE_ALIGN_MIDDLE) | CE_ALIGN_BOTTOM);
        RotDrawText(dc, W, &lower, second, -1, format & ~(CE_ALIGN_MIDDLE | CE_ALIGN_BOTTOM));
    } else {
        RotDrawText(dc, W, &rect, first, -1, format);
    }
}

}  // namespace

// Text labels.

CeText::CeText() { m_dwType = CE_TYPE_TEXT; }
CeText::~CeText() = default;

void CeText::SetText(LPCWSTR text)
{
    m_bDirty = true;
    CeCopyText(m_szText, text);
}

void CeText::SetText2(LPCWSTR text)
{
    m_bDirty = true;
    CeCopyText(m_szText2, text);
}

void CeText::SetTextId(UINT id) { SetText(id ? CeGetString(id) : nullptr); }
void CeText::SetText2Id(UINT id) { SetText2(id ? CeGetString(id) : nullptr); }

void CeText::SetFont(int height, UINT format)
{
    if (m_hFont)
        DeleteObject(m_hFont);
    m_hFont = nullptr;
    CreateRotatedFont(&m_hFont, height ? height : 17, FW_SEMIBOLD, L"Tahoma");
    m_nFormat = format;
    m_bDirty = true;
}

void CeText::Init(UINT textId, const RECT& rect, COLORREF textColour, COLORREF backColour)
{
    if (m_hFont)
        DeleteObject(m_hFont);
    m_hFont = nullptr;
    if (textId)
        SetTextId(textId);
    m_rect = rect;
    m_crText = textColour;
    m_crBack = backColour;
    m_bDirty = true;
}

bool CeText::CheckCacheImage()
{
    if (!m_bDirty && m_spCache)
        return true;
    if (!m_szText[0])
        CeLogError(112, L"CeText::CheckCacheImage", L".\\CeText.cpp", L"m_szText2.IsNull()  \r\n");
    const int w = m_rect.right - m_rect.left, h = m_rect.bottom - m_rect.top;
    CeRefPtr<CRotBitmap> cache = NewCache(w, h);
    if (!cache)
        return false;
    {
        CacheCanvas canvas(cache.get(), w, h);
        if (!canvas.ok())
            return false;
        RECT all{0, 0, w, h};
        canvas.context().FillRect(&all, m_crBack);
        if (m_bOutline) {
            HFONT outline = nullptr;
            CreateRotatedFont(&outline, 22, FW_NORMAL, L"Tahoma");
            canvas.Font(outline);
            SetTextColor(canvas.dc(), RGB(0, 0, 0));
            const POINT moves[4] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
            for (POINT m : moves) {
                RECT moved{m.x, m.y, w + m.x, h + m.y};
                RotDrawText(canvas.dc(), canvas.W(), &moved, m_szText, -1, m_nFormat);
            }
            SetTextColor(canvas.dc(), m_crText);
            RotDrawText(canvas.dc(), canvas.W(), &all, m_szText, -1, m_nFormat);
            SelectObject(canvas.dc(), GetStockObject(SYSTEM_FONT));
            if (outline)
                DeleteObject(outline);
        } else {
            if (!m_hFont)
                CreateRotatedFont(&m_hFont, 13, FW_SEMIBOLD, L"Tahoma");
            canvas.Font(m_hFont);
            SetTextColor(canvas.dc(), m_crText);
            DrawCaption(canvas.dc(), canvas.W(), all, m_szText, m_szText2, m_nFormat);
        }
    }
    m_spCache = cache;
    m_bDirty = false;
    return true;
}

void CeText::Draw(CDrawContext* dc)
{
    if (!dc || !IsShown() || !CheckCacheImage())
        return;
    const int w = m_rect.right - m_rect.left, h = m_rect.bottom - m_rect.top;
    dc->DrawBitmap(m_rect.left, m_rect.top, w, h, m_spCache.get(), 0, 0, w, h, CE_KEY_COLOUR);
}

// Buttons.

CeButton::CeButton()
{
    m_dwType = CE_TYPE_BUTTON;
    m_dwFlags |= CE_KEEP_FOCUS | CE_TAKES_INPUT;
}

CeButton::~CeButton()
{
    if (m_spSubMenu && m_spSubMenu->m_pOwner == this)
        m_spSubMenu->m_pOwner = nullptr;
}

void CeButton::Init(DWORD commandId, UINT captionId, POINT position, CeCtrlAttrib* const* attributes)
{
    m_dwCommandId = commandId;
    if (m_hFont)
        DeleteObject(m_hFont);
    m_hFont = nullptr;
    if (captionId)
        SetCaption(CeGetString(captionId));
    // At most 20 entries are read; the filled slots stop at 19, and an entry
    // that finds no slot is not taken.
    for (int i = 0; attributes && i < CE_MAX_ATTRIBUTES && attributes[i]; ++i)
        AddAttribute(attributes[i]);
    CeCtrlAttrib* current = CurrentAttribute();
    const int w = current ? current->m_nWidth : 0, h = current ? current->m_nHeight : 0;
    m_rect = RECT{position.x, position.y, position.x + w, position.y + h};
    m_bDirty = true;
}

void CeButton::Init(DWORD commandId, CeCtrlAttrib* attribute, UINT captionId, POINT position)
{
    m_dwCommandId = commandId;
    if (m_hFont)
        DeleteObject(m_hFont);
    m_hFont = nullptr;
    if (captionId)
        SetCaption(CeGetString(captionId));
    m_spCtrlAttrib[m_nAttribIndex] = attribute;
    if (m_nAttribCount <= m_nAttribIndex)
        m_nAttribCount = m_nAttribIndex + 1;
    const int w = attribute ? attribute->m_nWidth : 0, h = attribute ? attribute->m_nHeight : 0;
    m_rect = RECT{position.x, position.y, position.x + w, position.y + h};
    m_bDirty = true;
}

void CeButton::SetCaption(LPCWSTR text)
{
    CeCopyText(m_szText, text);
    m_bDirty = true;
}

void CeButton::SetCaption2(LPCWSTR text)
{
    CeCopyText(m_szText2, text);
    m_bDirty = true;
}

void CeButton::SetFont(int height, UINT format, const RECT* margins)
{
    if (m_hFont)
        DeleteObject(m_hFont);
    m_hFont = nullptr;
    CreateRotatedFont(&m_hFont, height ? height : 17, FW_SEMIBOLD, L"Tahoma");
    m_nFormat = format;
    if (margins)
        m_rcMargin = *margins;
    m_bDirty = true;
}

void CeButton::SetSubMenu(CeContainerBase* container)
{
    if (m_spSubMenu && m_spSubMenu->m_pOwner == this)
        m_spSubMenu->m_pOwner = nullptr;
    m_spSubMenu = container;
    if (container) {
        if (container->m_pOwner && container->m_pOwner != this)
            container->m_pOwner->m_spSubMenu = static_cast<CeContainerBase*>(nullptr);
        container->m_pOwner = this;
    }
}

CeListContainer* CeButton::GetAttachedList() const { return m_spAttached.get(); }

void CeButton::SelectListValue(DWORD value)
{
    if (auto* list = dynamic_cast<CeScrollList*>(m_spAttached.get()))
        list->SelectByValue(value, TRUE);
}

void CeButton::AttachList(CeListContainer* list)
{
    m_spAttached = list;
    if (!list)
        return;
    list->SetStateBit(FALSE, TRUE);
    list->m_pParent = this;
    m_dwFlags &= ~CE_TAKES_INPUT;  // the list takes the input instead
}

bool CeButton::CheckCacheImage(int state)
{
    if (!m_bDirty && m_nCacheState == state && m_spCache)
        return true;
    CeCtrlAttrib* attribute = CurrentAttribute();
    if (!attribute) {
        CeLogError(198, L"CeButton::CheckCacheImage", L".\\CeButton.cpp",
                   L"m_spCtrlAttrib.IsNull() %d, %d, %d, %d, %d \r\n", static_cast<int>(m_dwCommandId),
                   static_cast<int>(m_rect.left), static_cast<int>(m_rect.top), static_cast<int>(m_rect.right),
                   static_cast<int>(m_rect.bottom));
        return false;
    }
    const CeCtrlAttrib::Entry* entry = attribute->GetEntry(state);
    CeRefPtr<CRotBitmap> background = attribute->GetImage(state);
    if (!background) {
        CeLogError(207, L"CeButton::CheckCacheImage", L".\\CeButton.cpp", L"m_spCtrlAttrib.IsNull()  \r\n");
        return true;
    }
    const int w = m_rect.right - m_rect.left, h = m_rect.bottom - m_rect.top;
    CeRefPtr<CRotBitmap> cache = NewCache(w, h);
    if (!cache)
        return false;
    {
        CacheCanvas canvas(cache.get(), w, h);
        if (!canvas.ok())
            return false;
        RotBitBlt(canvas.dc(), canvas.W(), h, 0, 0, w, h, background.get(), 0, 0, SRCCOPY);
        if (entry->icon) {
            SIZE size = entry->icon->GetSize();
            RotTransparentImage(canvas.dc(), canvas.W(), h, 5, 5, size.cx, size.cy, entry->icon.get(), 0, 0,
                                size.cx, size.cy, CE_KEY_COLOUR);
        }
        if (m_szText[0]) {
            if (!m_hFont)
                CreateRotatedFont(&m_hFont, 17, FW_SEMIBOLD, L"Tahoma");
            canvas.Font(m_hFont);
            SetTextColor(canvas.dc(), entry->textColour);
            RECT caption{m_rcMargin.left, m_rcMargin.top, w - m_rcMargin.right, h - m_rcMargin.bottom};
            DrawCaption(canvas.dc(), canvas.W(), caption, m_szText, m_szText2, m_nFormat);
        }
    }
    m_spCache = cache;
    m_nCacheState = state;
    m_bDirty = false;
    return true;
}

void CeButton::Draw(CDrawContext* dc) { DrawState(dc, m_nState, false); }

BOOL CeButton::DrawState(CDrawContext* dc, int state, bool direct)
{
    if (!dc || !IsShown())
        return FALSE;
    if (!CheckCacheImage(state))
        return FALSE;
    if (m_spCache) {
        const int w = m_rect.right - m_rect.left, h = m_rect.bottom - m_rect.top;
        if (direct)
            RotTransparentImage(dc->m_hDC, dc->m_nSurfaceWidth, dc->m_nSurfaceHeight, m_rect.left, m_rect.top, w,
                                h, m_spCache.get(), 0, 0, w, h, CE_KEY_COLOUR);
        else
            dc->DrawBitmap(m_rect.left, m_rect.top, w, h, m_spCache.get(), 0, 0, w, h, CE_KEY_COLOUR);
    }
    if (m_spAttached && m_spAttached->IsShown())
        m_spAttached->Draw(dc);
    return TRUE;
}

void CeButton::PostRedraw(CeControl* sender, int state)
{
    if (state == CE_FOCUSED) {
        if (m_spSubMenu) {
            m_spSubMenu->SetState(CE_NORMAL, this);
        } else if (m_spAttached) {
            CeRefPtr<CeListContainer> list = m_spAttached;
            list->SetState(CE_NORMAL, this);
            list->SetStateBit(TRUE, FALSE);
            if (auto* scroll = dynamic_cast<CeScrollList*>(list.get())) {
                scroll->Select(scroll->m_nSelected, TRUE, FALSE);
                if (m_pParent && m_pParent != sender && m_pParent->m_dwType == CE_TYPE_SCROLL_LIST)
                    static_cast<CeScrollList*>(m_pParent)->SelectAtPoint(m_rect.left, m_rect.top);
            }
        }
    } else if (m_spAttached) {
        m_spAttached->SetStateBit(FALSE, FALSE);
    }
    CeControl::PostRedraw(sender, state);
}

CeButton* CeMakeImageButton(DWORD command, UINT image, const RECT& rect)
{
    auto* look = new CeCtrlAttrib();
    look->SetImages(image, image, image + 1, image);
    auto* button = new CeButton();
    button->Init(command, look, 0, POINT{rect.left, rect.top});
    button->SetRect(rect);
    button->m_dwFlags = CE_VISIBLE | CE_TAKES_INPUT | CE_RELAUNCH;
    return button;
}
