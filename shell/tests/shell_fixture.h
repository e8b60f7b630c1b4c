// A fresh device root, registry and virtual clock for each shell test, and
// the display as the test found it: the panel's orientation is one per process.
#pragma once

#include <gtest/gtest.h>

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/windows.h"

class ShellFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        orientation = plat::DisplayOrientation();
        plat::UseVirtualClock();
        plat::SetDeviceRoot(root.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
    }
    void TearDown() override
    {
        plat::CloseRegistry();
        plat::UseRealClock();
        if (plat::DisplayOrientation() != orientation) {
            DEVMODEW mode{};
            mode.dmSize = sizeof(mode);
            mode.dmFields = DM_DISPLAYORIENTATION;
            mode.dmDisplayOrientation = orientation;
            EXPECT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), DISP_CHANGE_SUCCESSFUL);
        }
    }

    // A top-level window that only takes messages, for owners of timers.
    static HWND CreatePlainWindow()
    {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                return DefWindowProcW(hwnd, message, wParam, lParam);
            };
            wc.lpszClassName = L"ShellTestWindow";
            return RegisterClassW(&wc) != 0;
        }();
        if (!registered)
            return nullptr;
        return CreateWindowExW(0, L"ShellTestWindow", L"window", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                               nullptr);
    }

    lumtest::TempDir root;

private:
    DWORD orientation = DMDO_0;
};
