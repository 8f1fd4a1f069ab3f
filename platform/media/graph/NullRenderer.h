#pragma once

#include "platform/media/base/BaseRenderer.h"

namespace fz::media {

// The sink of fast conversions (CLSID_NullRenderer): takes any media type, consumes every
// sample without waiting for a clock, and reports the end of its stream (EC_COMPLETE).
// While the graph is paused it holds the sample, as every renderer does.
class CNullRenderer final : public CBaseRenderer {
public:
    explicit CNullRenderer(IUnknown* outer);

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT DoRenderSample(IMediaSample* sample) override;
    bool PacedByClock() const override { return false; }
};

} // namespace fz::media
