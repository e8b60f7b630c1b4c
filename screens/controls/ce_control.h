// The root of the screens' own control toolkit: per-state looks and the
// control base. Controls draw themselves into the off-screen screen bitmap;
// there are no child windows.
#pragma once

#include <atomic>

#include "ce_ref_count.h"
#include "draw_context.h"
#include "font_manager.h"
#include "plat/windows.h"
#include "rot_bitmap.h"

inline constexpr DWORD CE_TYPE_TEXT = 1;
inline constexpr DWORD CE_TYPE_BUTTON = 0x20002;
inline constexpr DWORD CE_TYPE_CONTAINER_BASE = 0x10000;
inline constexpr DWORD CE_TYPE_SCROLL_LIST = 0x10003;
inline constexpr DWORD CE_TYPE_CONTAINER = 0x10005;
inline constexpr DWORD CE_TYPE_CONTAINER_BIT = 0x10000;
inline constexpr DWORD CE_TYPE_ACTIVE_BIT = 0x20000;

enum CeState : int { CE_NORMAL = 0, CE_FOCUSED = 1, CE_PRESSED = 2, CE_DISABLED = 3, CE_HIDDEN = 4 };

// Control flags.
inline constexpr DWORD CE_KEEP_FOCUS = 0x1;
inline constexpr DWORD CE_RELAUNCH = 0x2;
inline constexpr DWORD CE_SEND_SYNC = 0x4;
inline constexpr DWORD CE_TAKES_INPUT = 0x8;
inline constexpr DWORD CE_VISIBLE = 0x10;

inline constexpr COLORREF CE_KEY_COLOUR = 0xFF00FF;
inline constexpr int CE_NAME_CHARS = 30;
inline constexpr int CE_MAX_ATTRIBUTES = 20;

// The toolkit's error frame: the two-call line with line, function and source.
void CeLogError(int line, LPCWSTR function, LPCWSTR source, LPCWSTR format, ...);

// A picture of the program by resource id from the image pack; null when it
// cannot be loaded.
CeRefPtr<CRotBitmap> CeLoadImage(UINT resourceId);

// The language library's text of a string id ("" when unknown).
LPCWSTR CeGetString(UINT id);

// While the active screen paints, redraw requests are posted, never sent,
// so a change during painting cannot re-enter the paint.
void CeSetScreenPainting(bool painting);
bool CeIsScreenPainting();

class CeCtrlAttrib : public CeRefCount {
public:
    struct Entry {
        UINT imageId = 0;
        int status = 0;  // 0 not tried, 1 loaded, -1 failed
        CeRefPtr<CRotBitmap> image;
        CeRefPtr<CRotBitmap> icon;
        COLORREF textColour = 0;
    };

    void SetImages(UINT normal, UINT focused, UINT pressed, UINT disabled);
    void SetIcons(UINT a, UINT b, UINT c, UINT d);
    void SetTextColors(COLORREF c0, COLORREF c1, COLORREF c2, COLORREF c3);
    // The state's background, loaded on first use; a failed or missing
    // state other than 0 falls back to state 0. Null for states above 4.
    CeRefPtr<CRotBitmap> GetImage(int state);
    // The state's entry when its image is loaded or loadable, else state 0's.
    const Entry* GetEntry(int state);

    int m_nWidth = 0;
    int m_nHeight = 0;

private:
    bool Load(int state);
    Entry m_entries[5];
};

class CeControl : public CeRefCount {
public:
    CeControl();
    ~CeControl() override;

    virtual void SetStateBit(BOOL show);
    virtual void Draw(CDrawContext* dc);
    virtual void PostRedraw(CeControl* sender, int state);

    void SetState(int state, CeControl* sender = nullptr);
    BOOL IsShown() const { return (m_dwFlags & CE_VISIBLE) && m_nState != CE_HIDDEN; }
    BOOL CanTakeInput() const
    {
        return (m_dwFlags & CE_TAKES_INPUT) && m_dwCommandId != 0 && IsShown() && m_nState != CE_DISABLED;
    }
    void SetAttribute(int index);
    void SetTextColors(COLORREF c0, COLORREF c1, COLORREF c2, COLORREF c3);
    // Puts an attribute into the next free slot; false when all are taken.
    BOOL AddAttribute(CeCtrlAttrib* attribute);
    CeCtrlAttrib* CurrentAttribute() const;
    void SetName(LPCWSTR name);
    void SetNameId(UINT id);
    void SetRect(const RECT& rect) { m_rect = rect, m_bDirty = true; }
    void MarkDirty() { m_bDirty = true; }

    DWORD m_dwCommandId = 0;
    int m_nSerial = 0;
    RECT m_rect{};
    DWORD m_dwSpare[2] = {0, 0};
    DWORD m_dwType = 0;
    int m_nState = CE_NORMAL;
    CeControl* m_pParent = nullptr;
    CeRefPtr<CeCtrlAttrib> m_spCtrlAttrib[CE_MAX_ATTRIBUTES];
    int m_nAttribCount = 0;
    int m_nAttribIndex = 0;
    DWORD m_dwFlags = CE_VISIBLE;
    CeRefPtr<CRotBitmap> m_spCache;
    int m_nCacheState = -1;
    bool m_bDirty = true;
    HFONT m_hFont = nullptr;
    WCHAR m_szName[CE_NAME_CHARS] = {};
    DWORD m_dwItemValue = 0;  // ties the control to an item of a scrolling list
    int m_nOffsetX = 0;
    int m_nOffsetY = 0;

private:
    static std::atomic<int> s_nextSerial;
};

// Copies at most 29 characters and the terminator; null empties.
void CeCopyText(WCHAR (&out)[CE_NAME_CHARS], LPCWSTR text);
