// A recognition run on its own thread with the scripted engine, the GUI
// side a window whose queue the test pumps: it records the draws and hands
// the run's final command to the run's endings, as the main frame does.
#pragma once

#include <string>
#include <vector>

#include "fake_ocr_engine.h"
#include "main_frame.h"
#include "recognition_run.h"
#include "screens_fixture.h"

class RecognitionFixture : public ScreensFixture {
public:
    // What the frame's window saw.
    void Drawn(int percent) { drawnPercents.push_back(percent); }
    void Final(DWORD command, LPARAM target);
    void Result() { ++resultMessages; }

protected:
    void SetUp() override;
    void TearDown() override;

    // Pictures in the store's folder: a flat grey BMP, or bytes as given.
    static std::wstring WriteBmp(const std::wstring& name, int width, int height,
                                 BYTE (*grey)(int x, int y) = nullptr);
    static std::wstring WriteBytes(const std::wstring& name, const std::string& bytes);
    static bool Exists(const std::wstring& name);
    // Names the slot's picture.
    void Name(int slot, const std::wstring& name);

    // Runs the recognition on a thread of its own and pumps the window until
    // the thread has ended and its messages are handled.
    void RunAndPump(std::vector<fake_engine::Picture> script);
    // The same, the run started as the main frame starts it, its final
    // command handed to the screen it names.
    void RunScreenAndPump(std::vector<fake_engine::Picture> script);
    // The handler of the final command; the screen's tests put theirs.
    virtual void OnFinalCommand(DWORD command);

    static fake_engine::Field F(std::int32_t type, const std::string& text, RECT box = {10, 20, 110, 60})
    {
        return {type, text, box};
    }
    // A card script with that many categories filled.
    static fake_engine::Picture Card(int categories, const std::string& name = "Anna Lind");
    // Whether the neighbours' log holds that call.
    static bool Called(const std::string& call);
    // The frame and the controls deleted (the frame's store freed), the log cleared.
    static void ResetNeighbours();

    CMainFrame* frame = nullptr;
    CRecognitionRun& run = CRecognitionRun::Instance();
    HWND window = nullptr;
    HMODULE mui = nullptr;
    std::vector<DWORD> finalCommands;
    std::vector<int> drawnPercents;   // LastProgressPercent at each draw
    int resultMessages = 0;           // WM_RECOGNITION_RESULT
    bool routeToScreens = false;
    bool realEngine = false;  // the run calls the engine library, no script
};
