#include "plat/windows.h"

int WinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    plat::DebugLine(L"LumOCR start");
    return 0;
}
