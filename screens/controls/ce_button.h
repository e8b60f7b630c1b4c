// The leaf controls: a text label and an image button with a caption. Each
// renders its look once into a cached bitmap and blits that while painting.
#pragma once

#include "ce_control.h"

// Alignment flags of the captions (RotDrawText's format word).
inline constexpr UINT CE_ALIGN_CENTRE = 1;
inline constexpr UINT CE_ALIGN_RIGHT = 2;
inline constexpr UINT CE_ALIGN_MIDDLE = 4;
inline constexpr UINT CE_ALIGN_BOTTOM = 8;
inline constexpr UINT CE_ALIGN_DEFAULT = CE_ALIGN_CENTRE | CE_ALIGN_MIDDLE;

class CeContainerBase;
class CeListContainer;

class CeText : public CeControl {
public:
    CeText();
    ~CeText() override;

    void SetText(LPCWSTR text);
    void SetText2(LPCWSTR text);
    void SetTextId(UINT id);
    void SetText2Id(UINT id);
    void SetFont(int height, UINT format);
    void Init(UINT textId, const RECT& rect, COLORREF textColour, COLORREF backColour);
    void Draw(CDrawContext* dc) override;
    // Renders the cache when needed; false when no bitmap could be made.
    bool CheckCacheImage();

    WCHAR m_szText[CE_NAME_CHARS] = {};
    WCHAR m_szText2[CE_NAME_CHARS] = {};
    UINT m_nFormat = CE_ALIGN_DEFAULT;
    bool m_bOutline = false;
    COLORREF m_crText = 0;
    COLORREF m_crBack = 0;
};

class CeButton : public CeControl {
public:
    CeButton();
    ~CeButton() override;

    // attributes: a list ended by null; at most 20 are read, 19 kept.
    void Init(DWORD commandId, UINT captionId, POINT position, CeCtrlAttrib* const* attributes);
    void Init(DWORD commandId, CeCtrlAttrib* attribute, UINT captionId, POINT position);
    void SetCaption(LPCWSTR text);
    void SetCaption2(LPCWSTR text);
    void SetFont(int height, UINT format, const RECT* margins = nullptr);
    void SetSubMenu(CeContainerBase* container);
    CeListContainer* GetAttachedList() const;
    void SelectListValue(DWORD value);
    void AttachList(CeListContainer* list);
    void Draw(CDrawContext* dc) override;
    BOOL DrawState(CDrawContext* dc, int state, bool direct);
    void PostRedraw(CeControl* sender, int state) override;
    // Renders the cache for a state; false without an attribute.
    bool CheckCacheImage(int state);

    WCHAR m_szText[CE_NAME_CHARS] = {};
    WCHAR m_szText2[CE_NAME_CHARS] = {};
    RECT m_rcMargin{};
    UINT m_nFormat = CE_ALIGN_DEFAULT;
    CeControl* m_pLeft = nullptr;
    CeControl* m_pRight = nullptr;
    CeControl* m_pUp = nullptr;
    CeControl* m_pDown = nullptr;
    CeRefPtr<CeContainerBase> m_spSubMenu;
    CeRefPtr<CeListContainer> m_spAttached;
};

// A button of one image id (normal, focused and disabled) and the next id
// (pressed) over the rectangle, that launches the command when pressed.
CeButton* CeMakeImageButton(DWORD command, UINT image, const RECT& rect);
