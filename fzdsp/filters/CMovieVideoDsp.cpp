#include "fzdsp/filters/CMovieVideoDsp.h"

#include "fzdsp/filters/EncoderLock.h"
#include "fzdsp/filters/MovieDspIdentifiers.h"
#include "fzdsp/filters/OutputBufferRequest.h"
#include "fzdsp/formats/FrameRecord.h"
#include "fzdsp/jpeg/Yuv422JpegEncoder.h"
#include "fzdsp/jpeglib/LibraryJpegWriter.h"
#include "fzdsp/picture/FrameGeometry.h"
#include "fzdsp/picture/PictureCopy.h"
#include "fzdsp/picture/PictureLimits.h"
#include "fzdsp/picture/PictureScaler.h"
#include "platform/fs/DriveC.h"
#include "platform/media/base/MediaSample.h"
#include "platform/time/TickCount.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

namespace fz::dsp {

using namespace media;
using com::E_FAIL;
using com::E_INVALIDARG;
using com::E_POINTER;
using com::E_UNEXPECTED;
using com::S_FALSE;
using com::S_OK;

namespace {

// The result of a frame whose temporary JPEG file is missing or short, or whose record could
// not be written.
constexpr HRESULT kRecordFailed = static_cast<HRESULT>(0xFFFFFFFF);
constexpr REFERENCE_TIME kPreviewTimePerFrame = 1000000; // 100-ns units, offered downstream

// A target size after the encoder's rounding, within the 16 bits it is kept in.
std::uint16_t RoundedTarget(std::uint16_t value, PictureFormat format) {
    return static_cast<std::uint16_t>(
        std::min(RoundTargetDimension(value, format), kMaxTargetDimension));
}

bool IsQuarterTurn(int rotation) {
    return rotation == 90 || rotation == 270;
}

std::int32_t NonZero(std::int32_t value) {
    return value == 0 ? 1 : value;
}

// Whole milliseconds of a sample time, or of the tick count when the sample has none.
std::int64_t MillisecondsOf(bool timed, REFERENCE_TIME start) {
    return timed ? start / kUnitsPerMs : static_cast<std::int64_t>(time::GetTickCount());
}

} // namespace

CMovieVideoDsp::CMovieVideoDsp(IUnknown* outer)
    : CTransformFilter(kMovieVideoDspName, outer, CLSID_MovieVideoDsp)
    , m_log(this) {}

CMovieVideoDsp::~CMovieVideoDsp() {
    Close();
}

HRESULT CMovieVideoDsp::NonDelegatingQueryInterface(const com::IID& iid, void** object) {
    if (iid == IMovieVideoDsp::kIid)
        return com::GetInterface(static_cast<IMovieVideoDsp*>(this), object);
    return CTransformFilter::NonDelegatingQueryInterface(iid, object);
}

// --- media types and buffers ---

HRESULT CMovieVideoDsp::CheckInputType(const CMediaType* in) {
    if (in == nullptr)
        return E_POINTER;
    if (*in->FormatType() != FORMAT_VideoInfo)
        return E_INVALIDARG;
    if (m_targetWidth == 0 || m_targetHeight == 0)
        return E_FAIL;
    if (*in->Type() != MEDIATYPE_Video ||
        (*in->Subtype() != MEDIASUBTYPE_RGB32 && *in->Subtype() != MEDIASUBTYPE_RGB24))
        return E_FAIL;
    const VIDEOINFOHEADER* info = in->VideoInfo();
    if (info == nullptr)
        return E_INVALIDARG;
    // Rows bottom-up only: a top-down picture (negative height) would be turned upside down.
    const BITMAPINFOHEADER& bitmap = info->bmiHeader;
    if (bitmap.biWidth < 1 || bitmap.biHeight < 1)
        return E_FAIL;
    const auto width = static_cast<std::uint16_t>(bitmap.biWidth & 0xFFFF);
    const auto height = static_cast<std::uint16_t>(bitmap.biHeight & 0xFFFF);
    // The work buffers hold the source picture: one that cannot be allocated is refused here,
    // before streaming, rather than failing every frame.
    const std::optional<std::size_t> workBytes = PictureBytes(width, height, 4);
    if (!workBytes)
        return E_FAIL;
    try {
        if (m_workPicture.size() < *workBytes)
            m_workPicture.resize(*workBytes);
    } catch (const std::bad_alloc&) {
        return E_FAIL;
    }
    m_sourceWidth = width;
    m_sourceHeight = height;
    m_sourceBits = *in->Subtype() == MEDIASUBTYPE_RGB32 ? 32 : 24;
    if (!m_sizeRounded) {
        const auto format = static_cast<PictureFormat>(m_pictureFormat == 0 ? 0 : 1);
        m_targetWidth = RoundedTarget(m_targetWidth, format);
        m_targetHeight = RoundedTarget(m_targetHeight, format);
        m_sizeRounded = 1;
    }
    return S_OK;
}

void CMovieVideoDsp::ExpectedOutputSize(int* width, int* height) const {
    *width = m_targetWidth;
    *height = m_targetHeight;
    if (IsQuarterTurn(m_rotation) && !m_previewRotate)
        std::swap(*width, *height);
}

HRESULT CMovieVideoDsp::CheckTransform(const CMediaType* in, const CMediaType* out) {
    if (in == nullptr || out == nullptr)
        return E_POINTER;
    const HRESULT input = CheckInputType(in);
    if (com::Failed(input))
        return input;
    if (*out->FormatType() != FORMAT_VideoInfo || !m_formatSet ||
        in->FormatLength() < sizeof(VIDEOINFOHEADER) ||
        out->FormatLength() < sizeof(VIDEOINFOHEADER))
        return E_INVALIDARG;
    const BITMAPINFOHEADER& bitmap = out->VideoInfo()->bmiHeader;
    int width = m_sourceWidth;
    int height = m_sourceHeight;
    if (!m_sourceSizeOutput)
        ExpectedOutputSize(&width, &height);
    if (bitmap.biWidth != width || bitmap.biHeight != height || bitmap.biBitCount != 24 ||
        bitmap.biCompression != BI_RGB)
        return E_INVALIDARG;
    return S_OK;
}

HRESULT CMovieVideoDsp::DecideBufferSize(IMemAllocator* allocator,
                                         ALLOCATOR_PROPERTIES* properties) {
    if (allocator == nullptr || properties == nullptr)
        return E_POINTER;
    if (!m_input->IsConnected())
        return E_UNEXPECTED;
    long picture = 0;
    if (!m_sourceSizeOutput) {
        const std::optional<std::size_t> bytes = PictureBytes(m_targetWidth, m_targetHeight, 4);
        if (!bytes)
            return E_FAIL;
        picture = static_cast<long>(*bytes);
    }
    return RequestOneOutputBuffer(allocator, *properties, m_input->CurrentMediaType(), picture);
}

HRESULT CMovieVideoDsp::GetMediaType(int position, CMediaType* type) {
    if (!m_input->IsConnected())
        return E_UNEXPECTED;
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    if (type == nullptr)
        return E_POINTER;
    if (!m_formatSet)
        return E_INVALIDARG;
    if (m_sourceSizeOutput) {
        *type = m_input->CurrentMediaType();
        return S_OK;
    }
    int width = 0;
    int height = 0;
    ExpectedOutputSize(&width, &height);
    VIDEOINFOHEADER info;
    info.AvgTimePerFrame = kPreviewTimePerFrame;
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = BitmapImageSize(width, height, 24);
    *type = CMediaType();
    type->SetType(MEDIATYPE_Video);
    type->SetSubtype(MEDIASUBTYPE_RGB24);
    type->SetFormatType(FORMAT_VideoInfo);
    if (!type->SetFormat(&info, sizeof info))
        return com::E_OUTOFMEMORY;
    type->SetSampleSize(info.bmiHeader.biSizeImage);
    return S_OK;
}

// --- frames ---

HRESULT CMovieVideoDsp::Transform(IMediaSample* in, IMediaSample* out) {
    if (in == nullptr || out == nullptr)
        return E_POINTER;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    // A start time without a stop time is a valid start time too.
    const HRESULT timeQuery = in->GetTime(&start, &stop);
    const bool timed = timeQuery == S_OK || timeQuery == VFW_S_NO_STOP_TIME;
    const std::int64_t nowMs = MillisecondsOf(timed, start);
    if (timed) {
        DebugTrace("delta : %d \n", static_cast<int>(m_hadTime ? nowMs - m_lastTimeMs : nowMs));
        m_hadTime = true;
        m_lastTimeMs = nowMs;
    }
    // A frame that is not due costs only the time query: the output buffer goes downstream
    // with the input's times and the picture it last held.
    if (!m_schedule.TakeFrame(static_cast<double>(nowMs)))
        return S_OK;
    return ProcessFrame(in, out, timed, start);
}

HRESULT CMovieVideoDsp::ProcessFrame(IMediaSample* in, IMediaSample* out, bool timed,
                                     REFERENCE_TIME start) {
    std::uint8_t* input = nullptr;
    std::uint8_t* output = nullptr;
    if (com::Failed(in->GetPointer(&input)) || com::Failed(out->GetPointer(&output)) ||
        input == nullptr || output == nullptr)
        return E_POINTER;
    const auto outputSize = static_cast<std::size_t>(std::max(out->GetSize(), 0L));
    const int sourceWidth = m_sourceWidth;
    const int sourceHeight = m_sourceHeight;
    const int bytesPerPixel = m_sourceBits / 8;
    const std::optional<std::size_t> inputBytes =
        PictureBytes(sourceWidth, sourceHeight, bytesPerPixel);
    if (!inputBytes || in->GetActualDataLength() < static_cast<long>(*inputBytes))
        return E_FAIL; // no accepted type, or a sample shorter than its picture

    int scaleWidth = m_targetWidth;
    int scaleHeight = m_targetHeight;
    if (IsQuarterTurn(m_rotation))
        std::swap(scaleWidth, scaleHeight);
    FrameGeometrySettings geometry;
    geometry.scaleWidth = scaleWidth;
    geometry.scaleHeight = scaleHeight;
    geometry.verticalCut = m_verticalCut ? VerticalCut::kOn : VerticalCut::kOff;
    geometry.widescreenCutoff = m_widescreenCut ? WidescreenCutoff::kOn : WidescreenCutoff::kOff;
    geometry.topFraction = m_widescreenTop;
    geometry.bottomFraction = m_widescreenBottom;
    geometry.fixedImageScale = m_fixedImageScale ? FixedImageScale::kOn : FixedImageScale::kOff;

    // The scaler reads 24- and 32-bit pictures in place. Only the cut and letterbox steps need
    // the packed 24-bit form; a 32-bit picture they would leave as it is goes to the scaler
    // without being packed and widened again (the scaler ignores the fourth byte, so every
    // output byte is the same).
    BitmapInfoHeader header;
    std::optional<PictureView> cut;
    if (bytesPerPixel == 4 && GeometryKeepsPicture(geometry, sourceWidth, sourceHeight)) {
        header.bitCount = 32;
        cut = PictureView{input, sourceWidth, sourceHeight};
    } else {
        PictureView packed{input, sourceWidth, sourceHeight};
        if (bytesPerPixel == 4) {
            PackRgb32To24(m_workPicture.data(), static_cast<std::size_t>(sourceWidth) * 3, input,
                          static_cast<std::size_t>(sourceWidth) * 4, sourceWidth, sourceHeight);
            packed.pixels = m_workPicture.data();
        }
        header.bitCount = 24;
        cut = ApplyFrameGeometry(geometry, packed, m_secondPicture);
        if (!cut)
            return E_FAIL;
    }
    header.width = cut->width;
    header.height = cut->height;

    CPictureScaler scaler;
    if (!scaler.SetSource(header, cut->pixels) || scaler.Scale(scaleWidth, scaleHeight) == nullptr)
        return E_FAIL;
    const std::size_t pictureBytes = static_cast<std::size_t>(scaleWidth) * scaleHeight * 3;
    if (pictureBytes > outputSize)
        return E_FAIL; // DecideBufferSize asks for more; another allocator may have given less
    // The unrotated picture is what the preview shows unless the preview rotates too (then the
    // rotated copy below replaces it, so it is not copied first).
    const bool previewRotated = m_previewRotate && m_rotation != 0;
    if (!previewRotated)
        std::memcpy(output, scaler.OutputPixels(), pictureBytes);
    if (!scaler.Rotate(m_rotation))
        return E_FAIL;
    if (previewRotated)
        std::memcpy(output, scaler.OutputPixels(), pictureBytes);
    int previewWidth = 0;
    int previewHeight = 0;
    ExpectedOutputSize(&previewWidth, &previewHeight);

    const BitmapInfoHeader& final = *scaler.OutputHeader();
    const HRESULT recorded =
        RecordFrame(scaler.OutputPixels(), final.width, final.height, timed, start);
    if (com::Failed(recorded))
        return recorded;

    const HRESULT copied = CopySampleProperties(in, out);
    if (com::Failed(copied))
        return copied;
    // The input's own type describes the input's pictures: it travels on only when the output
    // carries the input's format.
    AM_MEDIA_TYPE* type = nullptr;
    if (m_sourceSizeOutput && in->GetMediaType(&type) == S_OK && type != nullptr) {
        out->SetMediaType(type);
        DeleteMediaType(type);
    }
    const auto imageSize = static_cast<long>(BitmapImageSize(previewWidth, previewHeight, 24));
    out->SetActualDataLength(std::min(imageSize, static_cast<long>(outputSize)));
    return S_OK;
}

HRESULT CMovieVideoDsp::RecordFrame(const std::uint8_t* pixels, int width, int height, bool timed,
                                    REFERENCE_TIME start) {
    std::lock_guard lock(m_recordLock);
    if (m_frameFile == nullptr)
        return S_OK;
    // The start offset against the sound, once the sound has begun.
    if (Load(m_status.videoOffset) == 0 && Load(m_status.audioFirstTime) != 0) {
        const std::int64_t nowMs =
            timed ? start / kUnitsPerMs : static_cast<std::int64_t>(time::TimeGetTime());
        Store(m_status.videoOffset,
              NonZero(static_cast<std::int32_t>(nowMs - Load(m_status.audioFirstTime))));
    }
    if (!m_frameFileName.empty())
        m_temporaryJpegName = m_frameFileName + ".jpg";
    {
        std::lock_guard encoding(EncoderLock());
        const std::string path = fs::HostPath(m_temporaryJpegName);
        if (m_pictureFormat == 0)
            WriteLibraryJpeg(path, width, height, pixels, m_quality);
        else if (m_pictureFormat == 1)
            EncodeYuv422Jpeg(path, width, height, pixels, m_quality);
        m_log.Append("%s  Before Try Read JPEG %d (%d : %d ) \n ", m_temporaryJpegName.c_str(),
                     Load(m_status.videoOffset), m_previewMode, Load(m_status.audioStarted));
        if (Load(m_status.videoOffset) > 0 || !m_previewMode) {
            const HRESULT written = WriteFrameRecord(timed, start);
            if (written != S_OK)
                return written;
        }
    }
    const std::int32_t offset = Load(m_status.videoOffset);
    if (offset < 0)
        Store(m_status.videoOffset,
              NonZero(static_cast<std::int32_t>(
                  offset + static_cast<std::int32_t>(m_schedule.IntervalMs()))));
    if (Load(m_status.videoOffset) == 0 && (Load(m_status.audioStarted) || !m_previewMode))
        Store(m_status.videoOffset, 1);
    return S_OK;
}

// Reads the temporary JPEG file back and appends it to the frame file (both locks held).
HRESULT CMovieVideoDsp::WriteFrameRecord(bool timed, REFERENCE_TIME start) {
    m_log.Append("%s  Try Read JPEG \n", m_temporaryJpegName.c_str());
    const std::string path = fs::HostPath(m_temporaryJpegName);
    std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return kRecordFailed;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        length = std::ftell(file);
    std::size_t got = 0;
    bool allocated = length >= 0;
    if (allocated) {
        try {
            m_jpeg.resize(static_cast<std::size_t>(length));
        } catch (const std::bad_alloc&) {
            allocated = false;
        }
    }
    if (allocated && std::fseek(file, 0, SEEK_SET) == 0)
        got = std::fread(m_jpeg.data(), 1, m_jpeg.size(), file);
    std::fclose(file);
    // An image too short to carry its length (an encoder that failed) is a short read too.
    if (!allocated || got < m_jpeg.size() || m_jpeg.size() < kMinFrameImageSize) {
        m_log.Append("Failed to Read JPEG\n");
        return kRecordFailed;
    }
    const auto imageLength = static_cast<std::int32_t>(
        std::min<std::size_t>(m_jpeg.size(), static_cast<std::size_t>(INT32_MAX)));
    m_largestFrame.store(std::max(m_largestFrame.load(), imageLength));

    const REFERENCE_TIME time =
        timed ? start : static_cast<REFERENCE_TIME>(time::GetTickCount()) * kUnitsPerMs;
    if (!m_firstTimeSet) {
        m_firstTime = time;
        m_firstTimeSet = true;
    }
    // AppendFrameRecord writes L into bytes 14..17 of the copy it writes and flushes the file.
    if (!AppendFrameRecord(m_frameFile, FrameTimeStampMs(time, m_firstTime), m_jpeg)) {
        m_log.Append("Failed to Write File Data\n");
        return kRecordFailed;
    }
    return S_OK;
}

// --- control interface ---

HRESULT CMovieVideoDsp::SetOutputFormat(int width, int height, int rotate, int jpegformat,
                                        int fixed) {
    m_rotation = static_cast<std::uint16_t>(rotate);
    m_targetWidth = static_cast<std::uint16_t>(width);
    m_targetHeight = static_cast<std::uint16_t>(height);
    if (IsQuarterTurn(m_rotation))
        std::swap(m_targetWidth, m_targetHeight);
    m_pictureFormat = jpegformat;
    m_fixedImageScale = fixed;
    m_formatSet = 1;
    return S_OK;
}

HRESULT CMovieVideoDsp::GetOutputSize(int* width, int* height) {
    if (width != nullptr)
        *width = m_targetWidth;
    if (height != nullptr)
        *height = m_targetHeight;
    return S_OK;
}

HRESULT CMovieVideoDsp::GetLargestFrame(int* size) {
    if (size != nullptr)
        *size = m_largestFrame.load();
    return S_OK;
}

HRESULT CMovieVideoDsp::SetFrameRate(double rate) {
    m_schedule.SetFrameRate(rate);
    return S_OK;
}

HRESULT CMovieVideoDsp::SetQuality(int quality) {
    m_quality = quality;
    return S_OK;
}

HRESULT CMovieVideoDsp::SetFileName(const char* name) {
    m_frameFileName = name != nullptr ? name : "";
    return S_OK;
}

HRESULT CMovieVideoDsp::SetPreviewMode(int flag) {
    m_previewMode = flag;
    return S_OK;
}

HRESULT CMovieVideoDsp::Open() {
    Close();
    std::lock_guard lock(m_recordLock);
    const std::string path = fs::HostPath(m_frameFileName);
    // A frame file that cannot be created leaves the filter previewing only.
    m_frameFile = path.empty() ? nullptr : std::fopen(path.c_str(), "wb");
    m_largestFrame.store(0);
    return S_OK;
}

HRESULT CMovieVideoDsp::GetStartOffset(int* ms) {
    if (ms != nullptr)
        *ms = Load(m_status.videoOffset);
    return S_OK;
}

HRESULT CMovieVideoDsp::SetSourceSizeOutput(int flag) {
    m_sourceSizeOutput = flag;
    m_formatSet = 1;
    return S_OK;
}

HRESULT CMovieVideoDsp::SetPreviewRotate(int flag) {
    m_previewRotate = flag;
    return S_OK;
}

HRESULT CMovieVideoDsp::Close() {
    std::lock_guard lock(m_recordLock);
    CloseLocked();
    return S_OK;
}

void CMovieVideoDsp::CloseLocked() {
    if (m_frameFile != nullptr) {
        std::fclose(m_frameFile);
        m_frameFile = nullptr;
    }
    const std::string temporary = fs::HostPath(m_temporaryJpegName);
    if (!temporary.empty())
        std::remove(temporary.c_str());
    m_firstTimeSet = false;
}

HRESULT CMovieVideoDsp::SetVerticalCut(int flag) {
    m_verticalCut = flag;
    return S_OK;
}

HRESULT CMovieVideoDsp::SetWidescreenCut(int flag, double top, double bottom) {
    m_widescreenCut = flag;
    m_widescreenTop = flag ? top : 0.0;
    m_widescreenBottom = flag ? bottom : 0.0;
    return S_OK;
}

HRESULT CMovieVideoDsp::GetStatusRecord(StreamSyncRecord** record) {
    if (record != nullptr)
        *record = &m_status;
    return S_OK;
}

std::string CMovieVideoDsp::TemporaryJpegName() const {
    return m_temporaryJpegName;
}

} // namespace fz::dsp
