// The control's playback, format and volume methods.
#include "fzctrl/control/CFramzelCtrl.h"

#include "fzctrl/play/MovieFormatProbe.h"

#include <string>

namespace fz {
namespace {

std::string PathText(const char* file) {
    return file ? std::string(file) : std::string();
}

} // namespace

void CFramzelCtrl::SetPreviewWindow(long hwnd, long left, long top, long right, long bottom) {
    PreviewTarget target;
    target.window = static_cast<ui::WindowHandle>(hwnd);
    target.left = static_cast<std::int32_t>(left);
    target.top = static_cast<std::int32_t>(top);
    target.right = static_cast<std::int32_t>(right);
    target.bottom = static_cast<std::int32_t>(bottom);
    m_engine.Playback().SetPreviewTarget(target);
    m_engine.ConvertGraph().SetPreviewWindow(hwnd, left, top, right, bottom);
}

void CFramzelCtrl::PlayStart(const char* file, Bool* bret) {
    if (bret == nullptr)
        return;
    *bret = ToBool(m_engine.Playback().PlayStart(PathText(file)));
}

void CFramzelCtrl::PlayStop(Bool* value) {
    m_engine.Playback().PlayStop();
    if (value)
        *value = kTrue;
}

void CFramzelCtrl::GetFormat(const char* file, long* width, long* height, long* samplerate,
                             long* channels, Bool* bret) {
    *width = 0;
    *height = 0;
    *samplerate = 0;
    *channels = 0;
    MediaFormat format;
    const bool ok = QueryMediaFormat(PathText(file), format);
    if (ok) {
        *width = format.picture.width;
        *height = format.picture.height;
        *samplerate = static_cast<long>(format.sound.samplesPerSec);
        *channels = format.sound.channels;
    }
    *bret = ToBool(ok);
}

void CFramzelCtrl::PlayTotleTime(long* value) {
    if (value)
        *value = static_cast<long>(m_engine.Playback().TotalTime());
}

void CFramzelCtrl::PlayCurrentTime(long* value) {
    if (value)
        *value = static_cast<long>(m_engine.Playback().CurrentTime());
}

void CFramzelCtrl::IsPlaying(Bool* value) {
    if (value)
        *value = ToBool(m_engine.Playback().IsPlaying());
}

void CFramzelCtrl::GetVolumeRange(long* max, long* min, Bool* bret) {
    int volume = 0;
    const bool ok = m_volume.Query(volume);
    *max = ok ? CVolumeMixer::kSteps : 0;
    *min = 0;
    *bret = ToBool(ok);
}

void CFramzelCtrl::GetVolume(long* value, Bool* bret) {
    int volume = 0;
    const bool ok = m_volume.Query(volume);
    *value = ok ? volume : 0;
    *bret = ToBool(ok);
}

void CFramzelCtrl::SetVolume(long value, Bool* bret) {
    const bool ok =
        value >= INT32_MIN && value <= INT32_MAX && m_volume.Set(static_cast<int>(value));
    *bret = ToBool(ok);
}

} // namespace fz
