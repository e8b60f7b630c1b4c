// Filter graphs: media types, the filter and pin interfaces, the graph with
// its control, events and position, the capture graph builder, and the
// camera's controls. Only what the system and the stand-in's own filters call.
//
// Stream control (ICaptureGraphBuilder2::ControlStream): a pin is on from its
// start to its stop time and drops samples while off; a pin never controlled
// is on. A NULL start means now, MAXLONGLONG never; the same for the stop.
// When a start takes effect in Running the pin posts
// EC_STREAM_CONTROL_STARTED (pin, start cookie) kStreamStartedReports times,
// and again on every later transition to Running while on. When a stop takes
// effect the pin turns off, sends end of stream downstream and posts
// EC_STREAM_CONTROL_STOPPED (pin, stop cookie) once per request, even when it
// was off already. A stop at or before the start turns the pin off at once:
// one STOPPED, no STARTED. ControlStream takes the output pins of the given
// category and major type (NULL: any), connected or not, on the given filter
// or, for NULL, on every filter of the graph; no such pin gives E_FAIL.
//
// The graph: Stop reaches renderers before sources; when it returns no
// streaming thread is inside a filter's callback, and it holds no lock that
// a callback takes. RemoveFilter stops the filter, disconnects both sides of
// its pins and takes it out of the graph; a filter is in one graph at a time.
// The graph's clock is the platform clock (virtual in tests).
//
// Playback: AddSourceFilter makes a file source (FFmpeg reads the file by
// content); RenderFile connects the file's source (the one in the graph,
// else a new one) to the first free video renderer and to a free audio
// renderer. Renderers report their end of stream; in a graph with a file
// source the graph queues one EC_COMPLETE (S_OK, 0) once every connected
// renderer has had it. SetPositions moves a stopped or paused graph's
// sources to the position (the frame at or before it comes first); Stop
// rewinds them to the start.
#pragma once

#include "plat/com.h"
#include "plat/gdi.h"
#include "plat/types.h"

using REFERENCE_TIME = LONGLONG;
inline constexpr LONGLONG MAXLONGLONG = 0x7FFFFFFFFFFFFFFFLL;
// 100-ns units in a millisecond.
inline constexpr REFERENCE_TIME kUnitsPerMs = 10000;

// Result codes of the graph.
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = static_cast<HRESULT>(0x80040204u);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = static_cast<HRESULT>(0x80040207u);
inline constexpr HRESULT VFW_E_NOT_STOPPED = static_cast<HRESULT>(0x80040224u);
inline constexpr HRESULT VFW_E_NOT_RUNNING = static_cast<HRESULT>(0x80040226u);
inline constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227u);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = static_cast<HRESULT>(0x8004022Au);
inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = static_cast<HRESULT>(0x80040200u);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = static_cast<HRESULT>(0x8004025Fu);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = static_cast<HRESULT>(0x80040218u);
inline constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x80040265u);

// Event codes.
inline constexpr long EC_COMPLETE = 0x01;
inline constexpr long EC_ERRORABORT = 0x03;
inline constexpr long EC_PALETTE_CHANGED = 0x09;
inline constexpr long EC_VIDEO_SIZE_CHANGED = 0x0A;
inline constexpr long EC_STREAM_CONTROL_STOPPED = 0x1A;
inline constexpr long EC_STREAM_CONTROL_STARTED = 0x1B;
// How many EC_STREAM_CONTROL_STARTED one pin posts when its start takes effect.
inline constexpr int kStreamStartedReports = 2;

// GUIDs of media types, formats, pin categories and classes.
inline constexpr GUID MEDIATYPE_Video{0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID MEDIATYPE_Audio{0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID MEDIASUBTYPE_YV12{0x32315659, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID MEDIASUBTYPE_IJPG{0x47504A49, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID MEDIASUBTYPE_CLJR{0x524A4C43, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID FORMAT_VideoInfo{0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
inline constexpr GUID PIN_CATEGORY_CAPTURE{0xFB6C4281, 0x0353, 0x11D1, {0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};
inline constexpr GUID PIN_CATEGORY_PREVIEW{0xFB6C4282, 0x0353, 0x11D1, {0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};
inline constexpr GUID PIN_CATEGORY_STILL{0xFB6C428A, 0x0353, 0x11D1, {0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};
inline constexpr CLSID CLSID_FilterGraph{0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr CLSID CLSID_CaptureGraphBuilder{
    0xBF87B6E1, 0x8C27, 0x11D0, {0xB3, 0xF0, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5}};
inline constexpr CLSID CLSID_AudioRender{0xE30629D1, 0x27E5, 0x11CE, {0x87, 0x5D, 0x00, 0x60, 0x8C, 0xB7, 0x80, 0x66}};
// The platform's video capture filter.
inline constexpr CLSID CLSID_VideoCapture{0xF80B6E95, 0xB55A, 0x4619, {0xAE, 0xC4, 0xA1, 0x0E, 0xAE, 0xDE, 0x98, 0x0C}};

constexpr DWORD MAKEFOURCC(char a, char b, char c, char d)
{
    return static_cast<DWORD>(static_cast<BYTE>(a)) | (static_cast<DWORD>(static_cast<BYTE>(b)) << 8) |
           (static_cast<DWORD>(static_cast<BYTE>(c)) << 16) | (static_cast<DWORD>(static_cast<BYTE>(d)) << 24);
}

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;
};

struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
};

// Media type memory: the format block is task memory.
void FreeMediaType(AM_MEDIA_TYPE& type);
void DeleteMediaType(AM_MEDIA_TYPE* type);
HRESULT CopyMediaType(AM_MEDIA_TYPE* dest, const AM_MEDIA_TYPE* src);
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* src);

enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
using OAFilterState = long;
using OAHWND = LONG_PTR;
enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

struct IBaseFilter;
struct IFilterGraph;

struct PIN_INFO {
    IBaseFilter* pFilter;  // with a reference the caller releases
    PIN_DIRECTION dir;
    WCHAR achName[128];
};
struct FILTER_INFO {
    WCHAR achName[128];
    IFilterGraph* pGraph;  // with a reference the caller releases
};

struct IMediaSample : IUnknown {
    virtual HRESULT GetPointer(BYTE** buffer) = 0;
    virtual long GetSize() = 0;
    virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0;
    virtual HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0;
    virtual long GetActualDataLength() = 0;
    virtual HRESULT SetActualDataLength(long length) = 0;
    // S_FALSE and NULL when the type did not change with this sample.
    virtual HRESULT GetMediaType(AM_MEDIA_TYPE** type) = 0;
    virtual HRESULT SetMediaType(AM_MEDIA_TYPE* type) = 0;
};

struct IPin : IUnknown {
    virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Disconnect() = 0;
    virtual HRESULT ConnectedTo(IPin** pin) = 0;
    virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT QueryDirection(PIN_DIRECTION* dir) = 0;
    virtual HRESULT EndOfStream() = 0;
};

struct IEnumPins : IUnknown {
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT Reset() = 0;
};

struct IEnumFilters : IUnknown {
    virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    virtual HRESULT Reset() = 0;
};

struct IMediaFilter : IPersist {
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    virtual HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) = 0;
};

struct IBaseFilter : IMediaFilter {
    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
    virtual HRESULT FindPin(LPCWSTR id, IPin** pin) = 0;
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) = 0;
};

struct IMemInputPin : IUnknown {
    virtual HRESULT Receive(IMediaSample* sample) = 0;
};

struct IFilterGraph : IUnknown {
    virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
    virtual HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
    virtual HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Disconnect(IPin* pin) = 0;
};
struct IGraphBuilder : IFilterGraph {
    virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;
    // A new source of the device file, added under the name (with a
    // reference for the caller). VFW_E_UNSUPPORTED_STREAM when no video
    // stream of it decodes.
    virtual HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR name, IBaseFilter** filter) = 0;
};

struct IMediaControl : IUnknown {
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(long timeoutMs, OAFilterState* state) = 0;
};

struct IMediaEvent : IUnknown {
    // E_ABORT when no event came within the time-out (platform clock).
    virtual HRESULT GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeoutMs) = 0;
    virtual HRESULT FreeEventParams(long code, LONG_PTR param1, LONG_PTR param2) = 0;
};
struct IMediaEventEx : IMediaEvent {
    // Each event queued from now on posts `message` (wParam 0, lParam
    // `instance`) to the window; a NULL window stops the posting.
    virtual HRESULT SetNotifyWindow(OAHWND window, long message, LONG_PTR instance) = 0;
};
// What filters use to raise events in their graph.
struct IMediaEventSink : IUnknown {
    virtual HRESULT Notify(long code, LONG_PTR param1, LONG_PTR param2) = 0;
};

inline constexpr DWORD AM_SEEKING_NoPositioning = 0;
inline constexpr DWORD AM_SEEKING_AbsolutePositioning = 1;
struct IMediaSeeking : IUnknown {
    // Stream time in 100-ns units: 0 when stopped.
    virtual HRESULT GetCurrentPosition(LONGLONG* position) = 0;
    virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) = 0;
    // The longest source file's length; E_NOTIMPL without one.
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
};
struct IMediaPosition : IUnknown {
    virtual HRESULT put_CurrentPosition(double seconds) = 0;
};

struct ICaptureGraphBuilder2 : IUnknown {
    virtual HRESULT SetFiltergraph(IGraphBuilder* graph) = 0;
    // The interface on the filter's output pin of that category and major
    // type, else on the filter itself.
    virtual HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid,
                                  void** out) = 0;
    virtual HRESULT ControlStream(const GUID* category, const GUID* type, IBaseFilter* filter, REFERENCE_TIME* start,
                                  REFERENCE_TIME* stop, WORD startCookie, WORD stopCookie) = 0;
};

struct IAMStreamConfig : IUnknown {
    virtual HRESULT SetFormat(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT GetFormat(AM_MEDIA_TYPE** type) = 0;
    virtual HRESULT GetNumberOfCapabilities(int* count, int* size) = 0;
    virtual HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) = 0;
};

inline constexpr long VideoControlFlag_Trigger = 8;
struct IAMVideoControl : IUnknown {
    virtual HRESULT SetMode(IPin* pin, long mode) = 0;
};

inline constexpr long CameraControl_Flags_Auto = 1;
inline constexpr long CameraControl_Flags_Manual = 2;
struct IAMCameraControl : IUnknown {
    virtual HRESULT Set(long property, long value, long flags) = 0;
    virtual HRESULT Get(long property, long* value, long* flags) = 0;
};
struct IAMVideoProcAmp : IUnknown {
    virtual HRESULT Set(long property, long value, long flags) = 0;
    virtual HRESULT Get(long property, long* value, long* flags) = 0;
};

inline constexpr IID IID_IMediaSample{0x56A8689A, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IPin{0x56A86891, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IEnumPins{0x56A86892, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IEnumFilters{0x56A86893, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaFilter{0x56A86899, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IBaseFilter{0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMemInputPin{0x56A8689D, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IFilterGraph{0x56A8689F, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IGraphBuilder{0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaEventSink{0x56A868A2, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaControl{0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaEvent{0x56A868B6, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaEventEx{0x56A868C0, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaPosition{0x56A868B2, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaSeeking{0x36B73880, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
inline constexpr IID IID_ICaptureGraphBuilder2{
    0x93E5A4E0, 0x2D50, 0x11D2, {0xAB, 0xFA, 0x00, 0xA0, 0xC9, 0xC6, 0xE3, 0x8D}};
inline constexpr IID IID_IAMStreamConfig{0xC6E13340, 0x30AC, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
inline constexpr IID IID_IAMVideoControl{0x6A2E0670, 0x28E4, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
inline constexpr IID IID_IAMCameraControl{0xC6E13370, 0x30AC, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
inline constexpr IID IID_IAMVideoProcAmp{0xC6E13360, 0x30AC, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};

#define LUM_INTERFACE_ID(type, iid)                        \
    template <>                                            \
    struct InterfaceId<type> {                             \
        static constexpr const IID& value = iid;           \
    }
LUM_INTERFACE_ID(IMediaSample, IID_IMediaSample);
LUM_INTERFACE_ID(IPin, IID_IPin);
LUM_INTERFACE_ID(IBaseFilter, IID_IBaseFilter);
LUM_INTERFACE_ID(IMemInputPin, IID_IMemInputPin);
LUM_INTERFACE_ID(IFilterGraph, IID_IFilterGraph);
LUM_INTERFACE_ID(IGraphBuilder, IID_IGraphBuilder);
LUM_INTERFACE_ID(IMediaEventSink, IID_IMediaEventSink);
LUM_INTERFACE_ID(IMediaControl, IID_IMediaControl);
LUM_INTERFACE_ID(IMediaEvent, IID_IMediaEvent);
LUM_INTERFACE_ID(IMediaEventEx, IID_IMediaEventEx);
LUM_INTERFACE_ID(IMediaPosition, IID_IMediaPosition);
LUM_INTERFACE_ID(IMediaSeeking, IID_IMediaSeeking);
LUM_INTERFACE_ID(ICaptureGraphBuilder2, IID_ICaptureGraphBuilder2);
LUM_INTERFACE_ID(IAMStreamConfig, IID_IAMStreamConfig);
LUM_INTERFACE_ID(IAMVideoControl, IID_IAMVideoControl);
LUM_INTERFACE_ID(IAMCameraControl, IID_IAMCameraControl);
LUM_INTERFACE_ID(IAMVideoProcAmp, IID_IAMVideoProcAmp);
#undef LUM_INTERFACE_ID

// The device manager's search for drivers.
enum DeviceSearchType {
    DeviceSearchByLegacyName = 0,
    DeviceSearchByDeviceName = 1,
    DeviceSearchByBusName = 2,
    DeviceSearchByGuid = 3,
    DeviceSearchByParent = 4,
};
struct DEVMGR_DEVICE_INFORMATION {
    DWORD dwSize;
    HANDLE hDevice;
    HANDLE hParentDevice;
    WCHAR szLegacyName[6];
    WCHAR szDeviceKey[MAX_PATH];
    WCHAR szDeviceName[MAX_PATH];
    WCHAR szBusName[MAX_PATH];
};
using PDEVMGR_DEVICE_INFORMATION = DEVMGR_DEVICE_INFORMATION*;
// The camera driver class.
inline constexpr GUID GUID_CameraDeviceClass{0xCB998A05, 0x122C, 0x4166, {0x84, 0x6A, 0x93, 0x3E, 0x4D, 0x7E, 0x3C, 0x86}};
// By GUID (a GUID*) or legacy name with '*' ("CAM*"); closed with FindClose.
// INVALID_HANDLE_VALUE with ERROR_NO_MORE_ITEMS when nothing matches.
HANDLE FindFirstDevice(DeviceSearchType type, LPCVOID param, PDEVMGR_DEVICE_INFORMATION info);
