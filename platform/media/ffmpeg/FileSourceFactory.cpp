// RenderFile's source: the FFmpeg source over the file.
#include "platform/media/ffmpeg/FfmpegSourceFilter.h"
#include "platform/media/source/SourceFactory.h"

namespace fz::media {

HRESULT CreateFileSourceFilter(const std::string& path, IBaseFilter** out) {
    return ffmpeg::CFfmpegSourceFilter::CreateFromFile(path, ffmpeg::FileSourceLimits(), out);
}

} // namespace fz::media
