#pragma once

#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/media/base/MediaInterfaces.h"

#include <vector>

namespace fz::media {

class CBaseFilter;
class CBasePin;

// Enumerators over a snapshot taken when they are made: the filter's pins (each holding a
// reference) or a pin's offered types.
class CEnumPins final : public com::ComObject<IEnumPins> {
public:
    explicit CEnumPins(CBaseFilter* filter);

    HRESULT Next(std::uint32_t count, IPin** pins, std::uint32_t* fetched) override;
    HRESULT Skip(std::uint32_t count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumPins** copy) override;

private:
    CEnumPins() = default;
    std::vector<com::ComPtr<IPin>> m_pins;
    std::size_t m_position = 0;
};

class CEnumMediaTypes final : public com::ComObject<IEnumMediaTypes> {
public:
    explicit CEnumMediaTypes(CBasePin* pin);

    HRESULT Next(std::uint32_t count, AM_MEDIA_TYPE** types, std::uint32_t* fetched) override;
    HRESULT Skip(std::uint32_t count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumMediaTypes** copy) override;

private:
    CEnumMediaTypes() = default;
    std::vector<CMediaType> m_types;
    std::size_t m_position = 0;
};

} // namespace fz::media
