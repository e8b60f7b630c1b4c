// A second process for the kernel-object tests: opens a named mutex on a
// device root and reports what it found.
//   lum_mutex_probe ROOT NAME probe  prints "exists=E owned=O": E = 1 when the
//                                    name already existed, O = 1 when it could
//                                    take the mutex at once
//   lum_mutex_probe ROOT NAME hold   creates the mutex owned, prints "held",
//                                    and keeps it until its input ends
#include <cstdio>
#include <cstring>
#include <string>

#include "plat/device.h"
#include "plat/utf.h"
#include "plat/windows.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: lum_mutex_probe ROOT NAME probe|hold\n");
        return 2;
    }
    plat::SetDeviceRoot(argv[1]);
    std::wstring name = plat::FromUtf8(argv[2]);
    bool hold = std::strcmp(argv[3], "hold") == 0;
    HANDLE mutex = CreateMutexW(nullptr, hold ? TRUE : FALSE, name.c_str());
    if (!mutex) {
        std::fprintf(stderr, "lum_mutex_probe: CreateMutexW failed: %u\n", GetLastError());
        return 1;
    }
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (hold) {
        std::printf("held exists=%d\n", existed ? 1 : 0);
        std::fflush(stdout);
        while (std::getchar() != EOF) {
        }
        return 0;
    }
    bool owned = WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0;
    std::printf("exists=%d owned=%d\n", existed ? 1 : 0, owned ? 1 : 0);
    CloseHandle(mutex);
    return 0;
}
