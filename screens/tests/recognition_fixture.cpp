#include "recognition_fixture.h"

#include <cstdlib>
#include <cstring>
#include <atomic>
#include <filesystem>
#include <thread>

#include "app_messages.h"
#include "draw_event.h"
#include "layout_manager.h"
#include "neighbour_doubles.h"
#include "settings.h"
#include "single_pic_gui.h"

namespace {

RecognitionFixture* g_fixture = nullptr;
constexpr const WCHAR* kFolder = L"\\My Documents\\KVIM\\";

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    RecognitionFixture* f = g_fixture;
    switch (message) {
    case WM_DRAW_SCREEN: {
        // Read before the request is taken: a run waiting for the draw goes
        // on to its next step as soon as it is.
        const int percent = CRecognitionRun::Instance().lastProgressPercent.load();
        CDrawEvent::TakePending();
        if (f)
            f->Drawn(percent);
        return 0;
    }
    case WM_TARGET_COMMAND:
        if (f)
            f->Final(static_cast<DWORD>(wParam), lParam);
        return 0;
    case WM_RECOGNITION_RESULT:
        if (f)
            f->Result();
        return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void PutLe(std::string& s, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

void RecognitionFixture::SetUp()
{
    ScreensFixture::SetUp();
    g_fixture = this;
    ResetNeighbours();
    run.Reset();
    frame = CMainFrame::GetInstance();
    std::wcscpy(frame->m_szPictureFolder, kFolder);
    frame->m_options.bcrOcrMode = 1;
    frame->m_options.singleMultiMode = 1;
    frame->m_bLayerDrawn = 1;
    // The language texts the screens draw.
    std::filesystem::create_directories(root.path() / "Windows");
    std::filesystem::copy_file(std::filesystem::path(LUM_SOURCE_DIR) / "resources/strings/LumOCR.exe.0409.mui",
                               root.path() / "Windows" / "LumOCR.exe.0409.mui");
    mui = LoadLibraryW(L"\\Windows\\LumOCR.exe.0409.mui");
    ASSERT_NE(mui, nullptr);
    CLayoutManager::GetInstance()->SetResource(mui);
    CreateDirectoryW(L"\\My Documents", nullptr);
    CreateDirectoryW(L"\\My Documents\\KVIM", nullptr);

    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &FrameProc;
        wc.lpszClassName = L"RecognitionTestFrame";
        return RegisterClassW(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
    window = CreateWindowExW(0, L"RecognitionTestFrame", L"frame", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
    ASSERT_NE(window, nullptr);
    g_hMainWnd = window;
    CDrawEvent::Instance().SetHwnd(window);
    CDrawEvent::TakePending();
}

void RecognitionFixture::TearDown()
{
    fake_engine::Uninstall();
    SetRecognitionAlloc(nullptr);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"System\\State\\Phone", L"Status", 0);
    DestroyWindow(window);
    g_hMainWnd = nullptr;
    CDrawEvent::Instance().SetHwnd(nullptr);
    CDrawEvent::TakePending();
    g_fixture = nullptr;
    ResetNeighbours();
    CSettings::ReleaseInstance();
    CLayoutManager::ReleaseInstance();
    if (mui)
        FreeLibrary(mui);
    run.Reset();
    ScreensFixture::TearDown();
}

std::wstring RecognitionFixture::WriteBytes(const std::wstring& name, const std::string& bytes)
{
    const std::wstring path = std::wstring(kFolder) + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return name;
}

std::wstring RecognitionFixture::WriteBmp(const std::wstring& name, int width, int height, BYTE (*grey)(int, int))
{
    const int stride = (width * 3 + 3) & ~3;
    std::string bmp;
    PutLe(bmp, 0x4D42, 2);
    PutLe(bmp, 54 + stride * height, 4);
    PutLe(bmp, 0, 4);
    PutLe(bmp, 54, 4);
    PutLe(bmp, 40, 4);
    PutLe(bmp, width, 4);
    PutLe(bmp, height, 4);  // bottom-up
    PutLe(bmp, 1, 2);
    PutLe(bmp, 24, 2);
    PutLe(bmp, 0, 4);
    PutLe(bmp, stride * height, 4);
    PutLe(bmp, 2835, 4);
    PutLe(bmp, 2835, 4);
    PutLe(bmp, 0, 4);
    PutLe(bmp, 0, 4);
    for (int row = height - 1; row >= 0; --row) {
        std::string line(static_cast<std::size_t>(stride), '\0');
        for (int x = 0; x < width; ++x) {
            const BYTE v = grey ? grey(x, row) : 128;
            line[x * 3] = line[x * 3 + 1] = line[x * 3 + 2] = static_cast<char>(v);
        }
        bmp += line;
    }
    return WriteBytes(name, bmp);
}

bool RecognitionFixture::Exists(const std::wstring& name)
{
    return GetFileAttributesW((std::wstring(kFolder) + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RecognitionFixture::Name(int slot, const std::wstring& name)
{
    std::free(frame->m_slots[slot].pictureName);
    frame->m_slots[slot].pictureName = static_cast<LPWSTR>(std::calloc(name.size() + 1, sizeof(WCHAR)));
    std::wcscpy(frame->m_slots[slot].pictureName, name.c_str());
}

void RecognitionFixture::Final(DWORD command, LPARAM target)
{
    finalCommands.push_back(command);
    if (routeToScreens && target)
        reinterpret_cast<CBaseGUI*>(target)->OnCommand(command, 0);
    else
        OnFinalCommand(command);
}

void RecognitionFixture::RunScreenAndPump(std::vector<fake_engine::Picture> script)
{
    routeToScreens = true;
    RunAndPump(std::move(script));
}

void RecognitionFixture::RunAndPump(std::vector<fake_engine::Picture> script)
{
    if (!realEngine)
        fake_engine::Install(std::move(script));
    finalCommands.clear();
    std::atomic<bool> done{false};
    std::thread thread([this, &done] {
        if (routeToScreens)
            CSinglePicBaseGUI::RecognitionThread(nullptr);
        else
            run.Run(0);
        done = true;
    });
    MSG msg;
    while (!done.load()) {
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        else
            std::this_thread::yield();
    }
    thread.join();
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

void RecognitionFixture::OnFinalCommand(DWORD command)
{
    if (command == CMD_STILL_GO_RESULT)
        run.GoToResult();
    else if (command == CMD_STILL_CLEANUP)
        run.CleanUp();
}

fake_engine::Picture RecognitionFixture::Card(int categories, const std::string& name)
{
    static const std::int32_t kTypes[] = {OCR_FIELD_NAME, OCR_FIELD_MOBILE, OCR_FIELD_TELEPHONE, OCR_FIELD_COMPANY,
                                          OCR_FIELD_EMAIL, OCR_FIELD_FAX, OCR_FIELD_WEB};
    fake_engine::Picture picture;
    for (int i = 0; i < categories && i < 7; ++i)
        picture.fields.push_back(F(kTypes[i], i == 0 ? name : "field " + std::to_string(i)));
    picture.progress = {50, 100};
    return picture;
}


bool RecognitionFixture::Called(const std::string& call)
{
    for (const std::string& c : doubles::Calls())
        if (c == call)
            return true;
    return false;
}

void RecognitionFixture::ResetNeighbours()
{
    CMainFrame::DestroyInstance();
    doubles::ReleaseAll();
    doubles::Clear();
}
