#include "dialog_doubles.h"

#include "lum_result_bcr_view.h"
#include "lum_result_ocr_view.h"
#include "setting_dialog.h"

namespace doubles {

namespace {

DialogRun g_bcr, g_ocr, g_setting, g_gallery;
ResultViewData g_bcrData, g_ocrData;
ThumbNailInput g_galleryInput;
std::int32_t g_galleryExtra = 0;

INT_PTR Run(DialogRun& run, HWND parent, INT_PTR fallback)
{
    ++run.runs;
    return run.modal ? run.modal(parent) : fallback;
}

void CopyNames(ResultViewData& data, LPCWSTR folder, const WCHAR* const* names, int count)
{
    data.count = count;
    data.folder = folder ? folder : L"";
    data.names.clear();
    for (int i = 0; names && i < count; ++i)
        data.names.emplace_back(names[i] ? names[i] : L"");
}

}  // namespace

DialogRun& BcrViewRun() { return g_bcr; }
DialogRun& OcrViewRun() { return g_ocr; }
DialogRun& SettingRun() { return g_setting; }
DialogRun& GalleryRun() { return g_gallery; }
ResultViewData& BcrViewData() { return g_bcrData; }
ResultViewData& OcrViewData() { return g_ocrData; }
ThumbNailInput& GalleryInput() { return g_galleryInput; }
std::int32_t& GalleryExtraParam() { return g_galleryExtra; }

void ResetDialogs()
{
    g_bcr = {};
    g_ocr = {};
    g_setting = {};
    g_gallery = {};
    g_bcrData = {};
    g_ocrData = {};
    g_galleryInput = {};
    g_galleryExtra = 0;
}

}  // namespace doubles

struct CLumResultBCRView::Impl {};
CLumResultBCRView::CLumResultBCRView() = default;
CLumResultBCRView::~CLumResultBCRView() { ++doubles::BcrViewRun().destroyed; }
void CLumResultBCRView::SetData(ResultItem* const* cards, ResultSubItem* const* alternatives, int count,
                                LPCWSTR folder, const WCHAR* const* names, HINSTANCE languageInstance,
                                HWND mainWindow, int* inactivity, const int* orientationFlags)
{
    doubles::ResultViewData& data = doubles::BcrViewData();
    doubles::CopyNames(data, folder, names, count);
    data.cards = cards;
    data.alternatives = alternatives;
    data.languageInstance = languageInstance;
    data.window = mainWindow;
    data.inactivity = inactivity;
    data.orientation = orientationFlags;
}
INT_PTR CLumResultBCRView::DoModal(HWND parent) { return doubles::Run(doubles::BcrViewRun(), parent, RESULT_VIEW_BACK); }

struct CLumResultOCRView::Impl {};
CLumResultOCRView::CLumResultOCRView() = default;
CLumResultOCRView::~CLumResultOCRView() { ++doubles::OcrViewRun().destroyed; }
void CLumResultOCRView::SetData(const WCHAR* const* texts, int count, LPCWSTR folder, const WCHAR* const* names,
                                HINSTANCE languageInstance, int* inactivity, int*, HWND fullScreenWindow)
{
    doubles::ResultViewData& data = doubles::OcrViewData();
    doubles::CopyNames(data, folder, names, count);
    data.texts = texts;
    data.languageInstance = languageInstance;
    data.window = fullScreenWindow;
    data.inactivity = inactivity;
}
INT_PTR CLumResultOCRView::DoModal(HWND parent) { return doubles::Run(doubles::OcrViewRun(), parent, RESULT_VIEW_BACK); }

struct SettingDialog::Impl {};
SettingDialog::SettingDialog() = default;
SettingDialog::~SettingDialog() { ++doubles::SettingRun().destroyed; }
void SettingDialog::SetParams(HWND, HWND, HWND, int*) {}
INT_PTR SettingDialog::DoModal(HWND parent) { return doubles::Run(doubles::SettingRun(), parent, SETTING_DIALOG_BACK); }

struct ThumbNailDialog::Impl {};
ThumbNailDialog::ThumbNailDialog() = default;
ThumbNailDialog::~ThumbNailDialog() { ++doubles::GalleryRun().destroyed; }
void ThumbNailDialog::SetInput(const ThumbNailInput& input) { doubles::GalleryInput() = input; }
void ThumbNailDialog::SetExtraParam(std::int32_t value) { doubles::GalleryExtraParam() = value; }
void ThumbNailDialog::SetResource(HINSTANCE) {}
INT_PTR ThumbNailDialog::DoModal(HWND parent) { return doubles::Run(doubles::GalleryRun(), parent, GALLERY_DONE); }
