#include "program_resources.h"

#include <iterator>
#include <mutex>

#include "main_frame.h"

namespace {

const plat::StringResource kProgramStrings[] = {
    {IDR_MAINFRAME, L"OCR"},
    {IDS_MAINFRAME_CLASS, L"LUMOCR"},
    // The camcorder's recording label.
    {1036, L"REC"},
    // The message popup's texts.
    {1075, L"Do you want to change "},
    {1076, L" to Storage Card?"},
    {1103, L"Switching to camera"},
    {1104, L"Switching to camcorder"},
    {1107, L"Storage card is not inserted."},
    {1108, L"Do you want to change"},
    {1109, L"default storage location"},
    {1110, L"to My Device?"},
    {1111, L"Storage card is ejected."},
    {1308, L"default storage location"},
    // The settings menu's titles.
    {1422, L"Timer"},
    {1435, L"Effect"},
    {1442, L"White balance"},
    {1454, L"Camera timeout"},
    {1459, L"Quality"},
    {1467, L"Default storage"},
    {1471, L"Shutter sound"},
    {1504, L"Review Screen"},
};

}  // namespace

void InstallProgramResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        plat::SetProgramStrings(kProgramStrings, std::size(kProgramStrings));
        plat::RegisterAcceleratorTable(IDR_MAINFRAME, nullptr, 0);
    });
}
