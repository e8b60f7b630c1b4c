// The camcorder's preview: the shutter starts and stops a recording, the
// recording's notices move the screen through its states (idle, recording,
// paused, stopped), and while a recording runs the screen shows a blinking
// dot (a pause mark while paused), "REC" and the time recorded. Menus pick
// the size mode and the video size; while recording, a list pauses and
// resumes and a button stops.
#pragma once

#include <string>

#include "plat/windows.h"
#include "preview_gui.h"
#include "singleton.h"

class CeButton;
class CeContainer;
class CeScrollList;
class CRotBitmap;

inline constexpr DWORD CMD_RECORDING_START = 0x40001;
inline constexpr DWORD CMD_RECORDING_STOP = 0x40003;
inline constexpr DWORD CMD_RECORDING_PAUSE_RESUME = 0x40005;
inline constexpr DWORD CMD_RECORDING_START_TIMED = 0x40007;
inline constexpr DWORD CMD_SIZE_MODE_MENU = 0x4000B;
inline constexpr DWORD CMD_SIZE_MODE_NORMAL = 0x4000C;
inline constexpr DWORD CMD_SIZE_MODE_MMS = 0x4000D;
inline constexpr DWORD CMD_VIDEO_SIZE_MENU = 0x40015;
inline constexpr DWORD CMD_VIDEO_SIZE_FIRST = 0x40016;  // to 0x40018
inline constexpr DWORD MSG_NOT_ENOUGH_STORAGE_TO_RECORD = 0x10025;
inline constexpr UINT_PTR TM_CAMCORDER_CONTROLS = 28;

class CPreviewCamcorderGUI : public CPreviewGUI, public CSingleton<CPreviewCamcorderGUI> {
public:
    using CSingleton<CPreviewCamcorderGUI>::GetInstance;
    CPreviewCamcorderGUI();
    ~CPreviewCamcorderGUI() override;

    int LoadResource() override;
    int OnClose() override;
    int DrawLayer2(CDrawContext* dc) override;
    int OnCommand(DWORD command, DWORD argument) override;
    int OnKeyDown(HWND hwnd, UINT virtualKey, LPARAM keyData) override;
    int OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData) override;
    int OnLButtonUp(POINT point, WPARAM flags) override;

    // "hh:mm:ss" of the seconds recorded; negative counts as 0.
    static std::wstring ElapsedText(LONGLONG seconds);
    static const RECT& IndicatorRect();

    BOOL WriteError() const { return m_bWriteError; }
    BOOL OpensReview() const { return m_bOpenReview; }
    BOOL IsClosing() const { return m_bClosing; }
    int SizeModeSelection() const;
    int VideoSizeSelection() const;
    int PauseSelection() const;
    CeContainer* RecordControls() const { return m_pRecordControls; }
    CeContainer* MainControls() const { return m_pMainControls; }

protected:
    bool DrawsShotGuides() const override { return false; }

private:
    void CreateControls();
    void ShowMainControls();
    void StartRecording();
    void StoppedSteps();
    void Redraw();

    BOOL m_bWriteError = FALSE;
    CeContainer* m_pMainControls = nullptr;
    CeContainer* m_pSizeMenu = nullptr;
    CeContainer* m_pVideoMenu = nullptr;
    CeContainer* m_pRecordControls = nullptr;
    CeScrollList* m_pSizeList = nullptr;
    CeScrollList* m_pVideoList = nullptr;
    CeScrollList* m_pPauseList = nullptr;
    CeButton* m_pStop = nullptr;
    CRotBitmap* m_pDot = nullptr;  // one reference each; empty ones draw nothing
    CRotBitmap* m_pPauseMark = nullptr;
    BOOL m_bOpenReview = FALSE;
    BOOL m_bClosing = FALSE;
};
