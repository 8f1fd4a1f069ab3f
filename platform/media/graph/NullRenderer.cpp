#include "platform/media/graph/NullRenderer.h"

#include "platform/media/base/GraphInterfaces.h"
#include "platform/media/graph/RendererClasses.h"

namespace fz::media {

CNullRenderer::CNullRenderer(IUnknown* outer)
    : CBaseRenderer("Null Renderer", outer, CLSID_NullRenderer) {}

HRESULT CNullRenderer::CheckMediaType(const CMediaType* type) {
    return type ? com::S_OK : com::E_POINTER;
}

HRESULT CNullRenderer::DoRenderSample(IMediaSample*) {
    return com::S_OK;
}

com::HRESULT CreateNullRenderer(com::IUnknown* outer, const com::IID& iid, void** object) {
    return com::CreateAggregatableInstanceOf<CNullRenderer>(outer, iid, object);
}

} // namespace fz::media
