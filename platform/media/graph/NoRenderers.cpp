#include "platform/com/HResult.h"
#include "platform/media/graph/RendererClasses.h"

// Built only while the tree has no video and sound renderers: their classes are not available.
namespace fz::media {

com::HRESULT CreateVideoRenderer(com::IUnknown*, const com::IID&, void** object) {
    if (!object)
        return com::E_POINTER;
    *object = nullptr;
    return com::CLASS_E_CLASSNOTAVAILABLE;
}

com::HRESULT CreateSoundRenderer(com::IUnknown*, const com::IID&, void** object) {
    if (!object)
        return com::E_POINTER;
    *object = nullptr;
    return com::CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace fz::media
