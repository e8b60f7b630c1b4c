#include "program_resources.h"

#include <iterator>
#include <mutex>

#include "main_frame.h"

namespace {

const plat::StringResource kProgramStrings[] = {
    {IDR_MAINFRAME, L"OCR"},
    {IDS_MAINFRAME_CLASS, L"LUMOCR"},
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
