#pragma once

#include "platform/com/IUnknown.h"

namespace fz::media {

// The creators of the platform's renderers (ClassFactory.h's CreatorFunction), implemented
// with the renderers (platform/media/renderers). The server library registers them as
// CLSID_VideoRenderer and CLSID_DSoundRender; RenderFile creates renderers through
// CoCreateInstance. `outer` may aggregate them (then `iid` must be IID_IUnknown).
com::HRESULT CreateVideoRenderer(com::IUnknown* outer, const com::IID& iid, void** object);
com::HRESULT CreateSoundRenderer(com::IUnknown* outer, const com::IID& iid, void** object);

// The null renderer (NullRenderer.h).
com::HRESULT CreateNullRenderer(com::IUnknown* outer, const com::IID& iid, void** object);

} // namespace fz::media
