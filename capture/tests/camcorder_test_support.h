// A camcorder graph on the pattern camera and the tone microphone, driven
// through the capture graph control on the virtual clock.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "capture_fixture.h"
#include "dshow_control.h"

namespace camcorder_test {

// Names of the filters in a graph, in the graph's order.
std::vector<std::wstring> FilterNames(IGraphBuilder* graph);

class CamcorderFixture : public CaptureFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // The graph built in camcorder mode and running; its first reports taken.
    CDShowControl* OpenCamcorder(DWORD resolution = RESOLUTION_176_144);
    void CloseCamcorder();
    // Moves the clock on from deadline to deadline, each step once the
    // camera's and the microphone's threads wait again (real time only
    // bounds that wait).
    static void Advance(std::uint64_t ms);
    // Runs a call that waits on the platform clock (a sound cue, a pause),
    // moving the clock to each of its deadlines until it returns.
    static void WhileClockRuns(const std::function<void()>& call);
    // The graph's reports handled, then the commands posted since the last call.
    std::vector<DWORD> Events();
    static IGraphBuilder* Graph() { return CDShowControl::GetInstance()->GetGraph(); }
    // Names of the filters in the camera graph.
    static std::vector<std::wstring> Filters() { return FilterNames(Graph()); }
    static std::filesystem::path HostPath(const std::wstring& devicePath);
};

}  // namespace camcorder_test
