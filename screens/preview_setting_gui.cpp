#include "preview_setting_gui.h"

#include <iterator>

#include "camcorder_control.h"
#include "camera_control.h"
#include "common_control.h"
#include "debug_print.h"
#include "draw_context.h"
#include "file_control.h"
#include "gui_stack.h"
#include "main_frame.h"
#include "setting_menu.h"
#include "settings.h"
#include "sound_control.h"

namespace {

// Commands the menu takes and drops: the shutter-sound entries are applied
// by their value list, the camcorder's video sizes belong to its own screen.
constexpr DWORD CMD_VIDEO_SIZE_FIRST = 0x40016;
constexpr DWORD CMD_VIDEO_SIZE_LAST = 0x40018;

constexpr DWORD Id(DWORD code, DWORD low) { return (code << 16) | low; }

// The value entries of each setting: identifier and text.
struct Value {
    DWORD id;
    LPCWSTR text;
};
struct SettingRows {
    DWORD code;
    UINT titleId;  // 0: the title is the program's own literal
    LPCWSTR title;
    const Value* values;
    std::size_t count;
};

#define LUM_OFF_ON(code) {Id(code, 1), L"Off"}, {Id(code, 2), L"On"}
#define LUM_SEVEN_STEPS(code)                                                                                    \
    {Id(code, 1), L"-3"}, {Id(code, 2), L"-2"}, {Id(code, 3), L"-1"}, {Id(code, 4), L"0"}, {Id(code, 5), L"+1"}, \
        {Id(code, 6), L"+2"}, {Id(code, 7), L"+3"}

constexpr Value kTimer[] = {{SETTING_TIMER, L"Off"}, {SETTING_TIMER + 1, L"2 s"}, {SETTING_TIMER + 2, L"5 s"},
                            {SETTING_TIMER + 3, L"10 s"}};
constexpr Value kQuality[] = {{Id(SETTING_QUALITY, 1), L"Fine"}, {Id(SETTING_QUALITY, 2), L"Normal"},
                              {Id(SETTING_QUALITY, 3), L"Economy"}};
constexpr Value kWhiteBalance[] = {{Id(SETTING_WHITE_BALANCE, 1), L"Auto"},
                                   {Id(SETTING_WHITE_BALANCE, 2), L"Daylight"},
                                   {Id(SETTING_WHITE_BALANCE, 3), L"Cloudy"},
                                   {Id(SETTING_WHITE_BALANCE, 4), L"Incandescent"},
                                   {Id(SETTING_WHITE_BALANCE, 5), L"Fluorescent"}};
constexpr Value kEffect[] = {{Id(SETTING_EFFECT, 1), L"Normal"},    {Id(SETTING_EFFECT, 2), L"Mono"},
                             {Id(SETTING_EFFECT, 3), L"Sepia"},     {Id(SETTING_EFFECT, 4), L"Negative"},
                             {Id(SETTING_EFFECT, 5), L"Aqua"},      {Id(SETTING_EFFECT, 6), L"Sketch"},
                             {Id(SETTING_EFFECT, 7), L"Emboss"},    {Id(SETTING_EFFECT, 8), L"Solarize"},
                             {Id(SETTING_EFFECT, 9), L"Posterize"}, {Id(SETTING_EFFECT, 10), L"Warm"},
                             {Id(SETTING_EFFECT, 11), L"Cool"},     {Id(SETTING_EFFECT, 12), L"Vivid"},
                             {Id(SETTING_EFFECT, 13), L"Antique"}};
constexpr Value kFocus[] = {LUM_OFF_ON(SETTING_FOCUS)};
constexpr Value kISO[] = {{Id(SETTING_ISO, 1), L"Auto"}, {Id(SETTING_ISO, 2), L"100"}, {Id(SETTING_ISO, 3), L"200"},
                          {Id(SETTING_ISO, 4), L"400"},  {Id(SETTING_ISO, 5), L"800"}, {Id(SETTING_ISO, 6), L"1600"}};
constexpr Value kMetering[] = {{Id(SETTING_METERING, 1), L"Spot"}, {Id(SETTING_METERING, 2), L"Centre"},
                               {Id(SETTING_METERING, 3), L"Average"}};
constexpr Value kContrast[] = {LUM_SEVEN_STEPS(SETTING_CONTRAST)};
constexpr Value kSaturation[] = {LUM_SEVEN_STEPS(SETTING_SATURATION)};
constexpr Value kSharpness[] = {LUM_SEVEN_STEPS(SETTING_SHARPNESS)};
constexpr Value kGPS[] = {LUM_OFF_ON(SETTING_GPS)};
// Accent: the colour kept (0 none, 1 red, 2 green, 3 blue); swap: from the
// low byte to the next one.
constexpr Value kColorAccent[] = {{Id(SETTING_COLOR_ACCENT, 0), L"Off"}, {Id(SETTING_COLOR_ACCENT, 1), L"Red"},
                                  {Id(SETTING_COLOR_ACCENT, 2), L"Green"}, {Id(SETTING_COLOR_ACCENT, 3), L"Blue"}};
constexpr Value kColorSwap[] = {{Id(SETTING_COLOR_SWAP, 0x0000), L"Off"},
                                {Id(SETTING_COLOR_SWAP, 0x0201), L"Red to green"},
                                {Id(SETTING_COLOR_SWAP, 0x0302), L"Green to blue"},
                                {Id(SETTING_COLOR_SWAP, 0x0103), L"Blue to red"}};
constexpr Value kWDR[] = {LUM_OFF_ON(SETTING_WDR)};
constexpr Value kExtendView[] = {LUM_OFF_ON(SETTING_EXTEND_VIEW)};
constexpr Value kStorage[] = {{Id(SETTING_STORAGE, 1), L"My Device"},
                              {Id(SETTING_STORAGE, 2), L"Internal storage"},
                              {Id(SETTING_STORAGE, 3), L"Storage Card"}};
constexpr Value kAutoOff[] = {{Id(SETTING_AUTO_OFF, 1), L"Never"}, {Id(SETTING_AUTO_OFF, 2), L"1 min"},
                              {Id(SETTING_AUTO_OFF, 3), L"2 min"}, {Id(SETTING_AUTO_OFF, 4), L"3 min"}};
constexpr Value kGuideline[] = {LUM_OFF_ON(SETTING_GUIDELINE)};
constexpr Value kReview[] = {LUM_OFF_ON(SETTING_REVIEW)};
constexpr Value kShutterSound[] = {{Id(SETTING_SHUTTER_SOUND, 1), L"Sound 1"},
                                   {Id(SETTING_SHUTTER_SOUND, 2), L"Sound 2"},
                                   {Id(SETTING_SHUTTER_SOUND, 3), L"Sound 3"}};

#undef LUM_OFF_ON
#undef LUM_SEVEN_STEPS

#define LUM_ROWS(code, titleId, title, values) {code, titleId, title, values, std::size(values)}

constexpr SettingRows kTimerRows = LUM_ROWS(SETTING_TIMER, 1422, L"Timer", kTimer);
constexpr SettingRows kQualityRows = LUM_ROWS(SETTING_QUALITY, 1459, L"Quality", kQuality);
constexpr SettingRows kWhiteBalanceRows = LUM_ROWS(SETTING_WHITE_BALANCE, 1442, L"White balance", kWhiteBalance);
constexpr SettingRows kEffectRows = LUM_ROWS(SETTING_EFFECT, 1435, L"Effect", kEffect);

constexpr SettingRows kCameraList[] = {
    LUM_ROWS(SETTING_EXTEND_VIEW, 0, L"Extend View", kExtendView),
    kTimerRows,
    kQualityRows,
    kWhiteBalanceRows,
    kEffectRows,
    LUM_ROWS(SETTING_FOCUS, 0, L"Focus", kFocus),
    LUM_ROWS(SETTING_ISO, 0, L"ISO", kISO),
    LUM_ROWS(SETTING_METERING, 0, L"Metering", kMetering),
    LUM_ROWS(SETTING_CONTRAST, 0, L"Contrast", kContrast),
    LUM_ROWS(SETTING_SATURATION, 0, L"Saturation", kSaturation),
    LUM_ROWS(SETTING_SHARPNESS, 0, L"Sharpness", kSharpness),
    LUM_ROWS(SETTING_GPS, 0, L"GPS", kGPS),
    LUM_ROWS(SETTING_COLOR_ACCENT, 0, L"Color Accent", kColorAccent),
    LUM_ROWS(SETTING_COLOR_SWAP, 0, L"Color Swap", kColorSwap),
    LUM_ROWS(SETTING_WDR, 0, L"WDR", kWDR),
};
constexpr SettingRows kCamcorderList[] = {kTimerRows, kQualityRows, kWhiteBalanceRows, kEffectRows};
constexpr SettingRows kGeneralList[] = {
    LUM_ROWS(SETTING_STORAGE, 1467, L"Default storage", kStorage),
    LUM_ROWS(SETTING_AUTO_OFF, 1454, L"Camera timeout", kAutoOff),
    LUM_ROWS(SETTING_GUIDELINE, 0, L"Guideline", kGuideline),
    LUM_ROWS(SETTING_REVIEW, 1504, L"Review Screen", kReview),
    LUM_ROWS(SETTING_SHUTTER_SOUND, 1471, L"Shutter sound", kShutterSound),
};

#undef LUM_ROWS

CCommonControl* Common() { return CCommonControl::GetInstance(); }
CSettings* Settings() { return CSettings::GetInstance(); }

// The id-to-setter table: the setting's code, the range of its low half and
// what a value does. `value` is the low half less `base`.
struct Setter {
    DWORD code;
    DWORD low, high;  // the low halves the setting has
    int base;
    void (*apply)(CPreviewSettingGUI* screen, int value, DWORD low);
};

const Setter kSetters[] = {
    {SETTING_WHITE_BALANCE, 1, 5, 1, [](CPreviewSettingGUI*, int v, DWORD) { Common()->SetWhiteBalance(v); }},
    {SETTING_QUALITY, 1, 3, 1,
     [](CPreviewSettingGUI* screen, int v, DWORD) {
         // The quality belongs to the preview the menu was opened from.
         if (screen->PreviousStatus() == GUI_STATUS_CAMCORDER)
             CCamcorderControl::GetInstance()->SetStreamOption(static_cast<DWORD>(v));
         else
             CCameraControl::GetInstance()->SetCaptureOption(v, 1);
     }},
    {SETTING_EFFECT, 1, 13, 1, [](CPreviewSettingGUI*, int v, DWORD) { Common()->SetEffect(v); }},
    {SETTING_FOCUS, 1, 2, 1, [](CPreviewSettingGUI*, int v, DWORD) { Common()->SetUseFocus(v); }},
    {SETTING_ISO, 1, 6, 1, [](CPreviewSettingGUI*, int v, DWORD) { Common()->SetISO(v, 1); }},
    {SETTING_METERING, 1, 3, 1, [](CPreviewSettingGUI*, int v, DWORD) { Common()->SetMetering(v, 1); }},
    {SETTING_CONTRAST, 1, 7, 4, [](CPreviewSettingGUI*, int v, DWORD) { Common()->SetContrast(v, 1); }},
    {SETTING_SATURATION, 1, 7, 4, [](CPreviewSettingGUI*, int v, DWORD) { Common()->SetSaturation(v, 1); }},
    {SETTING_SHARPNESS, 1, 7, 4, [](CPreviewSettingGUI*, int v, DWORD) { Common()->SetSharpness(v, 1); }},
    {SETTING_GPS, 1, 2, 1, [](CPreviewSettingGUI*, int v, DWORD) { Settings()->SetUseGPS(v); }},
    {SETTING_COLOR_ACCENT, 0, 3, 0,
     [](CPreviewSettingGUI*, int v, DWORD) {
         DebugPrint(L"ACCENT COLOR [%d]...\n", v);
         Common()->SetColorAccent(v);
     }},
    {SETTING_COLOR_SWAP, 0, 0x0303, 0,
     [](CPreviewSettingGUI*, int, DWORD low) {
         const int from = static_cast<int>(low & 0xFF), to = static_cast<int>(low >> 8);
         DebugPrint(L"SWAP COLOR from [%d] => to [%d]...\n", from, to);
         Common()->SetColorSwap(from, to);
     }},
    {SETTING_WDR, 1, 2, 1, [](CPreviewSettingGUI*, int v, DWORD) { Common()->SetUseWDR(v, 1); }},
    {SETTING_EXTEND_VIEW, 1, 2, 1, [](CPreviewSettingGUI*, int v, DWORD) { Common()->SetWidePreview(v, 1); }},
    {SETTING_STORAGE, 1, 3, 1, [](CPreviewSettingGUI*, int v, DWORD) { CFileControl::GetInstance()->SetStorageType(v); }},
    {SETTING_AUTO_OFF, 1, 4, 1, [](CPreviewSettingGUI*, int v, DWORD) { Settings()->SetAutoOffMode(v); }},
    {SETTING_GUIDELINE, 1, 2, 1, [](CPreviewSettingGUI*, int v, DWORD) { Settings()->SetGuideLine(v); }},
    {SETTING_REVIEW, 1, 2, 1, [](CPreviewSettingGUI*, int v, DWORD) { Settings()->SetReviewSwitch(v); }},
    {SETTING_SHUTTER_SOUND, 1, 3, 1,
     [](CPreviewSettingGUI*, int v, DWORD) { CSoundControl::GetInstance()->SetShutterIndex(v); }},
};

// A title's text: the program's string when it has one.
std::wstring TitleText(const SettingRows& rows)
{
    WCHAR text[CE_NAME_CHARS];
    if (rows.titleId && LoadStringW(nullptr, rows.titleId, text, CE_NAME_CHARS) > 0)
        return text;
    return rows.title;
}

CSettingTitleList* BuildList(const SettingRows* rows, std::size_t count, CRotBitmap* back, CRotBitmap* highlight)
{
    auto* list = new CSettingTitleList(back);
    for (std::size_t i = 0; i < count; ++i) {
        auto* values = new CSettingValueList(highlight);
        for (std::size_t v = 0; v < rows[i].count; ++v)
            values->AddValue(rows[i].values[v].id, rows[i].values[v].text);
        list->AddSetting(rows[i].code, TitleText(rows[i]).c_str(), values);
    }
    return list;
}

// Chooses the entry of that identifier in the setting's value list.
void Choose(CSettingTitleList* list, DWORD code, DWORD id)
{
    if (CSettingValueList* values = list ? list->ValuesOf(code) : nullptr)
        values->SelectByValue(id, TRUE);
}

}  // namespace

CPreviewSettingGUI::CPreviewSettingGUI() { LoadResource(); }

CPreviewSettingGUI::~CPreviewSettingGUI()
{
    if (m_pMenu)
        m_pMenu->Release();
    m_pMenu = nullptr;
}

int CPreviewSettingGUI::LoadResource()
{
    CBaseGUI::LoadResource();
    if (!m_pMenu) {
        m_pMenu = new CSettingMenu();
        m_pMenu->AddRef();
        BuildLists();
    }
    m_pMenu->SetTarget(GetHwnd());
    return 1;
}

void CPreviewSettingGUI::BuildLists()
{
    CeRefPtr<CRotBitmap> back = CeLoadImage(IDB_SETTING_LIST_BACK);
    CeRefPtr<CRotBitmap> highlight = CeLoadImage(IDB_SETTING_HIGHLIGHT);
    m_pMenu->SetList(kTabCamera, BuildList(kCameraList, std::size(kCameraList), back.get(), highlight.get()));
    m_pMenu->SetList(kTabCamcorder, BuildList(kCamcorderList, std::size(kCamcorderList), back.get(), highlight.get()));
    m_pMenu->SetList(kTabGeneral, BuildList(kGeneralList, std::size(kGeneralList), back.get(), highlight.get()));
    m_pMenu->ShowTab(kTabCamera);
}

void CPreviewSettingGUI::Synchronise()
{
    CCommonControl* common = Common();
    CSettings* settings = Settings();
    auto onOff = [](DWORD code, bool on) { return Id(code, on ? 2 : 1); };
    auto shared = [&](CSettingTitleList* list, DWORD quality) {
        Choose(list, SETTING_TIMER, SETTING_TIMER + static_cast<DWORD>(common->GetSelfTimerMode()));
        Choose(list, SETTING_QUALITY, Id(SETTING_QUALITY, 1 + quality));
        Choose(list, SETTING_WHITE_BALANCE, Id(SETTING_WHITE_BALANCE, 1 + static_cast<DWORD>(common->GetWhiteBalance())));
        Choose(list, SETTING_EFFECT, Id(SETTING_EFFECT, 1 + static_cast<DWORD>(common->GetEffect())));
    };
    CSettingTitleList* camera = m_pMenu->List(kTabCamera);
    Choose(camera, SETTING_EXTEND_VIEW, onOff(SETTING_EXTEND_VIEW, common->IsWidePreview()));
    Choose(camera, SETTING_FOCUS, onOff(SETTING_FOCUS, common->IsUseFocus() != 0));
    Choose(camera, SETTING_WDR, onOff(SETTING_WDR, common->IsUseWDR() != 0));
    Choose(camera, SETTING_GPS, onOff(SETTING_GPS, settings->IsGPSOn() != 0));
    shared(camera, static_cast<DWORD>(CCameraControl::GetInstance()->GetCaptureOption()));
    Choose(camera, SETTING_ISO, Id(SETTING_ISO, 1 + static_cast<DWORD>(common->GetISO())));
    Choose(camera, SETTING_METERING, Id(SETTING_METERING, 1 + static_cast<DWORD>(common->GetMetering())));
    Choose(camera, SETTING_CONTRAST, Id(SETTING_CONTRAST, static_cast<DWORD>(4 + common->GetContrast())));
    Choose(camera, SETTING_SATURATION, Id(SETTING_SATURATION, static_cast<DWORD>(4 + common->GetSaturation())));
    Choose(camera, SETTING_SHARPNESS, Id(SETTING_SHARPNESS, static_cast<DWORD>(4 + common->GetSharpness())));
    Choose(camera, SETTING_COLOR_ACCENT, Id(SETTING_COLOR_ACCENT, 0));
    Choose(camera, SETTING_COLOR_SWAP, Id(SETTING_COLOR_SWAP, 0));

    shared(m_pMenu->List(kTabCamcorder), CCamcorderControl::GetInstance()->GetStreamOption());

    CSettingTitleList* general = m_pMenu->List(kTabGeneral);
    CFileControl* files = CFileControl::GetInstance();
    if (CSettingValueList* storage = general->ValuesOf(SETTING_STORAGE)) {
        storage->SetItemEnabled(Id(SETTING_STORAGE, 2), files->IsInternalPresent());
        storage->SetItemEnabled(Id(SETTING_STORAGE, 3), files->IsExternalPresent());
    }
    Choose(general, SETTING_STORAGE, Id(SETTING_STORAGE, 1 + static_cast<DWORD>(files->GetStorageType())));
    Choose(general, SETTING_AUTO_OFF, Id(SETTING_AUTO_OFF, 1 + static_cast<DWORD>(settings->GetAutoOffMode())));
    Choose(general, SETTING_GUIDELINE, onOff(SETTING_GUIDELINE, settings->IsGuideLineOn() != 0));
    Choose(general, SETTING_REVIEW, onOff(SETTING_REVIEW, settings->IsReviewSwitchOn() != 0));
    Choose(general, SETTING_SHUTTER_SOUND,
           Id(SETTING_SHUTTER_SOUND, 1 + static_cast<DWORD>(CSoundControl::GetInstance()->GetShutterIndex())));
}

// ---- Opening and closing ----

int CPreviewSettingGUI::OnOpen()
{
    m_bOpen = 1;
    CSettings* settings = Settings();
    settings->RemoveGUIStatus(GUI_STATUS_NOTICE);
    if (settings->IsGUIStatus(GUI_STATUS_CAMERA)) {
        m_wPrevious = GUI_STATUS_CAMERA;
        settings->ChangeGUIStatus(GUI_STATUS_SETTING, GUI_STATUS_CAMERA);
    } else if (settings->IsGUIStatus(GUI_STATUS_CAMCORDER)) {
        m_wPrevious = GUI_STATUS_CAMCORDER;
        settings->ChangeGUIStatus(GUI_STATUS_SETTING, GUI_STATUS_CAMCORDER);
    }
    if (m_pMenu->HasLists()) {
        Synchronise();
        m_pMenu->ShowTab(m_wPrevious == GUI_STATUS_CAMCORDER ? kTabCamcorder : kTabCamera);
    }
    CDrawEvent::PostMessage(L"PreviewSettingGUI", __LINE__);
    return 0;
}

int CPreviewSettingGUI::OnClose()
{
    CSettings* settings = Settings();
    if (m_wPrevious == GUI_STATUS_CAMERA || m_wPrevious == GUI_STATUS_CAMCORDER)
        settings->ChangeGUIStatus(m_wPrevious, GUI_STATUS_SETTING);
    PostMessageW(GetHwnd(), WM_MAIN_COMMAND, CMD_PREVIEW_STARTED, 0);
    settings->SetNoticeStatus(TRUE);
    m_pRoot->RemoveAll();
    m_bOpen = 0;
    for (int tab = 0; tab < kTabCount; ++tab)
        if (CSettingTitleList* list = m_pMenu->List(tab))
            list->ChooseRow(-1);
    return 0;
}

// ---- Drawing and input ----

int CPreviewSettingGUI::DrawLayer1(CDrawContext* dc)
{
    m_pMenu->Draw(dc);
    return 1;
}

bool CPreviewSettingGUI::ApplySetting(DWORD id)
{
    if (id >= SETTING_TIMER && id <= SETTING_TIMER + 3) {
        Common()->SetSelfTimerMode(static_cast<int>(id - SETTING_TIMER));
        return true;
    }
    const DWORD code = id >> 16, low = id & 0xFFFF;
    for (const Setter& s : kSetters) {
        if (s.code != code || low < s.low || low > s.high)
            continue;
        if (code == SETTING_COLOR_SWAP && ((low & 0xFF) > 3 || (low >> 8) > 3))
            return false;
        s.apply(this, static_cast<int>(low) - s.base, low);
        return true;
    }
    return false;
}

int CPreviewSettingGUI::OnCommand(DWORD command, DWORD argument)
{
    switch (command) {
    case CMD_SETTING_TAB_CAMERA:
    case CMD_SETTING_TAB_CAMCORDER:
    case CMD_SETTING_TAB_GENERAL:
        m_pMenu->ShowTab(static_cast<int>(command - CMD_SETTING_TAB_CAMERA));
        CDrawEvent::PostMessage(L"PreviewSettingGUI", __LINE__);
        return 0;
    case CMD_SETTING_STORAGE_CHANGED:
    case CMD_SETTING_STORAGE_ADDED:
        if (CSettingTitleList* general = m_pMenu->List(kTabGeneral))
            if (CSettingValueList* storage = general->ValuesOf(SETTING_STORAGE))
                storage->SetItemEnabled(Id(SETTING_STORAGE, command == CMD_SETTING_STORAGE_CHANGED ? 2 : 3),
                                        argument != 0);
        return 0;
    default: break;
    }
    if (command >= CMD_VIDEO_SIZE_FIRST && command <= CMD_VIDEO_SIZE_LAST)
        return 0;
    if (ApplySetting(command)) {
        CDrawEvent::PostMessage(L"PreviewSettingGUI", __LINE__);
        return 0;
    }
    return CPreviewGUI::OnCommand(command, argument);
}

int CPreviewSettingGUI::OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData)
{
    int result = 0;
    if (m_pMenu->OnKey(virtualKey, 0, &result)) {
        CDrawEvent::PostMessage(L"PreviewSettingGUI", __LINE__);
        return 0;
    }
    if (virtualKey == VK_F4) {
        OnCommand(CMD_PREVIEW_EXIT_KEY, 0);
        return 0;
    }
    return CPreviewGUI::OnKeyUp(hwnd, virtualKey, keyData);
}

int CPreviewSettingGUI::OnLButtonDown(POINT point, WPARAM flags)
{
    int result = 0;
    if (m_pMenu->OnTouch(point, TRUE, &result)) {
        CDrawEvent::SendMessage(L"PreviewSettingGUI", __LINE__);
        return 0;
    }
    return CPreviewGUI::OnLButtonDown(point, flags);
}
