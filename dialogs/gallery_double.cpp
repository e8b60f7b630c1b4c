// The gallery until its dialog is in this library: a run ends at once, done.
#include "dialog_results.h"
#include "thumbnail_dialog.h"

struct ThumbNailDialog::Impl {};
ThumbNailDialog::ThumbNailDialog() = default;
ThumbNailDialog::~ThumbNailDialog() = default;
void ThumbNailDialog::SetInput(const ThumbNailInput&) {}
void ThumbNailDialog::SetExtraParam(std::int32_t) {}
void ThumbNailDialog::SetResource(HINSTANCE) {}
INT_PTR ThumbNailDialog::DoModal(HWND) { return GALLERY_DONE; }
