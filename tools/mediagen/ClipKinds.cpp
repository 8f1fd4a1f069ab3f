#include "tools/mediagen/ClipGenerator.h"

#include <array>

namespace fz::mediagen {
namespace {

constexpr std::array<ClipKindInfo, 8> kKinds = {{
    {ClipKind::AviMpeg4Mp3, "avi-mpeg4-mp3", "avi", "avi", "mpeg4", "mp3", 44100, 2, 16},
    {ClipKind::AviMsmpeg4v2Pcm8, "avi-msmpeg4v2-pcm8", "avi", "avi", "msmpeg4v2", "pcm_u8", 11025,
     1, 8},
    {ClipKind::Mpeg1System, "mpeg1", "mpg", "mpeg", "mpeg1video", "mp2", 44100, 2, 16},
    {ClipKind::AsfWmv2Wmav2, "asf-wmv2-wmav2", "asf", "asf", "wmv2", "wmav2", 44100, 2, 16},
    {ClipKind::WmvWmv1Wmav1, "wmv-wmv1-wmav1", "wmv", "asf", "wmv1", "wmav1", 44100, 2, 16},
    {ClipKind::AviMpeg4Ac3Surround, "avi-mpeg4-ac3-5.1", "avi", "avi", "mpeg4", "ac3", 48000, 6,
     16},
    {ClipKind::AviVideoOnly, "avi-video-only", "avi", "avi", "mpeg4", "", 0, 0, 0},
    {ClipKind::AviAudioOnly, "avi-audio-only", "avi", "avi", "", "mp3", 44100, 2, 16},
}};

} // namespace

const ClipKindInfo& KindInfo(ClipKind kind) {
    for (const ClipKindInfo& info : kKinds)
        if (info.kind == kind)
            return info;
    return kKinds[0];
}

std::optional<ClipKind> KindFromName(std::string_view name) {
    for (const ClipKindInfo& info : kKinds)
        if (info.name == name)
            return info.kind;
    return std::nullopt;
}

const ClipKindInfo* AllKinds(std::size_t* count) {
    *count = kKinds.size();
    return kKinds.data();
}

} // namespace fz::mediagen
