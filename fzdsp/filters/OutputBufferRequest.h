#pragma once

#include "platform/media/base/MediaInterfaces.h"
#include "platform/media/base/MediaTypes.h"

namespace fz::dsp {

// The output allocator request of both filters: one buffer of at least the input's fixed sample
// size and at least `neededBytes`, and at least 100000 bytes when the input's samples vary in
// size. S_OK when the allocator grants that; its own failure, or E_FAIL when it grants less.
// Called from DecideBufferSize while the graph connects the output pin (the graph's thread).
com::HRESULT RequestOneOutputBuffer(media::IMemAllocator* allocator,
                                    const media::ALLOCATOR_PROPERTIES& proposed,
                                    const media::CMediaType& input, long neededBytes);

} // namespace fz::dsp
