#include "tests/audio/support/GraphRig.h"

#include "platform/media/graph/FilterGraph.h"

namespace fz::test {

HRESULT GraphRig::Build(com::HRESULT (*create)(com::IUnknown*, const com::IID&, void**),
                        const media::CMediaType& type, long bufferSize,
                        std::vector<ScriptedSample> script) {
    HRESULT result = media::CreateFilterGraph(nullptr, media::IGraphBuilder::kIid, graph.PutVoid());
    if (com::Failed(result))
        return result;
    graph.As(&control);
    graph.As(&events);
    result = create(nullptr, media::IBaseFilter::kIid, renderer.PutVoid());
    if (com::Failed(result))
        return result;
    source = CPushSource::Create(type, bufferSize, std::move(script), &sourceFilter);
    graph->AddFilter(renderer.Get(), "Renderer");
    graph->AddFilter(sourceFilter.Get(), "Source");
    return graph->Connect(source->Output(), RendererInput());
}

GraphRig::~GraphRig() {
    if (control)
        control->Stop();
}

media::IPin* GraphRig::RendererInput() const {
    media::IPin* pin = nullptr;
    if (!renderer || com::Failed(renderer->FindPin("Input", &pin)) || !pin)
        return nullptr;
    pin->Release(); // the pin counts on its renderer, which the rig holds
    return pin;
}

long GraphRig::WaitForCompletion(std::chrono::milliseconds limit) {
    long code = 0;
    if (com::Failed(events->WaitForCompletion(static_cast<long>(limit.count()), &code)))
        return 0;
    return code;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace fz::test
