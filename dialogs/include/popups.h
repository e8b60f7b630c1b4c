// The skinned popups that the dialogs place over themselves: a notice chosen
// by a kind number, and a yes/no question that answers its dialog with
// CMD_YESNO_DONE. Both subclass a dialog control and draw everything
// themselves, over a backdrop bitmap that the dialog supplies.
#pragma once

#include <string>

#include "plat/framework.h"

class CInfoPopup : public CWindowImpl {
public:
    // The frame, text rectangle and texts differ by where the popup is used.
    enum Variant {
        VARIANT_B_GALLERY,  // the thumbnail gallery
        VARIANT_B_ZOOM,     // the zoomable picture view
        VARIANT_A,          // the document result view
        VARIANT_A2,         // the business-card result view
    };
    // Kinds of the business-card view: a card stored, all cards stored, and a
    // contact that could not be stored.
    enum { KIND_SAVED = 0, KIND_SAVED_ALL = 1, KIND_SAVE_FAILED = 2 };

    explicit CInfoPopup(Variant variant);
    ~CInfoPopup() override;

    void SetUp(HINSTANCE resourceModule, int kind, HBITMAP background, HWND parent);
    void SetKind(int kind) { m_kind = kind; }
    int GetKind() const { return m_kind; }
    void SetBackgroundColour(COLORREF colour) { m_colours[0] = colour; }
    void SetTextColour(COLORREF colour) { m_colours[1] = colour; }
    void SetMargins(int left, int top, int right, int bottom);
    void SetFont(HFONT font) { m_font = font; }
    // Optional pictures loaded from the resource module; a new one replaces the old.
    void SetImageA(UINT id);
    void SetImageB(UINT id);
    int GetValue() const { return m_value; }

    // The string id of a kind's text in this variant; 0 for a kind without text.
    static UINT TextId(Variant variant, int kind);
    // The whole popup into dc at the origin, client-sized.
    void PaintTo(HDC dc);
    // Back to "no orientation seen yet" (a dialog's construction does it).
    static void ResetOrientation(Variant variant);

    BEGIN_MSG_MAP(CInfoPopup)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnPen)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnPen)
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    END_MSG_MAP()

private:
    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPen(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&);

    Variant m_variant;
    int m_kind = 0;
    HBITMAP m_background = nullptr;  // the dialog's
    HBITMAP m_imageA = nullptr;
    SIZE m_imageASize{};
    COLORREF m_colours[2];
    int m_margins[4] = {12, 14, 240, 42};
    HFONT m_font = nullptr;
    HBITMAP m_imageB = nullptr;
    SIZE m_imageBSize{};
    int m_value = 0;
    HINSTANCE m_resource = nullptr;
    HWND m_parent = nullptr;
};

class CYesNoPopup : public CWindowImpl {
public:
    // The gallery's popup has its own frame; both result views share the other.
    enum Variant { VARIANT_GALLERY, VARIANT_RESULT_VIEWS };

    explicit CYesNoPopup(Variant variant);
    ~CYesNoPopup() override = default;

    void SetUp(HINSTANCE resourceModule, UINT questionId, HBITMAP background);
    UINT GetQuestionId() const { return m_questionId; }
    // A question made up by the dialog, in place of the string's text (set after SetUp).
    void SetQuestionText(const std::wstring& text) { m_question = text; }
    bool IsYesPressed() const { return m_yesPressed; }
    bool IsNoPressed() const { return m_noPressed; }

    void PaintTo(HDC dc);
    static void ResetOrientation(Variant variant);

    static constexpr RECT kQuestionRect{10, 8, 210, 78};
    static constexpr RECT kYesRect{8, 85, 110, 116};
    static constexpr RECT kNoRect{110, 85, 212, 116};

    BEGIN_MSG_MAP(CYesNoPopup)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnPenDown)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnPenUp)
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    END_MSG_MAP()

private:
    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPenDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPenUp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
    void Answer(bool yes);
    void Repaint();

    Variant m_variant;
    COLORREF m_colours[2];
    int m_margins[4] = {12, 14, 240, 42};
    HFONT m_font = nullptr;
    UINT m_questionId = 0;
    std::wstring m_question;
    HINSTANCE m_resource = nullptr;
    HBITMAP m_background = nullptr;  // the dialog's
    bool m_yesPressed = false;
    bool m_noPressed = false;
};
