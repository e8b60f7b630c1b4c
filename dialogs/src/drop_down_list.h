// The skinned drop-down of the OCR dialogs: an owner-drawn button showing the
// chosen row's text on a bitmap face, and a one-column "SysListView32" list
// shown under it while open. The settings dialog and the gallery use one
// class pair; what differs between them is a variant record.
#pragma once

#include <string>

#include "plat/framework.h"

// Sent to the dialog whenever a list closes (lParam the button), so that it
// repaints what the list covered.
inline constexpr UINT WM_DROPDOWN_CLOSED = WM_USER + 1000;
// The gallery closes an open list of its own accord with this.
inline constexpr UINT WM_DROPDOWN_CLOSE = 3027;
// The action key of the handset.
inline constexpr WPARAM kDropDownActionKey = 0x86;

struct DropDownVariant {
    int rowHeight;        // pixels per row
    UINT widthItem;       // layout item whose width rows and hit tests use
    UINT rowFontItem;     // font of the rows
    UINT captionFontItem; // font of the button's caption
    UINT placeholderId;   // string shown on an empty button; 0: "Select"
    int captionInset;     // caption's margin inside the button
    bool drawsTrack;      // grey row lines, scroll track and thumb
    bool chooseOnPressedRow; // a pen-up chooses only the row it was pressed on
    bool galleryInput;    // inactivity reset on every input, pens refused while busy, haptics
};

// The settings dialog's language list and the gallery's folder and kind lists.
extern const DropDownVariant kSettingsDropDown;
extern const DropDownVariant kGalleryDropDown;

// The scroll thumb of a list of `rows` showing `perPage` from `top`, in track
// pixels [y0, y1); false when every row is shown (no thumb).
bool DropDownThumb(int trackHeight, int rows, int perPage, int top, int* y0, int* y1);

class CDropDownList;

class CDropDownListView : public CWindowImpl {
public:
    explicit CDropDownListView(CDropDownList* button) : m_button(button) {}
    ~CDropDownListView() override;

    // The row bitmaps by resource id (the ids of the current orientation).
    void SetRowImages(UINT normal, UINT selected);

    int RowCount() const;
    int Top() const { return m_top; }
    void SetTop(int top) { m_top = top; }
    int PerPage() const;
    // The row under a point of the list's client area, -1 when none.
    int RowAt(POINT p) const;
    void Select(int row);
    int Selection() const;
    std::wstring RowText(int row) const;
    // Brings a row into the painted rows.
    void ShowRow(int row);
    void Draw(HDC dc) const;

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    std::wstring m_caption;

private:
    void OnPenDown(POINT p);
    void OnPenUp(POINT p);
    void OnKey(WPARAM key);
    void Choose(int row);

    CDropDownList* m_button;
    int m_top = 0;
    int m_hit = -1;
    HBITMAP m_rowSelected = nullptr;
    HBITMAP m_rowNormal = nullptr;
};

class CDropDownList : public CWindowImpl {
public:
    explicit CDropDownList(const DropDownVariant& variant);
    ~CDropDownList() override;

    const DropDownVariant& Variant() const { return m_variant; }
    // Subclasses the dialog's button item.
    BOOL Attach(HWND button);
    // Faces by resource id; magenta is see-through.
    void SetFaces(UINT normal, UINT pressed, UINT open);
    // The list, a hidden child of the dialog at that rectangle.
    BOOL CreateList(HWND dialog, int x, int y, int width, int height);
    void SetRowImages(UINT normal, UINT selected) { m_list.SetRowImages(normal, selected); }
    // Settings in landscape: the open list stands at the screen's right.
    void SetLandscapePlacement(bool on) { m_landscapePlacement = on; }

    void AddRow(const std::wstring& text);
    void DeleteAll();
    void DeleteRow(int row);
    int GetSelection() const { return m_list.Selection(); }
    // Selects a row (-1: the last) and takes its text as the caption.
    void SetSelection(int row);
    // The gallery's way: the row becomes the top one, as far as the rows allow.
    void SetSelectionAtTop(int row);
    std::wstring GetRowText(int row) const { return m_list.RowText(row); }
    int GetRowCount() const { return m_list.RowCount(); }
    const std::wstring& Caption() const { return m_list.m_caption; }

    bool IsOpen() const { return m_open; }
    bool IsPressed() const { return m_pressed; }
    void Close();
    // The gallery's list keeps its place with fewer than three rows.
    void MoveList(int x, int y, int width, int height);
    HWND ListWindow() const { return m_list.m_hWnd; }
    CDropDownListView& List() { return m_list; }
    const CDropDownListView& List() const { return m_list; }
    // A press and a release on the button.
    void Click();
    // The caption when nothing is chosen.
    std::wstring Placeholder() const;
    void Draw(HDC dc) const;
    // The button's face and caption into rect of dc (the settings dialog draws it itself).
    void DrawFace(HDC dc, const RECT& rect) const;

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    friend class CDropDownListView;

    void OnPenDown();
    void OnPenUp();
    void OpenList();
    void CloseList();
    // Hides the list at once, without touching the selection.
    void DropList();
    void TellDialog() const;
    HWND Dialog() const;
    bool Busy() const;
    int ItemWidth() const;

    const DropDownVariant& m_variant;
    bool m_pressed = false;
    bool m_open = false;
    HBITMAP m_faces[3] = {};  // normal, pressed, open
    CDropDownListView m_list{this};
    int m_remembered = -1;
    bool m_landscapePlacement = false;
};
