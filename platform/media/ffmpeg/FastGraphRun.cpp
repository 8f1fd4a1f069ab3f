#include "platform/media/ffmpeg/FastGraphRun.h"

#include "platform/com/ComPtr.h"
#include "platform/media/base/GraphInterfaces.h"
#include "platform/media/graph/FilterGraph.h"
#include "platform/media/graph/RendererClasses.h"

namespace fz::media::ffmpeg {

using com::ComPtr;

bool FastRunResult::Completed() const {
    return eventCode == EC_COMPLETE;
}

FastRunResult RunThroughNullRenderers(const std::string& path, long timeoutMs) {
    FastRunResult result;
    ComPtr<IGraphBuilder> graph;
    if (com::Failed(CreateFilterGraph(nullptr, IGraphBuilder::kIid, graph.PutVoid()))) {
        result.error = "cannot create the graph";
        return result;
    }
    ComPtr<IBaseFilter> sinks[2];
    for (ComPtr<IBaseFilter>& sink : sinks) {
        if (com::Failed(CreateNullRenderer(nullptr, IBaseFilter::kIid, sink.PutVoid())) ||
            com::Failed(graph->AddFilter(sink.Get(), nullptr))) {
            result.error = "cannot add a null renderer";
            return result;
        }
    }
    result.renderResult = graph->RenderFile(path.c_str(), nullptr);
    if (com::Failed(result.renderResult)) {
        result.error = "RenderFile failed";
        return result;
    }
    for (ComPtr<IBaseFilter>& sink : sinks) {
        ComPtr<IPin> input;
        ComPtr<IPin> peer;
        if (sink->FindPin("Input", input.ReleaseAndGetAddressOf()) == com::S_OK &&
            input->ConnectedTo(peer.ReleaseAndGetAddressOf()) == com::S_OK)
            ++result.connectedPins;
    }
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    if (graph.As(&control) != com::S_OK || graph.As(&events) != com::S_OK) {
        result.error = "the graph lacks its control interfaces";
        return result;
    }
    if (com::Failed(control->Run())) {
        result.error = "Run failed";
        control->Stop();
        return result;
    }
    long code = 0;
    if (events->WaitForCompletion(timeoutMs, &code) != com::S_OK)
        result.error = "no completion within the time";
    result.eventCode = code;
    control->Stop();
    return result;
}

} // namespace fz::media::ffmpeg
