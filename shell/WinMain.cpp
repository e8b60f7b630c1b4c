#include "camera_app.h"

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    return LumWinMain(instance, commandLine);
}
