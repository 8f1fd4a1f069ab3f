#pragma once

#include "platform/com/Guid.h"
#include "platform/com/IUnknown.h"
#include "platform/media/base/MediaFormats.h"

#include <cstdint>

namespace fz::media {

using com::GUID;

// Major types, subtypes and format types (the platform's values).
inline constexpr GUID MEDIATYPE_NULL = com::GUID_NULL;
inline constexpr GUID MEDIASUBTYPE_NULL = com::GUID_NULL;
inline constexpr GUID MEDIATYPE_Video = com::MakeGuid("{73646976-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIATYPE_Audio = com::MakeGuid("{73647561-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIATYPE_Stream = com::MakeGuid("{E436EB83-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB24 = com::MakeGuid("{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB32 = com::MakeGuid("{E436EB7E-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_PCM = com::MakeGuid("{00000001-0000-0010-8000-00AA00389B71}");
inline constexpr GUID FORMAT_None = com::MakeGuid("{0F6417D6-C318-11D0-A43F-00A0C9223196}");
inline constexpr GUID FORMAT_VideoInfo = com::MakeGuid("{05589F80-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_WaveFormatEx = com::MakeGuid("{05589F81-C356-11CE-BF01-00AA0055595A}");

// A media type as it crosses interfaces (the platform's record). The format block is owned by
// whoever owns the record: it is allocated with AllocFormatBlock and freed with
// FreeMediaType. `pUnk` is unused here and stays null.
struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    std::int32_t bFixedSizeSamples = 0;
    std::int32_t bTemporalCompression = 0;
    std::uint32_t lSampleSize = 0; // bytes per sample when fixed, else 0
    GUID formattype;
    com::IUnknown* pUnk = nullptr;
    std::uint32_t cbFormat = 0;
    std::uint8_t* pbFormat = nullptr;
};

// A zeroed format block of `size` bytes (null for 0 or when memory runs out).
std::uint8_t* AllocFormatBlock(std::uint32_t size);
// Frees the format block of `type` and clears cbFormat/pbFormat; the record itself stays.
void FreeMediaType(AM_MEDIA_TYPE& type);
// A deep copy of `source` into `target` (whose own block is not freed: pass a fresh record).
// E_OUTOFMEMORY when the block cannot be copied (target then has no block).
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// A new record on the heap, a deep copy of `source` (null when memory runs out); free it
// with DeleteMediaType. Enumerators and IMediaSample::GetMediaType hand out such copies.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);
void DeleteMediaType(AM_MEDIA_TYPE* type);
// Same major type, subtype, format type and format bytes.
bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);

// The record with value semantics (copies are deep; destruction frees the block).
class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType() = default;
    explicit CMediaType(const AM_MEDIA_TYPE& other);
    CMediaType(const CMediaType& other);
    CMediaType& operator=(const CMediaType& other);
    CMediaType& operator=(const AM_MEDIA_TYPE& other);
    ~CMediaType();

    bool operator==(const CMediaType& other) const { return MediaTypesEqual(*this, other); }

    bool IsValid() const { return majortype != MEDIATYPE_NULL; }
    const GUID* Type() const { return &majortype; }
    const GUID* Subtype() const { return &subtype; }
    const GUID* FormatType() const { return &formattype; }
    void SetType(const GUID& type) { majortype = type; }
    void SetSubtype(const GUID& type) { subtype = type; }
    void SetFormatType(const GUID& type) { formattype = type; }
    // Fixed-size samples of `size` bytes.
    void SetSampleSize(std::uint32_t size);
    // Samples of varying size (lSampleSize 0).
    void SetVariableSize();
    void SetTemporalCompression(bool compressed) { bTemporalCompression = compressed ? 1 : 0; }

    std::uint8_t* Format() const { return pbFormat; }
    std::uint32_t FormatLength() const { return cbFormat; }
    // Replaces the format block with a copy of `size` bytes; false when memory runs out.
    bool SetFormat(const void* data, std::uint32_t size);
    // Replaces the format block with `size` zeroed bytes and returns it (null on failure).
    std::uint8_t* AllocFormatBuffer(std::uint32_t size);
    void ResetFormatBuffer();

    // The format block as a record, or null when the format type differs or the block is
    // shorter than the record.
    const VIDEOINFOHEADER* VideoInfo() const;
    const WAVEFORMATEX* WaveFormat() const;
};

// Ready-made types used by sources, filters and tests.
// Uncompressed RGB video (24 or 32 bits) of width x height, bottom-up, fixed sample size.
CMediaType MakeVideoType(const GUID& subtype, std::int32_t width, std::int32_t height,
                         REFERENCE_TIME avgTimePerFrame);
// PCM of the given rate, channels and bits per sample, samples of varying size.
CMediaType MakePcmType(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits);

} // namespace fz::media
