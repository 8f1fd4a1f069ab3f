#pragma once

#include "platform/media/base/MediaInterfaces.h"

#include <cstdint>

// The graph's interfaces and the classes of the platform's media server (libfzmedia.so).
// The application calls them on its own thread; the graph is created with CoCreateInstance.
namespace fz::media {

inline constexpr CLSID CLSID_FilterGraph = MakeGuid("{E436EBB3-524F-11CE-9F53-0020AF0BA770}");
inline constexpr CLSID CLSID_SystemClock = MakeGuid("{E436EBB1-524F-11CE-9F53-0020AF0BA770}");
inline constexpr CLSID CLSID_VideoRenderer = MakeGuid("{70E102B0-5556-11CE-97C0-00AA0055595A}");
inline constexpr CLSID CLSID_DSoundRender = MakeGuid("{79376820-07D0-11CF-A24D-0020AFD79767}");
// The sink of fast conversions: takes any type, never waits, reports the end of its stream.
inline constexpr CLSID CLSID_NullRenderer = MakeGuid("{36A5F770-FE4C-11CE-A8ED-00AA002FEAB5}");

inline constexpr GUID TIME_FORMAT_NONE = com::GUID_NULL;
inline constexpr GUID TIME_FORMAT_MEDIA_TIME = MakeGuid("{7B785574-8C82-11CF-BC0C-00AA00AC74F6}");

struct IFilterGraph : IUnknown {
    static constexpr IID kIid = MakeGuid("{56A8689F-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IUnknown;

    // Adds with a name (null: one is made up); a name in use gets a number appended and the
    // result VFW_S_DUPLICATE_NAME. The graph holds a reference. Only while stopped
    // (VFW_E_NOT_STOPPED).
    virtual HRESULT AddFilter(IBaseFilter* filter, const char* name) = 0;
    // Disconnects its pins and releases it (VFW_E_NOT_FOUND when not in the graph).
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
    virtual HRESULT FindFilterByName(const char* name, IBaseFilter** filter) = 0;
    // Connects exactly these pins (output first), with `type` or a type they agree.
    virtual HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Reconnect(IPin* pin) = 0;
    // Disconnects this one pin (its peer keeps its side until disconnected too); S_FALSE
    // when it was not connected.
    virtual HRESULT Disconnect(IPin* pin) = 0;
    virtual HRESULT SetDefaultSyncSource() = 0;

protected:
    ~IFilterGraph() = default;
};
inline constexpr HRESULT VFW_S_DUPLICATE_NAME = detail::Code(0x0004022D);

struct IGraphBuilder : IFilterGraph {
    static constexpr IID kIid = MakeGuid("{56A868A9-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IFilterGraph;

    // Connects an output pin to an input pin (directly: the pins agree a type and an
    // allocator); VFW_E_CANNOT_CONNECT / VFW_E_NO_ACCEPTABLE_TYPES when they do not.
    virtual HRESULT Connect(IPin* output, IPin* input) = 0;
    // Connects an output pin to a renderer already in the graph that takes it, else to a new
    // video renderer (video) or sound renderer (audio).
    virtual HRESULT Render(IPin* output) = 0;
    // Builds the file's source (CreateFileSourceFilter) and renders each of its output pins.
    // Fails when the file cannot be opened or has no decodable stream; a stream that cannot
    // be rendered stays unconnected (VFW_S_PARTIAL_RENDER).
    virtual HRESULT RenderFile(const char* file, const char* playList) = 0;
    virtual HRESULT AddSourceFilter(const char* file, const char* filterName,
                                    IBaseFilter** filter) = 0;
    virtual HRESULT SetLogFile(std::intptr_t file) = 0;
    virtual HRESULT Abort() = 0;
    virtual HRESULT ShouldOperationContinue() = 0;

protected:
    ~IGraphBuilder() = default;
};

struct IMediaControl : IUnknown {
    static constexpr IID kIid = MakeGuid("{56A868B1-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IUnknown;

    // Pauses first when stopped; stream time continues where it stood.
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    // Every filter stops; every thread waiting inside the graph is released.
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(long timeoutMs, OAFilterState* state) = 0;
    virtual HRESULT RenderFile(const char* file) = 0;
    virtual HRESULT StopWhenReady() = 0;

protected:
    ~IMediaControl() = default;
};

// Capabilities and positioning flags of IMediaSeeking.
inline constexpr std::uint32_t AM_SEEKING_CanSeekAbsolute = 0x1;
inline constexpr std::uint32_t AM_SEEKING_CanSeekForwards = 0x2;
inline constexpr std::uint32_t AM_SEEKING_CanSeekBackwards = 0x4;
inline constexpr std::uint32_t AM_SEEKING_CanGetCurrentPos = 0x8;
inline constexpr std::uint32_t AM_SEEKING_CanGetStopPos = 0x10;
inline constexpr std::uint32_t AM_SEEKING_CanGetDuration = 0x20;
inline constexpr std::uint32_t AM_SEEKING_CanPlayBackwards = 0x40;
inline constexpr std::uint32_t AM_SEEKING_CanDoSegments = 0x80;
inline constexpr std::uint32_t AM_SEEKING_Source = 0x100;

inline constexpr std::uint32_t AM_SEEKING_NoPositioning = 0x0;
inline constexpr std::uint32_t AM_SEEKING_AbsolutePositioning = 0x1;
inline constexpr std::uint32_t AM_SEEKING_RelativePositioning = 0x2;
inline constexpr std::uint32_t AM_SEEKING_IncrementalPositioning = 0x3;
inline constexpr std::uint32_t AM_SEEKING_PositioningBitsMask = 0x3;
inline constexpr std::uint32_t AM_SEEKING_SeekToKeyFrame = 0x4;
inline constexpr std::uint32_t AM_SEEKING_ReturnTime = 0x8;
inline constexpr std::uint32_t AM_SEEKING_Segment = 0x10;
inline constexpr std::uint32_t AM_SEEKING_NoFlush = 0x20;

// Positions in 100-ns units (TIME_FORMAT_MEDIA_TIME, the only format). A source filter that
// can seek answers it on the filter object; the graph answers it for the whole graph.
struct IMediaSeeking : IUnknown {
    static constexpr IID kIid = MakeGuid("{36B73880-C2C8-11CF-8B46-00805F6CEF60}");
    using BaseInterface = IUnknown;

    virtual HRESULT GetCapabilities(std::uint32_t* capabilities) = 0;
    // S_OK when all asked capabilities are there, S_FALSE when some, E_FAIL when none;
    // `capabilities` keeps those that are there.
    virtual HRESULT CheckCapabilities(std::uint32_t* capabilities) = 0;
    virtual HRESULT IsFormatSupported(const GUID* format) = 0;
    virtual HRESULT QueryPreferredFormat(GUID* format) = 0;
    virtual HRESULT GetTimeFormat(GUID* format) = 0;
    virtual HRESULT IsUsingTimeFormat(const GUID* format) = 0;
    virtual HRESULT SetTimeFormat(const GUID* format) = 0;
    virtual HRESULT GetDuration(std::int64_t* duration) = 0;
    virtual HRESULT GetStopPosition(std::int64_t* stop) = 0;
    virtual HRESULT GetCurrentPosition(std::int64_t* current) = 0;
    virtual HRESULT ConvertTimeFormat(std::int64_t* target, const GUID* targetFormat,
                                      std::int64_t source, const GUID* sourceFormat) = 0;
    // Either pointer may be null with AM_SEEKING_NoPositioning.
    virtual HRESULT SetPositions(std::int64_t* current, std::uint32_t currentFlags,
                                 std::int64_t* stop, std::uint32_t stopFlags) = 0;
    virtual HRESULT GetPositions(std::int64_t* current, std::int64_t* stop) = 0;
    virtual HRESULT GetAvailable(std::int64_t* earliest, std::int64_t* latest) = 0;
    virtual HRESULT SetRate(double rate) = 0;
    virtual HRESULT GetRate(double* rate) = 0;
    virtual HRESULT GetPreroll(std::int64_t* preroll) = 0;

protected:
    ~IMediaSeeking() = default;
};

// The graph's events for the application.
struct IMediaEvent : IUnknown {
    static constexpr IID kIid = MakeGuid("{56A868B6-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IUnknown;

    // The address of a manual-reset sync::Event that is set while events are queued.
    virtual HRESULT GetEventHandle(OAEVENT* event) = 0;
    // The next queued event; E_ABORT when none arrives within the time.
    virtual HRESULT GetEvent(long* code, std::intptr_t* param1, std::intptr_t* param2,
                             long timeoutMs) = 0;
    // Waits until the graph completes (EC_COMPLETE: every renderer has seen the end of its
    // stream) or streaming fails (EC_ERRORABORT, EC_USERABORT): S_OK with that code.
    // E_ABORT with code 0 when the time passes first. timeoutMs < 0: no limit.
    virtual HRESULT WaitForCompletion(long timeoutMs, long* code) = 0;
    virtual HRESULT CancelDefaultHandling(long code) = 0;
    virtual HRESULT RestoreDefaultHandling(long code) = 0;
    virtual HRESULT FreeEventParams(long code, std::intptr_t param1, std::intptr_t param2) = 0;

protected:
    ~IMediaEvent() = default;
};

// The video renderer's window: a child of the owner window at a rectangle in the owner's
// coordinates. The graph forwards each call to its video renderer (E_NOINTERFACE when it
// has none).
struct IVideoWindow : IUnknown {
    static constexpr IID kIid = MakeGuid("{56A868B4-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IUnknown;

    virtual HRESULT put_Caption(const char* caption) = 0;
    virtual HRESULT put_WindowStyle(long style) = 0;
    virtual HRESULT get_WindowStyle(long* style) = 0;
    virtual HRESULT put_AutoShow(long autoShow) = 0;
    virtual HRESULT put_Visible(long visible) = 0; // OATRUE / OAFALSE
    virtual HRESULT get_Visible(long* visible) = 0;
    virtual HRESULT put_Left(long left) = 0;
    virtual HRESULT get_Left(long* left) = 0;
    virtual HRESULT put_Width(long width) = 0;
    virtual HRESULT get_Width(long* width) = 0;
    virtual HRESULT put_Top(long top) = 0;
    virtual HRESULT get_Top(long* top) = 0;
    virtual HRESULT put_Height(long height) = 0;
    virtual HRESULT get_Height(long* height) = 0;
    virtual HRESULT put_Owner(OAHWND owner) = 0;
    virtual HRESULT get_Owner(OAHWND* owner) = 0;
    virtual HRESULT SetWindowPosition(long left, long top, long width, long height) = 0;
    virtual HRESULT GetWindowPosition(long* left, long* top, long* width, long* height) = 0;

protected:
    ~IVideoWindow() = default;
};

} // namespace fz::media
