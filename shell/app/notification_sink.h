// The main frame and the application object as the phone and system
// notifications reach them: from the notification thread, every request is
// posted to the GUI thread or is a word set.
#pragma once

#include "notification.h"

class CFrameNotificationSink : public CNotificationSink {
public:
    static CFrameNotificationSink* GetInstance();

    void ShowPopup(int type) override;
    void HideDialogBoxEx(int type) override;
    void RemovePopup(int type) override;
    void ReshowPopup() override;
    bool IsPopupShown() const override;
    int GetTopPopup() const override;
    void SetCallerText(bool number, LPCWSTR text) override;
    void GetCallerText(bool number, LPWSTR text, int length) const override;
    void RequestRedraw() override;
    int GetView() const override;
    bool IsSendingResult() const override;
    bool IsRecognitionRunning() const override;
    void CancelRecognition() override;
    void SetVideoCall() override;
    void StopDrawing() override;
    void SetSleepFlag() override;
    void PostOtherAppActive() override;
    void EndApplication() override;
};
