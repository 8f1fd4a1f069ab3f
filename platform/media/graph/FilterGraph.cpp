#include "platform/media/graph/FilterGraph.h"

namespace fz::media {

com::HRESULT CreateFilterGraph(com::IUnknown*, const com::IID&, void** object) {
    if (!object)
        return com::E_POINTER;
    *object = nullptr;
    return com::E_NOTIMPL;
}

} // namespace fz::media
