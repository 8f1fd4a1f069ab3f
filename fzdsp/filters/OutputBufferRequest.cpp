#include "fzdsp/filters/OutputBufferRequest.h"

#include <algorithm>

namespace fz::dsp {

namespace {

constexpr long kVariableSampleBuffer = 100000;

} // namespace

com::HRESULT RequestOneOutputBuffer(media::IMemAllocator* allocator,
                                    const media::ALLOCATOR_PROPERTIES& proposed,
                                    const media::CMediaType& input, long neededBytes) {
    const bool fixedSize = input.bFixedSizeSamples != 0;
    long size = fixedSize ? static_cast<long>(input.lSampleSize) : 0;
    size = std::max(size, neededBytes);
    if (!fixedSize)
        size = std::max(size, kVariableSampleBuffer);
    media::ALLOCATOR_PROPERTIES request = proposed;
    request.cBuffers = 1;
    request.cbBuffer = size;
    media::ALLOCATOR_PROPERTIES actual;
    const com::HRESULT set = allocator->SetProperties(&request, &actual);
    if (com::Failed(set))
        return set;
    if (actual.cBuffers < 1 || actual.cbBuffer < size)
        return com::E_FAIL;
    return com::S_OK;
}

} // namespace fz::dsp
