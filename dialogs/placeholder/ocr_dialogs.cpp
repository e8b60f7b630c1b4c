// The OCR dialogs until their library has them: each modal run ends at once
// on the road back to the camera. Delete a class here when it lands.
#include "dialog_results.h"
#include "lum_result_ocr_view.h"
#include "setting_dialog.h"
#include "thumbnail_dialog.h"

struct CLumResultOCRView::Impl {};
CLumResultOCRView::CLumResultOCRView() = default;
CLumResultOCRView::~CLumResultOCRView() = default;
void CLumResultOCRView::SetData(const WCHAR* const*, int, LPCWSTR, const WCHAR* const*, HINSTANCE, int*, int*, HWND)
{
}
INT_PTR CLumResultOCRView::DoModal(HWND) { return RESULT_VIEW_BACK; }

struct SettingDialog::Impl {};
SettingDialog::SettingDialog() = default;
SettingDialog::~SettingDialog() = default;
void SettingDialog::SetParams(HWND, HWND, HWND, int*) {}
INT_PTR SettingDialog::DoModal(HWND) { return SETTING_DIALOG_BACK; }

struct ThumbNailDialog::Impl {};
ThumbNailDialog::ThumbNailDialog() = default;
ThumbNailDialog::~ThumbNailDialog() = default;
void ThumbNailDialog::SetInput(const ThumbNailInput& input)
{
    if (input.resultKind)
        *input.resultKind = GALLERY_NEXT_PREVIEW;
}
void ThumbNailDialog::SetExtraParam(std::int32_t) {}
void ThumbNailDialog::SetResource(HINSTANCE) {}
INT_PTR ThumbNailDialog::DoModal(HWND) { return GALLERY_DONE; }
