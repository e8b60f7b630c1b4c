// The business-card result view's dialog: the cards, their rows, the field
// editor, the alternatives list, paging and storing as contacts.
#pragma once

#include <algorithm>
#include <array>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "alternatives_drop_down.h"
#include "field_image_view.h"
#include "lum_editbox.h"
#include "lum_result_bcr_view.h"
#include "plat/framework.h"
#include "popups.h"
#include "result_controls.h"
#include "result_records.h"

// Commands of the view and its controls.
inline constexpr WORD CMD_BCR_EDIT = 1801;
inline constexpr WORD CMD_BCR_PREV_CARD = 1802;
inline constexpr WORD CMD_BCR_NEXT_CARD = 1803;
inline constexpr WORD CMD_BCR_EDITOR_OK = 1804;
inline constexpr WORD CMD_BCR_ALTERNATIVES = 1805;
inline constexpr WORD CMD_BCR_IMAGE = 1807;
inline constexpr WORD CMD_BCR_NEXT_FIELD = 1809;
inline constexpr WORD CMD_BCR_PREV_FIELD = 1810;
inline constexpr WORD CMD_BCR_CLOSE = 1812;  // private: ends the dialog with lParam
inline constexpr WORD CMD_BCR_SAVE = 21018;
inline constexpr WORD CMD_BCR_SAVE_ALL = 20058;
inline constexpr WORD CMD_BCR_EXPAND = 20010;
inline constexpr WORD CMD_BCR_EXPAND_CARDS = 20017;
inline constexpr WORD CMD_BCR_BROWSER = 20018;

inline constexpr UINT IDD_BCR_VIEW = 20000;
inline constexpr UINT IDM_BCR_ONE_CARD = 21000;
inline constexpr UINT IDM_BCR_CARDS = 21004;
inline constexpr int RESULT_CARD_MAX = 20;
// The editor's band is tested against the rows only when the client area is this high.
inline constexpr int kEditorBandClientHeight = 188;

// Child item ids of dialog 20000.
enum BcrItem : int {
    IDC_BCR_TITLE = 20020,
    IDC_BCR_LEFT = 20050,
    IDC_BCR_RIGHT = 20051,
    IDC_BCR_EDITOR_FRAME = 20054,
    IDC_BCR_EDITOR_CAPTION = 20056,
    IDC_BCR_FIELD_PICTURE = 20055,
    IDC_BCR_EDIT = 20049,
    IDC_BCR_EDITOR_OK = 20052,
    IDC_BCR_NEXT_FIELD = 1251,
    IDC_BCR_DROPDOWN = 20053,
    IDC_BCR_LIST = 20059,
    IDC_BCR_SCROLLBAR = 20057,
    IDC_BCR_INFO_POPUP = 30080,
    IDC_BCR_YESNO_POPUP = 20060,
};

// Registers dialog 20000, its menu bars and menus (once).
void RegisterBcrViewResources();

struct BcrLayoutEntry {
    int x, y, cx, cy;
};
extern const BcrLayoutEntry kBcrLayoutPortrait[15];
extern const BcrLayoutEntry kBcrLayoutLandscape[15];

// "name..   (2/5)": the title of a card among several.
std::wstring BcrTitleText(const std::wstring& name, int current, int count, bool portrait);

// Helpers the view's files share.
namespace bcr {

inline constexpr int kTitleEntry = 0, kLeftEntry = 1, kRightEntry = 2, kIconEntry = 3, kTextEntry = 4,
                     kButtonEntry = 5, kLineEntry = 6, kDropDownEntry = 7, kListEntry = 8, kEditorEntry = 9, kOkEntry = 10,
                     kNextEntry = 11, kEditEntry = 12, kCaptionEntry = 13, kPictureEntry = 14;

inline int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
inline int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

inline std::wstring TextOf(const WCHAR (&text)[kResultTextChars])
{
    return std::wstring(text, ResultTextLength(text));
}

inline void CopyText(WCHAR (&to)[kResultTextChars], const std::wstring& from)
{
    std::fill(std::begin(to), std::end(to), L'\0');
    std::wmemcpy(to, from.data(), std::min<size_t>(from.size(), kResultTextChars - 1));
}

inline bool IsRectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

inline bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

}  // namespace bcr

class CBcrViewDialog : public CDialogImpl {
public:
    CBcrViewDialog();
    UINT MenuBarId() const { return m_menuBarId; }
    ~CBcrViewDialog() override;

    void SetData(ResultItem* const* cards, ResultSubItem* const* alternatives, int count, LPCWSTR folder,
                 const WCHAR* const* names, HINSTANCE languageInstance, HWND mainWindow, int* inactivity,
                 const int* orientationFlags);

    // What tests and the look suite read.
    int Count() const { return m_count; }
    int Current() const { return m_current; }
    int EditField() const { return m_editField; }
    const ResultText& CurrentText(int category) const { return m_texts[static_cast<size_t>(category)]; }
    const ResultSubItem& Alternatives(int category) const { return m_alternatives[static_cast<size_t>(category)]; }
    bool Busy() const { return m_busy; }
    const LumEditbox& EditBox() const { return m_edit; }
    const CAlternativesDropDown& DropDown() const { return m_dropDown; }
    const CFieldImageView& FieldPicture() const { return m_picture; }
    RECT RowTextRect(int row) const { return m_rowText[static_cast<size_t>(row)]; }
    RECT RowButtonRect(int row) const { return m_rowButton[static_cast<size_t>(row)]; }
    int ScrollPosition() const { return m_scroll; }
    // The end code once the view ended, else -1.
    INT_PTR EndResult() const { return m_endResult; }

    // Tests answer for the zoom view (false) and the gallery (true).
    void SetPictureRunner(std::function<INT_PTR(bool gallery)> runner) { m_pictureRunner = std::move(runner); }

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    struct Slot {
        std::array<ResultItem, 7> items{};
        std::array<ResultSubItem, 7> alternatives{};
        std::wstring name;
    };

    LRESULT OnInitDialog();
    void OnCommand(WORD id, LPARAM lParam);
    void OnPaint();
    void OnPenDown(int x, int y);
    void OnPenMove(int x, int y);
    void OnPenUp(int x, int y);
    void OnKeyDown(WPARAM key);
    void OnVScroll(WORD code, int thumb);
    void OnWindowPosChanged();
    void OnPopupDone();
    void OnYesNoDone(bool yes);
    LRESULT OnNotify(NMHDR* header);
    void AttachControls();

    void LoadCard();        // the current card into the working texts
    void StoreCard();       // the working texts back into the current card
    void ShowTitle();
    void UpdateLayout();
    void SetVScrollbar();
    void ScrollTo(int position);
    void RepaintRows();
    void PlaceRows();
    bool Portrait() const { return m_screenWidth == 240; }
    RECT Entry(int index) const;
    RECT RowEntry(int index, int row) const;
    int UsableHeight() const;
    bool InEditorBand(int y) const;
    bool PopupShown() const;
    RECT PopupRect() const;

    void OnEditor(int category);
    void ShowEditor(bool show, int category, bool withText);
    void OnEditorOK();
    void SelectField(int step);
    void OnCombobox(int category);
    void CloseAlternatives();
    void OnAlternativeChosen(int row);
    void OnArrow(int step);
    void OnSave();
    void OnSaveAll();
    void OnRetry();
    void OnExit();
    void RemoveCurrentCard();
    void InitPictureList();
    void MakeCurrentInList() const;
    void OnPictureDialog(bool gallery);
    void ShowInfo(int kind);
    void EnableSoftKeys(bool enable);
    void SetMenuBar(UINT id);
    void End(INT_PTR result);
    void Touch();

    std::vector<Slot> m_slots;
    int m_count = 0;
    int m_current = 1;
    std::wstring m_folder;
    std::vector<int> m_orientation;
    HINSTANCE m_language = nullptr;
    HWND m_mainWindow = nullptr;
    int* m_inactivity = nullptr;

    std::array<ResultText, 7> m_texts{};
    std::array<ResultSubItem, 7> m_alternatives{};
    std::array<RECT, 7> m_rowText{};
    std::array<RECT, 7> m_rowButton{};
    int m_penRow = -1;
    int m_editField = -1;
    int m_comboField = -1;
    std::array<BcrLayoutEntry, 15> m_layout{};
    int m_pitch = 43;
    int m_scroll = 0;
    int m_screenWidth = 0;
    bool m_dragging = false;
    int m_lastY = 0;
    bool m_busy = false;
    int m_popupKind = -1;
    bool m_saveFailed = false;
    INT_PTR m_endResult = -1;
    HWND m_menuBar = nullptr;
    UINT m_menuBarId = 0;

    bool m_attached = false;
    CBcrCaptionWnd m_title;
    CBcrCaptionWnd m_editorFrame;
    CBcrLabelWnd m_caption;
    CFieldImageView m_picture;
    CImageButton m_left{CMD_BCR_PREV_CARD};
    CImageButton m_right{CMD_BCR_NEXT_CARD};
    CImageButton m_ok{CMD_BCR_EDITOR_OK};
    CImageButton m_next{CMD_BCR_NEXT_FIELD};
    CBcrScrollBar m_bar;
    LumEditbox m_edit;
    CAlternativesDropDown m_dropDown;
    CInfoPopup m_info{CInfoPopup::VARIANT_A2};
    CYesNoPopup m_yesNo{CYesNoPopup::VARIANT_RESULT_VIEWS};
    HBITMAP m_popupBackground = nullptr;
    std::function<INT_PTR(bool)> m_pictureRunner;
};
