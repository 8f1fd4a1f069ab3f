#include "platform/media/ffmpeg/LazyPictureSample.h"

namespace fz::media::ffmpeg {

CLazyPictureSample::CLazyPictureSample(IMediaSample* sample, LazyPicture picture)
    : m_sample(sample)
    , m_picture(std::move(picture)) {}

HRESULT CLazyPictureSample::GetPointer(std::uint8_t** buffer) {
    if (!buffer)
        return com::E_POINTER;
    const HRESULT result = m_sample->GetPointer(buffer);
    if (com::Failed(result))
        return result;
    const std::lock_guard lock(m_mutex);
    if (m_picture.Pending())
        m_picture.Materialize(*buffer, static_cast<std::size_t>(m_sample->GetSize()));
    return result;
}

bool CLazyPictureSample::Pending() {
    const std::lock_guard lock(m_mutex);
    return m_picture.Pending();
}

} // namespace fz::media::ffmpeg
