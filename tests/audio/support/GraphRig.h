#pragma once

#include "platform/com/ComPtr.h"
#include "platform/media/base/GraphInterfaces.h"
#include "tests/audio/support/PushSource.h"

#include <chrono>

namespace fz::test {

using com::HRESULT;

// A graph of one scripted source and one renderer, connected, for the renderer tests.
struct GraphRig {
    com::ComPtr<media::IGraphBuilder> graph;
    com::ComPtr<media::IMediaControl> control;
    com::ComPtr<media::IMediaEvent> events;
    com::ComPtr<media::IBaseFilter> sourceFilter;
    CPushSource* source = nullptr;
    com::ComPtr<media::IBaseFilter> renderer;

    // Builds the graph; `create` makes the renderer (CreateVideoRenderer, ...). The result is
    // that of connecting the source to the renderer.
    HRESULT Build(com::HRESULT (*create)(com::IUnknown*, const com::IID&, void**),
                  const media::CMediaType& type, long bufferSize,
                  std::vector<ScriptedSample> script);
    ~GraphRig();

    media::IPin* RendererInput() const;
    // Waits for the graph's completion: the event code, or 0 on time-out.
    long WaitForCompletion(std::chrono::milliseconds limit);
};

// Seconds since `start`.
double SecondsSince(std::chrono::steady_clock::time_point start);

} // namespace fz::test
