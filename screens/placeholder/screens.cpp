// Until the camera screens are built: the screens draw nothing; the preview
// answers the shell as the real one does.
#include "app_messages.h"
#include "gui_screens.h"
#include "image_file_list.h"
#include "main_frame.h"
#include "settings.h"
#include "system.h"

int CBaseGUI::LoadResource() { return 0; }
int CBaseGUI::OnOpen() { return 0; }
int CBaseGUI::OnPaint() { return 0; }
int CBaseGUI::OnEvent(UINT, WPARAM, LPARAM) { return 0; }
int CBaseGUI::OnKeyDown(HWND, UINT, LPARAM) { return 0; }
int CBaseGUI::OnKeyUp(HWND, UINT, LPARAM) { return 0; }
int CBaseGUI::OnLButtonDown(POINT, WPARAM) { return 0; }
int CBaseGUI::OnLButtonUp(POINT, WPARAM) { return 0; }
int CBaseGUI::OnMouseMove(POINT, WPARAM) { return 0; }

#define LUM_PLACEHOLDER_SCREEN(Name) \
    Name::Name() = default;           \
    Name::~Name() = default

LUM_PLACEHOLDER_SCREEN(CPreviewSettingGUI);
LUM_PLACEHOLDER_SCREEN(CPreviewCamcorderGUI);
LUM_PLACEHOLDER_SCREEN(CReviewSingleGUI);
LUM_PLACEHOLDER_SCREEN(CReviewMovieGUI);
LUM_PLACEHOLDER_SCREEN(CThumbnailGUI);
LUM_PLACEHOLDER_SCREEN(CViewerGUI);
LUM_PLACEHOLDER_SCREEN(CReviewMultiCapturedGUI);
LUM_PLACEHOLDER_SCREEN(CMessagePopupGUI);
LUM_PLACEHOLDER_SCREEN(CPreviewCameraGUI);
LUM_PLACEHOLDER_SCREEN(CSinglePicBaseGUI);

void CMessagePopupGUI::ShowPending() {}
void CPreviewCameraGUI::SetModeNotice(BOOL on) { m_bModeNotice = on; }
DWORD CSinglePicBaseGUI::RecognitionThread(LPVOID) { return 0; }
void CSinglePicBaseGUI::CancelRecognition() { m_bCancel = 1; }

// The preview's answers to the shell: the started preview lets drawing and
// input through; the exit commands end the program.
class CPlaceholderPreview {
public:
    static int OnCommand(DWORD command)
    {
        CMainFrame* frame = CMainFrame::GetInstance();
        switch (command) {
        case CMD_PREVIEW_STARTED:
            CSettings::GetInstance()->ClearFlags(SETTINGS_FLAG_DRAW_HELD);
            CSystem::GetInstance()->SetInputFlushTimer(FALSE, 0);
            frame->m_bInputEnabled = 1;
            return 1;
        case CMD_PREVIEW_EXIT:
        case 0x10007:
        case 0x10009:
            if (CFrameApplication* app = frame->GetApplication())
                app->FillBlackClose();
            return 1;
        default: return 0;
        }
    }
};

int CBaseGUI::OnCommand(DWORD command, DWORD)
{
    return this == CPreviewCameraGUI::PeekInstance() ? CPlaceholderPreview::OnCommand(command) : 0;
}

CImageFileList::CImageFileList() = default;
CImageFileList::~CImageFileList() = default;
void CImageFileList::AddFile(CShot*) {}
void CImageFileList::Clear() {}
