#include "capture_shutdown.h"

#include "acs_control.h"
#include "camcorder_control.h"
#include "camera_control.h"
#include "capture_host.h"
#include "common_control.h"
#include "display.h"
#include "dshow_control.h"
#include "file_control.h"
#include "gps_control.h"
#include "led_control.h"
#include "settings.h"
#include "shot_control.h"
#include "sound_control.h"
#include "system.h"

void StopCaptureAsShutdown()
{
    CSoundControl::GetInstance()->Stop();
    CDShowControl::GetInstance()->CloseCamera();
    CCommonControl::ReleaseInstance();
    CCameraControl::ReleaseInstance();
    CCamcorderControl::ReleaseInstance();
    CSoundControl::ReleaseInstance();
    CDShowControl::GetInstance()->ReleaseInterfaces();
    CDShowControl::ReleaseInstance();
    CShotControl::GetInstance()->Destroy();
    CShotControl::ReleaseInstance();
    CGPSControl::GetInstance()->Uninit();
    CGPSControl::ReleaseInstance();
    SetCaptureHost(nullptr);
    CDrawEvent::Instance().SetHwnd(nullptr);
    CDisplay::DestroyInstance();
    CACSControl::ReleaseInstance();
    CLedControl::ReleaseInstance();
    CFileControl::ReleaseInstance();
    CSettings::ReleaseInstance();
    CSystem::ReleaseInstance();
}
