#pragma once

#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/media/base/GraphInterfaces.h"
#include "platform/sync/Event.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace fz::media {

// The filter graph (FilterGraph.h describes its behaviour). Application calls are serialised
// by m_lock; filters' events arrive on any thread and take only m_eventMutex.
class CFilterGraph final : public com::ComObject<IGraphBuilder, IMediaControl, IMediaSeeking,
                                                 IMediaEvent, IVideoWindow, IMediaEventSink> {
public:
    CFilterGraph();

    // IFilterGraph
    HRESULT AddFilter(IBaseFilter* filter, const char* name) override;
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT EnumFilters(IEnumFilters** filters) override;
    HRESULT FindFilterByName(const char* name, IBaseFilter** filter) override;
    HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) override;
    HRESULT Reconnect(IPin* pin) override;
    HRESULT Disconnect(IPin* pin) override;
    HRESULT SetDefaultSyncSource() override;
    // IGraphBuilder
    HRESULT Connect(IPin* output, IPin* input) override;
    HRESULT Render(IPin* output) override;
    HRESULT RenderFile(const char* file, const char* playList) override;
    HRESULT AddSourceFilter(const char* file, const char* filterName,
                            IBaseFilter** filter) override;
    HRESULT SetLogFile(std::intptr_t file) override;
    HRESULT Abort() override;
    HRESULT ShouldOperationContinue() override;
    // IMediaControl
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(long timeoutMs, OAFilterState* state) override;
    HRESULT RenderFile(const char* file) override;
    HRESULT StopWhenReady() override;
    // IMediaSeeking
    HRESULT GetCapabilities(std::uint32_t* capabilities) override;
    HRESULT CheckCapabilities(std::uint32_t* capabilities) override;
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT QueryPreferredFormat(GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT IsUsingTimeFormat(const GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(std::int64_t* duration) override;
    HRESULT GetStopPosition(std::int64_t* stop) override;
    HRESULT GetCurrentPosition(std::int64_t* current) override;
    HRESULT ConvertTimeFormat(std::int64_t* target, const GUID* targetFormat, std::int64_t source,
                              const GUID* sourceFormat) override;
    HRESULT SetPositions(std::int64_t* current, std::uint32_t currentFlags, std::int64_t* stop,
                         std::uint32_t stopFlags) override;
    HRESULT GetPositions(std::int64_t* current, std::int64_t* stop) override;
    HRESULT GetAvailable(std::int64_t* earliest, std::int64_t* latest) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;
    HRESULT GetPreroll(std::int64_t* preroll) override;
    // IMediaEvent
    HRESULT GetEventHandle(OAEVENT* event) override;
    HRESULT GetEvent(long* code, std::intptr_t* param1, std::intptr_t* param2,
                     long timeoutMs) override;
    HRESULT WaitForCompletion(long timeoutMs, long* code) override;
    HRESULT CancelDefaultHandling(long code) override;
    HRESULT RestoreDefaultHandling(long code) override;
    HRESULT FreeEventParams(long code, std::intptr_t param1, std::intptr_t param2) override;
    // IVideoWindow
    HRESULT put_Caption(const char* caption) override;
    HRESULT put_WindowStyle(long style) override;
    HRESULT get_WindowStyle(long* style) override;
    HRESULT put_AutoShow(long autoShow) override;
    HRESULT put_Visible(long visible) override;
    HRESULT get_Visible(long* visible) override;
    HRESULT put_Left(long left) override;
    HRESULT get_Left(long* left) override;
    HRESULT put_Width(long width) override;
    HRESULT get_Width(long* width) override;
    HRESULT put_Top(long top) override;
    HRESULT get_Top(long* top) override;
    HRESULT put_Height(long height) override;
    HRESULT get_Height(long* height) override;
    HRESULT put_Owner(OAHWND owner) override;
    HRESULT get_Owner(OAHWND* owner) override;
    HRESULT SetWindowPosition(long left, long top, long width, long height) override;
    HRESULT GetWindowPosition(long* left, long* top, long* width, long* height) override;
    // IMediaEventSink
    HRESULT Notify(long code, std::intptr_t param1, std::intptr_t param2) override;

protected:
    ~CFilterGraph() override;

private:
    struct Member {
        com::ComPtr<IBaseFilter> filter;
        std::string name;
    };
    struct QueuedEvent {
        long code;
        std::intptr_t param1;
        std::intptr_t param2;
    };

    // Members (FilterGraphBuilder.cpp)
    std::vector<Member>::iterator FindMember(IUnknown* filter);
    bool Contains(IPin* pin);
    std::string UniqueName(const char* name, bool* renamed) const;
    HRESULT ConnectToRenderer(IPin* output, IBaseFilter* renderer);

    // State (FilterGraphControl.cpp)
    std::vector<com::ComPtr<IBaseFilter>> DownstreamFirst();
    void ChooseClock();
    HRESULT PauseFilters();
    HRESULT RunFilters();
    void StopFilters();
    REFERENCE_TIME StreamTimeNow();

    // Seeking and positions (FilterGraphSeeking.cpp)
    std::vector<com::ComPtr<IMediaSeeking>> SeekingFilters();
    HRESULT DurationOf(std::int64_t* duration);
    REFERENCE_TIME ReceivedPosition(bool* known);
    bool Completed();

    // Events (FilterGraphEvents.cpp)
    void ResetCompletion(int expectedRenderers);
    void QueueLocked(long code, std::intptr_t param1, std::intptr_t param2);
    int ConnectedRendererCount();

    // Video window (FilterGraphVideoWindow.cpp)
    HRESULT WithVideoWindow(const std::function<HRESULT(IVideoWindow*)>& call);

    std::recursive_mutex m_lock; // application calls
    std::vector<Member> m_members;
    FILTER_STATE m_state = State_Stopped;
    com::ComPtr<IReferenceClock> m_clock; // null: the graph has no clock
    REFERENCE_TIME m_startTime = 0;       // clock time of stream time 0 while running
    REFERENCE_TIME m_position = 0;        // stream time while paused or stopped

    std::mutex m_eventMutex; // the fields below
    std::condition_variable m_eventArrived;
    std::deque<QueuedEvent> m_events;
    sync::Event m_eventHandle{sync::EventReset::Manual};
    long m_completion = 0;
    int m_expectedRenderers = 0;
    std::set<std::intptr_t> m_completedRenderers;
    int m_anonymousCompletions = 0;
    bool m_completeHandledByGraph = true;
};

} // namespace fz::media
