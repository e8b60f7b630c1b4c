// Containers: an ordered list of child controls (which may be containers
// again) with focus, arrow-key moves along neighbour links, touch hit tests
// and the launch of a control's command to the main window. The scrolling
// list adds a page of text items with up and down scroll buttons.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ce_button.h"

// Container flags (beside the control flags).
inline constexpr DWORD CE_LIST_REPORT_SELECTION = 0x8;
inline constexpr DWORD CE_LIST_TOUCH_CLEARS = 0x20;
inline constexpr DWORD CE_SEND_COMMANDS = 0x400000;
inline constexpr DWORD CE_ALWAYS_RELAUNCH = 0x800000;
inline constexpr DWORD CE_FOCUS_NOT_PRESSED = 0x1000000;

// Touch results.
inline constexpr int CE_TOUCH_NONE = 0;
inline constexpr int CE_TOUCH_LAUNCHED = 1;
inline constexpr int CE_TOUCH_KEPT = 2;
inline constexpr int CE_TOUCH_RESTORED = 3;

class CeContainerBase : public CeControl {
public:
    CeContainerBase();
    ~CeContainerBase() override;

    // Child list.
    int Count() const { return static_cast<int>(m_children.size()); }
    CeControl* GetAt(int index) const;
    BOOL Add(CeControl* child);
    // Add, and make this container the child's parent; a nested container
    // takes this container's target window.
    BOOL AddControl(CeControl* child);
    BOOL InsertAt(int index, CeControl* child);
    BOOL RemoveAt(int index);
    virtual void RemoveAll();
    BOOL Move(int to, int from);
    BOOL MoveChild(int index, CeControl* child);
    BOOL Swap(int i, int j);
    BOOL Replace(int index, CeControl* child);
    // Stops at the first child for which the predicate is true; that child, or null.
    CeControl* ForEachChild(const std::function<bool(CeControl*)>& predicate) const;
    int IndexOf(const CeControl* child) const;

    // By command id (-1: the focused child).
    CeControl* FindById(DWORD id) const;
    void SetAttributeById(DWORD id, int index);
    void SetTextById(DWORD id, LPCWSTR text);
    void SetText2ById(DWORD id, LPCWSTR text);
    void SetStateById(DWORD id, int state);
    void SetStateAll(int state);

    // Focus.
    CeControl* SetFocusById(DWORD id, BOOL alsoPressed);
    CeControl* SetFocusAt(int index, BOOL alsoPressed);
    virtual void ResetFocus(int arg);
    static void SetNeighbours(CeButton* button, CeControl* left, CeControl* right, CeControl* up, CeControl* down);
    BOOL Launch(DWORD id, BOOL playClick);

    void SetTarget(HWND target);
    HWND Target() const { return m_hTarget; }

    void SetStateBit(BOOL show) override { SetStateBit(show, FALSE); }
    virtual void SetStateBit(BOOL show, BOOL recurse);
    void Draw(CDrawContext* dc) override;

    virtual void OnSubMenu(CeButton*, CeContainerBase*) {}
    virtual BOOL OnClick(CeControl* control, POINT point);
    // 1 when handled; result gets the touch result code.
    virtual int OnTouch(POINT point, BOOL launch, int* result);
    virtual int OnKey(UINT virtualKey, int repeat, int* result);

    std::vector<CeControl*> m_children;
    bool m_bSorted = false;
    HWND m_hTarget = nullptr;
    CeControl* m_pFocused = nullptr;
    CeControl* m_pPressed = nullptr;
    CeButton* m_pOwner = nullptr;  // the button whose sub-menu this is

protected:
    virtual void OnChildAdded(CeControl*) {}
    virtual void OnChildRemoved(CeControl*, int) {}
    virtual void OnAllRemoved() {}
    // Sends or posts the command of a child to the target window.
    void SendCommand(CeControl* child, bool alwaysPost);
    static void RedrawNow();
    // Gives the focus to hit; the other input controls go back to normal.
    void FocusHit(CeControl* hit, bool keepSubMenus);
};

class CeListContainer : public CeContainerBase {
public:
    int OnTouch(POINT point, BOOL launch, int* result) override;
};

class CeContainer : public CeContainerBase {
public:
    CeContainer();
    int OnTouch(POINT point, BOOL launch, int* result) override;
    int OnKey(UINT virtualKey, int repeat, int* result) override;
};

class CeScrollList : public CeListContainer {
public:
    struct Item {
        DWORD value = 0;
        bool hasControl = false;
        std::wstring text;
        bool enabled = true;
    };
    struct ItemSource {
        DWORD value;
        UINT stringId;
        LPCWSTR text;
    };

    CeScrollList(int pageSize, int rowHeight);

    void SetScrollButtons(CeButton* up, CeButton* down);
    void AddItem(DWORD value, LPCWSTR text);
    void AddItemId(DWORD value, UINT stringId);
    // Entries up to a value of 0; a string id wins over the text.
    void AddItems(const ItemSource* table);
    void SetItemEnabled(DWORD value, BOOL enabled);
    void SetItemEnabledAt(int index, BOOL enabled);
    void AddItemControl(CeControl* control, DWORD value, POINT offset);
    BOOL Select(int index, BOOL scroll, BOOL refresh);
    BOOL SelectByValue(DWORD value, BOOL scroll);
    BOOL SelectAtPoint(int x, int y);
    int IndexOfValue(DWORD value) const;

    BOOL OnClick(CeControl* control, POINT point) override;
    void Draw(CDrawContext* dc) override;
    virtual void DrawRow(CDrawContext*, int, const RECT&) {}

    int m_nPageSize;
    int m_nFirst = 0;
    int m_nSelected = -1;
    int m_nRowHeight;
    CeRefPtr<CeButton> m_spUp;
    CeRefPtr<CeButton> m_spDown;
    std::vector<Item> m_items;

    void UpdateScrollButtons();
    void LayoutItemControls();
    void RefreshItemControls();
};
