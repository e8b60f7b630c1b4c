// Built without SDL2: the program runs headless only.
#include "plat/presenter.h"

namespace plat {

bool StartPresenter(std::wstring* why)
{
    if (why)
        *why = L"this build has no window presenter (libsdl2-dev was missing)";
    return false;
}

void StopPresenter() {}
BYTE PresenterKeyFor(const char*) { return 0; }
unsigned PresenterFrames() { return 0; }

}  // namespace plat
