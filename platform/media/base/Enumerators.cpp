#include "platform/media/base/Enumerators.h"

#include "platform/media/base/BaseFilter.h"
#include "platform/media/base/BasePin.h"

#include <new>

namespace fz::media {

using com::E_POINTER;
using com::S_FALSE;
using com::S_OK;

namespace {

constexpr int kMaxOfferedTypes = 64;

template <class Vector>
HRESULT SkipIn(const Vector& items, std::size_t* position, std::uint32_t count) {
    const std::size_t left = items.size() - *position;
    if (count > left) {
        *position = items.size();
        return S_FALSE;
    }
    *position += count;
    return S_OK;
}

} // namespace

CEnumPins::CEnumPins(CBaseFilter* filter) {
    const int count = filter->GetPinCount();
    for (int i = 0; i < count; ++i)
        if (CBasePin* pin = filter->GetPin(i))
            m_pins.emplace_back(static_cast<IPin*>(pin));
}

HRESULT CEnumPins::Next(std::uint32_t count, IPin** pins, std::uint32_t* fetched) {
    if (!pins || (count > 1 && !fetched))
        return E_POINTER;
    std::uint32_t given = 0;
    while (given < count && m_position < m_pins.size())
        m_pins[m_position++].CopyTo(&pins[given++]);
    if (fetched)
        *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

HRESULT CEnumPins::Skip(std::uint32_t count) {
    return SkipIn(m_pins, &m_position, count);
}

HRESULT CEnumPins::Reset() {
    m_position = 0;
    return S_OK;
}

HRESULT CEnumPins::Clone(IEnumPins** copy) {
    if (!copy)
        return E_POINTER;
    auto* clone = new (std::nothrow) CEnumPins;
    if (!clone)
        return com::E_OUTOFMEMORY;
    clone->m_pins = m_pins;
    clone->m_position = m_position;
    *copy = clone;
    return S_OK;
}

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin) {
    for (int i = 0; i < kMaxOfferedTypes; ++i) {
        CMediaType type;
        if (pin->GetMediaType(i, &type) != S_OK)
            break;
        m_types.push_back(type);
    }
}

HRESULT CEnumMediaTypes::Next(std::uint32_t count, AM_MEDIA_TYPE** types, std::uint32_t* fetched) {
    if (!types || (count > 1 && !fetched))
        return E_POINTER;
    std::uint32_t given = 0;
    while (given < count && m_position < m_types.size()) {
        AM_MEDIA_TYPE* copy = CreateMediaType(&m_types[m_position]);
        if (!copy)
            break;
        ++m_position;
        types[given++] = copy;
    }
    if (fetched)
        *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

HRESULT CEnumMediaTypes::Skip(std::uint32_t count) {
    return SkipIn(m_types, &m_position, count);
}

HRESULT CEnumMediaTypes::Reset() {
    m_position = 0;
    return S_OK;
}

HRESULT CEnumMediaTypes::Clone(IEnumMediaTypes** copy) {
    if (!copy)
        return E_POINTER;
    auto* clone = new (std::nothrow) CEnumMediaTypes;
    if (!clone)
        return com::E_OUTOFMEMORY;
    clone->m_types = m_types;
    clone->m_position = m_position;
    *copy = clone;
    return S_OK;
}

} // namespace fz::media
