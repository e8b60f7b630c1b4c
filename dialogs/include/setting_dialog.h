// The OCR settings dialog (automatic focus, language, automatic saving), as
// the main frame runs it. It writes the options itself; the dialog lives
// behind Impl.
#pragma once

#include <memory>

#include "plat/windows.h"

class SettingDialog {
public:
    SettingDialog();
    ~SettingDialog();
    SettingDialog(const SettingDialog&) = delete;
    SettingDialog& operator=(const SettingDialog&) = delete;

    // menuBarOwner is made full screen once the dialog is up.
    void SetParams(HWND parent, HWND owner, HWND menuBarOwner, int* inactivity);
    // SETTING_DIALOG_BACK, SETTING_DIALOG_END or SETTING_DIALOG_EXIT (dialog_results.h).
    INT_PTR DoModal(HWND parent);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
