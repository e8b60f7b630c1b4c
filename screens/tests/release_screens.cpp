// The screen part of the shell doubles' reset: every screen singleton, the
// display and the title layout let go. The shell's tests and the screens'
// tests share it.
#include "display.h"
#include "gui_screens.h"
#include "image_file_list.h"
#include "neighbour_doubles.h"

namespace doubles {

void ReleaseScreens()
{
    CPreviewSettingGUI::ReleaseInstance();
    CPreviewCameraGUI::ReleaseInstance();
    CPreviewCamcorderGUI::ReleaseInstance();
    CReviewSingleGUI::ReleaseInstance();
    CReviewMovieGUI::ReleaseInstance();
    CThumbnailGUI::ReleaseInstance();
    CViewerGUI::ReleaseInstance();
    CReviewMultiCapturedGUI::ReleaseInstance();
    CMessagePopupGUI::ReleaseInstance();
    CSinglePicBaseGUI::ReleaseInstance();
    CImageFileList::ReleaseInstance();
    CDisplay::ReleaseInstance();
    CTitleLayout::ReleaseInstance();
}

}  // namespace doubles
