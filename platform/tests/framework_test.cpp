#include <gtest/gtest.h>

#include "wm_helpers.h"

using namespace wmtest;

namespace {

class TestFrame : public CFrameWindowImpl, public CMessageFilter, public CIdleHandler {
public:
    BEGIN_MSG_MAP(TestFrame)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_USER, OnUser)
        MESSAGE_RANGE_HANDLER(WM_APP, WM_APP + 9, OnApp)
        COMMAND_ID_HANDLER(IDOK, OnOk)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&)
    {
        created = true;
        return 0;
    }
    LRESULT OnUser(UINT, WPARAM wParam, LPARAM, BOOL& handled)
    {
        // Odd values go on to the default procedure.
        handled = (wParam % 2) == 0;
        return 100 + static_cast<LRESULT>(wParam);
    }
    LRESULT OnApp(UINT message, WPARAM, LPARAM, BOOL&)
    {
        apps.push_back(message);
        return 0;
    }
    LRESULT OnOk(WORD, WORD id, HWND, BOOL&)
    {
        commands.push_back(id);
        return 0;
    }
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
    {
        PostQuitMessage(12);
        return 0;
    }
    BOOL PreTranslateMessage(MSG* msg) override { return msg->message == WM_APP + 5; }
    BOOL OnIdle() override
    {
        // Idle once the queue is empty: time to close.
        if (++idleCalls == 1)
            PostMessage(WM_CLOSE);
        return FALSE;
    }
    void OnFinalMessage(HWND) override { finalSeen = true; }

    bool created = false;
    bool finalSeen = false;
    int idleCalls = 0;
    std::vector<UINT> apps;
    std::vector<WORD> commands;
};

}  // namespace

TEST(Framework, MessageMapLoopFiltersIdleAndModule)
{
    CAppModule module;
    module.Init(nullptr);
    TestFrame frame;
    ASSERT_TRUE(frame.CreateEx(nullptr, nullptr, WS_POPUP | WS_VISIBLE, 0, L"LUMOCR"));
    EXPECT_TRUE(frame.created);
    EXPECT_EQ(FindWindowW(nullptr, L"LUMOCR"), frame.m_hWnd);
    EXPECT_EQ(frame.SendMessage(WM_USER, 2), 102);
    EXPECT_EQ(frame.SendMessage(WM_USER, 3), 0) << "left to the default procedure";

    CMessageLoop loop;
    EXPECT_TRUE(module.AddMessageLoop(&loop));
    EXPECT_FALSE(module.AddMessageLoop(&loop)) << "one loop per thread";
    EXPECT_EQ(module.GetMessageLoop(), &loop);
    loop.AddMessageFilter(&frame);
    loop.AddIdleHandler(&frame);
    frame.PostMessage(WM_APP + 1);
    frame.PostMessage(WM_APP + 5);  // taken by the filter
    frame.PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, 0));
    EXPECT_EQ(loop.Run(), 12);
    EXPECT_EQ(frame.apps, (std::vector<UINT>{WM_APP + 1}));
    EXPECT_EQ(frame.commands, (std::vector<WORD>{IDOK}));
    EXPECT_EQ(frame.idleCalls, 1);
    EXPECT_TRUE(frame.finalSeen);
    EXPECT_EQ(frame.m_hWnd, nullptr);
    EXPECT_TRUE(module.RemoveMessageLoop());
    EXPECT_EQ(module.GetMessageLoop(), nullptr);
    module.Term();
}

namespace {

class Counter : public CWindowImpl {
public:
    BEGIN_MSG_MAP(Counter)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
    END_MSG_MAP()
    LRESULT OnSetText(UINT, WPARAM, LPARAM, BOOL& handled)
    {
        ++count;
        handled = FALSE;  // the original procedure still keeps the text
        return 0;
    }
    int count = 0;
};

class TestDialog : public CDialogImpl {
public:
    TestDialog() : CDialogImpl(700) {}
    BEGIN_MSG_MAP(TestDialog)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_USER, OnUser)
    END_MSG_MAP()
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM lParam, BOOL&)
    {
        init = lParam;
        PostMessage(WM_USER, 3);
        return TRUE;
    }
    LRESULT OnUser(UINT, WPARAM wParam, LPARAM, BOOL&)
    {
        EndDialog(static_cast<INT_PTR>(wParam) + init);
        return 55;
    }
    LPARAM init = 0;
};

}  // namespace

TEST(Framework, SubclassingChainsToTheOriginalProcedure)
{
    HWND w = TopWindow(L"before");
    {
        Counter counter;
        ASSERT_TRUE(counter.SubclassWindow(w));
        SetWindowTextW(w, L"after");
        EXPECT_EQ(counter.count, 1);
        WCHAR text[16];
        GetWindowTextW(w, text, 16);
        EXPECT_STREQ(text, L"after");
        EXPECT_EQ(counter.UnsubclassWindow(), w);
        SetWindowTextW(w, L"again");
        EXPECT_EQ(counter.count, 1);
    }
    DestroyWindow(w);
    Drain();
}

TEST(Framework, DialogClassRunsModally)
{
    plat::RegisterDialogTemplate({700, WS_POPUP, 0, 0, 0, 240, 400, L"Framework dialog", {}});
    TestDialog dialog;
    EXPECT_EQ(dialog.DoModal(nullptr, 40), 43);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    Drain();
}
