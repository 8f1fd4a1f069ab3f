#pragma once

#include "platform/media/base/GraphInterfaces.h"

namespace fz::media {

// Creates the filter graph (CLSID_FilterGraph; not aggregatable). The graph answers
// IGraphBuilder (and IFilterGraph), IMediaControl, IMediaSeeking, IMediaEvent, IVideoWindow
// and IMediaEventSink (for its filters). All application calls arrive on one thread at a
// time (the application's); filters may notify from any thread.
//
// The graph holds a reference on every filter added; releasing the graph stops it,
// disconnects every pin and releases the filters.
//
// State changes go to the filters downstream first (renderers before sources), so a Stop
// finds no filter blocked on a stopped one. Run from Stopped pauses first.
//
// The clock, chosen at the first Pause or Run from Stopped: a filter that answers
// IReferenceClock (the sound renderer) gives it; else, when any renderer paces by a clock
// (IRenderedStream::UsesClock), the system clock; else the graph has none (the fast mode).
// Stream time = clock time - the start time of Run; Pause freezes it, Run continues it.
//
// IMediaSeeking goes to every filter in the graph that answers it (the sources):
// capabilities are what all of them have, the duration is the longest. A graph without such
// a filter has no capabilities (GetCapabilities gives 0 and S_OK; the duration is unknown,
// E_NOTIMPL). SetPositions on a running graph pauses it, seeks (the sources flush and start a
// new segment at the position), and runs again with stream time = the position.
// GetCurrentPosition: with a clock, the stream time (limited to the duration); without one,
// the position up to which every renderer has received its stream (the slowest of them;
// renderers that have reached the end do not hold it back; once all have, the duration or
// the furthest position).
//
// IMediaEvent: EC_COMPLETE once every connected renderer has sent EC_COMPLETE since the last
// Stop, Pause from Stopped or seek; EC_ERRORABORT (and other events of filters) at once.
// WaitForCompletion answers EC_COMPLETE, EC_ERRORABORT or EC_USERABORT, or E_ABORT after the
// time.
//
// IVideoWindow calls go to the first filter in the graph that answers IVideoWindow
// (E_NOINTERFACE when none does).
com::HRESULT CreateFilterGraph(com::IUnknown* outer, const com::IID& iid, void** object);

} // namespace fz::media
