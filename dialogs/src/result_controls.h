// Skinned children of the result views: a caption (title bar) over its
// bitmap, image buttons that send their command on release, and the scroll
// bar whose thumb follows a scroll position. Each subclasses a dialog item,
// draws itself from the program's bitmaps and tells its dialog of every pen
// contact (WM_POPUP_PEN_UP).
#pragma once

#include <initializer_list>

#include <string>

#include "plat/framework.h"

// Pen down, move, up or double click.
bool IsPenMessage(UINT message);
// Every pen contact of a control resets its dialog's inactivity count.
void TellParentOfPen(HWND hwnd);

// The visible siblings above hwnd that overlap it draw again: the frame under
// the editor's children must not cover them when it paints after them.
void RedrawSiblingsAbove(HWND hwnd);

class CBcrCaptionWnd : public CWindowImpl {
public:
    ~CBcrCaptionWnd() override;
    void SetBackground(UINT id);
    // Tahoma bold of that height between the margins, in DrawText's format.
    void SetTextStyle(int height, int leftMargin, int rightMargin, UINT format);
    // The command the end key sends the dialog.
    void SetExitCommand(WORD command) { m_exitCommand = command; }

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    HBITMAP m_background = nullptr;
    int m_height = 20, m_left = 40, m_right = 40;
    UINT m_format = 0;
    WORD m_exitCommand = 0;
};

class CImageButton : public CWindowImpl {
public:
    explicit CImageButton(WORD command) : m_command(command) {}
    ~CImageButton() override;
    void SetBitmaps(UINT normal, UINT pressed);
    bool Pressed() const { return m_pressed; }
    // Back to the normal look (a page change clears the arrow's press).
    void Release();

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    WORD m_command;
    HBITMAP m_normal = nullptr, m_pressedBitmap = nullptr;
    bool m_pressed = false;
};

class CBcrScrollBar : public CWindowImpl {
public:
    static constexpr UINT kTrackId = 1362;
    static constexpr UINT kThumbId = 1375;
    ~CBcrScrollBar() override;
    // Pens on the bar go to this window.
    void SetOwner(HWND owner) { m_owner = owner; }
    void LoadBitmaps();

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void Paint(HWND hwnd);
    HWND m_owner = nullptr;
    HBITMAP m_track = nullptr, m_thumb = nullptr;
};

// A dialog's paint covers its children: the shown ones paint again after it.
void InvalidateChildren(HWND dialog);
// The layout's place of a control in the current orientation.
RECT LayoutPlace(UINT id);
// Registers a pop-up dialog template whose items are stock static controls.
void RegisterStaticDialog(UINT id, LPCWSTR title, std::initializer_list<int> items);

// A line of text on the system's static colour: left-aligned with an ellipsis
// upright, right-aligned on its side (the editor's field name).
class CBcrLabelWnd : public CWindowImpl {
public:
    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// Where a notice lies on a dialog: the layout's place of control 30078 when
// it lies inside the client area, else the same size centred.
RECT NoticeRect(HWND dialog);
// A copy of what the dialog shows under rect, for a popup's backdrop.
HBITMAP CaptureUnder(HWND dialog, const RECT& rect);

// The dialog's menu bar of that resource id in place of old (its menu goes
// with it); the new bar, or null when it could not be made.
HWND ReplaceMenuBar(HWND dialog, HWND old, UINT id);
// Destroys the popup menu of a menu bar's soft key, if it has one.
void DestroyMenuBarMenu(HWND menuBar);
// Both soft keys enabled, or greyed while a notice or a save runs.
void EnableSoftKeys(HWND menuBar, bool enable);
