#include "base_gui.h"

#include "ImagePack.h"
#include "ce_container.h"
#include "debug_print.h"
#include "display.h"
#include "draw_context.h"
#include "gui_screens.h"
#include "gui_stack.h"
#include "settings.h"

namespace {

// Fetched once by the first screen; the pack lives as long as the program.
CeImagePack* g_pImagePack = nullptr;

constexpr int kFontHeights[kBaseFontCount] = {14, 15, 17, 14, 17, 30, 130};

// Stock objects of the paint, put back on every way out.
class PaintObjects {
public:
    explicit PaintObjects(HDC dc)
        : dc_(dc), font_(SelectObject(dc, GetStockObject(SYSTEM_FONT))), pen_(SelectObject(dc, GetStockObject(BLACK_PEN)))
    {
        SetBkMode(dc, TRANSPARENT);
    }
    ~PaintObjects()
    {
        SelectObject(dc_, font_);
        SelectObject(dc_, pen_);
    }
    PaintObjects(const PaintObjects&) = delete;
    PaintObjects& operator=(const PaintObjects&) = delete;

private:
    HDC dc_;
    HGDIOBJ font_;
    HGDIOBJ pen_;
};

}  // namespace

CBaseGUI::CBaseGUI() : m_pStack(new CGUIStack(this)), m_pRoot(new CeContainer)
{
    CTitleLayout* layout = CTitleLayout::GetInstance();
    m_rcTitle = layout->m_rcTitle;
    m_rcScreen = layout->m_rcScreen;
    m_rcPicture = layout->m_rcPicture;
    m_nZoom[0] = layout->m_rcZoom.left;
    m_nZoom[1] = layout->m_rcZoom.top;
    m_nZoom[2] = layout->m_rcZoom.right;
    m_nZoom[3] = layout->m_rcZoom.bottom;
    for (int i = 0; i < kBaseFontCount; ++i)
        CreateRotatedFont(&m_hFonts[i], kFontHeights[i], FW_BOLD, L"Tahoma");
    m_pRoot->AddRef();
    if (!g_pImagePack)
        g_pImagePack = CeImagePack::GetInstance();
}

CBaseGUI::~CBaseGUI()
{
    for (HFONT& font : m_hFonts) {
        // A deletion that fails once (font still selected somewhere) is tried again.
        if (font && !DeleteObject(font))
            DeleteObject(font);
        font = nullptr;
    }
    delete m_pStack;
    m_pStack = nullptr;
    if (m_pRoot) {
        m_pRoot->RemoveAll();
        m_pRoot->Release();
        m_pRoot = nullptr;
    }
}

int CBaseGUI::LoadResource()
{
    m_pRoot->SetTarget(GetHwnd());
    return 0;
}

int CBaseGUI::OnOpen() { return 0; }
int CBaseGUI::OnEvent(UINT, WPARAM, LPARAM) { return 0; }
int CBaseGUI::OnCommand(DWORD, DWORD) { return 0; }
int CBaseGUI::OnKeyDown(HWND, UINT, LPARAM) { return 0; }
int CBaseGUI::OnKeyUp(HWND, UINT, LPARAM) { return 0; }
int CBaseGUI::OnLButtonUp(POINT, WPARAM) { return 0; }
int CBaseGUI::OnMouseMove(POINT, WPARAM) { return 0; }

int CBaseGUI::OnPaint()
{
    m_bPainting = true;
    CeSetScreenPainting(true);
    // The flag goes down on every way out: a stuck flag would make every
    // later redraw request a posted one.
    struct Done {
        CBaseGUI* screen;
        ~Done()
        {
            CeSetScreenPainting(false);
            screen->m_bPainting = false;
        }
    } done{this};

    m_sShownLine.clear();
    CDisplay* display = CDisplay::GetInstance();
    HDC dc = display->GetDrawDC();
    if (!dc)
        return 1;
    CDrawContext context;
    context.Attach(dc);
    context.m_nSurfaceWidth = GetSystemMetrics(SM_CXSCREEN);
    context.m_nSurfaceHeight = GetSystemMetrics(SM_CYSCREEN);

    // Everything left in the key shows the camera picture through the overlay.
    RECT all{0, 0, context.m_nSurfaceWidth, context.m_nSurfaceHeight};
    const COLORREF previous = SetBkColor(dc, RGB(255, 0, 255));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
    SetBkColor(dc, previous);

    {
        PaintObjects objects(dc);
        DrawLayer0(&context);
        DrawLayer1(&context);
        DrawLayer2(&context);
        if (CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_POPUP)) {
            CMessagePopupGUI* popup = CMessagePopupGUI::GetInstance();
            popup->DrawLayer0(&context);
            popup->DrawLayer1(&context);
            popup->DrawLayer2(&context);
        }
    }
    const HRESULT hr = display->FlipBackbuffer(dc);
    if (FAILED(hr))
        DebugPrint(L"[%ls] [%ls] FlipBackbuffer FAILED !!!\n", L"BaseGUI", L"CBaseGUI::OnPaint");
    else if (!m_sShownLine.empty())
        DebugPrint(L"%ls\n", m_sShownLine.c_str());
    return static_cast<int>(hr);
}

int CBaseGUI::OnLButtonDown(POINT point, WPARAM)
{
    if (m_pRoot->Count() > 0) {
        int code = 0;
        if (m_pRoot->OnTouch(point, TRUE, &code) && code == CE_TOUCH_LAUNCHED)
            return 0;
    }
    if (m_pStack->ForwardTouch(point, TRUE)) {
        OnCommand(CMD_TOUCH_CONTAINER, 0);
        return 0;
    }
    const DWORD packed = (static_cast<DWORD>(point.x) & 0xFFFF) | (static_cast<DWORD>(point.y) << 16);
    OnCommand(CMD_TOUCH_EMPTY, packed);
    return 0;
}

void CBaseGUI::ShowContainer(CeContainer* container)
{
    if (container == m_pStack->Top()) {
        m_pRoot->ResetFocus(0);
        m_pStack->PopAll(FALSE);
        return;
    }
    if (container) {
        container->ResetFocus(0);
        m_pStack->Push(container, FALSE);
    }
}
