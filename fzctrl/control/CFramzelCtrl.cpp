#include "fzctrl/control/CFramzelCtrl.h"

#include "fzctrl/control/SettingsStore.h"
#include "fzctrl/control/SettingsTables.h"
#include "fzctrl/control/TempPathRule.h"
#include "fzdsp/picture/PictureLimits.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace fz {
namespace {

constexpr std::int32_t kMaxConvertFrameRate = 7;
constexpr short kEqualizerLimit = 18; // dB, either way
constexpr long kCutOffLimitPercent = 50;

ConvertParams* ParamsAt(long address) {
    return reinterpret_cast<ConvertParams*>(address);
}

void Report(Bool* bret, Bool result) {
    if (bret)
        *bret = result;
}

std::string_view Text(const char* text) {
    return text ? std::string_view(text) : std::string_view();
}

std::string_view TempPathText(const ConvertParams& params) {
    return std::string_view(params.temp_path, strnlen(params.temp_path, kTempPathSize));
}

} // namespace

CFramzelCtrl::CFramzelCtrl()
    : m_params(LoadConvertParams()) {}

void CFramzelCtrl::ConvertSetParam(long value) {
    if (value == 0)
        return;
    const ConvertParams& source = *ParamsAt(value);
    m_params = ConvertParams{};
    // The sizes travel to the video filter, which keeps them in 16 bits and rounds them up to
    // its encoder's multiple: a size outside what it can hold takes the default, as a stored
    // size outside its range does when the settings load.
    const auto targetSize = [](std::int32_t given, std::string_view name) {
        if (given >= 1 && given <= kMaxTargetDimension)
            return given;
        return std::find_if(kRecordValues.begin(), kRecordValues.end(),
                            [name](const RecordValue& row) { return row.name == name; })
            ->defaultValue;
    };
    m_params.width = targetSize(source.width, "width");
    m_params.height = targetSize(source.height, "height");
    m_params.framerate = std::min(source.framerate, kMaxConvertFrameRate);
    m_params.rotate = source.rotate;
    m_params.samplerate = source.samplerate;
    m_params.bitrate = source.bitrate;
    m_params.channels = source.channels;
    m_params.quality = source.quality;
    m_params.jpegformat = source.jpegformat;
    std::memcpy(m_params.temp_path, source.temp_path, kTempPathSize);
    m_params.temp_path[kTempPathSize - 1] = '\0';
    m_params.fixed = 1;
    m_engine.SetTempPath(TempPathText(m_params));
}

void CFramzelCtrl::GetConfig(long value, Bool* bret) const {
    if (value == 0) {
        Report(bret, kFalse);
        return;
    }
    ConvertParams loaded = LoadConvertParams();
    loaded.audiocodec = 0;
    *ParamsAt(value) = loaded;
    Report(bret, kTrue);
}

void CFramzelCtrl::SetConfig(long value, Bool* bret) {
    if (value == 0) {
        Report(bret, kFalse);
        return;
    }
    // A store that cannot be written is reported: the settings would otherwise be lost
    // silently while the program believes them saved.
    const registry::Status stored = StoreConvertParams(*ParamsAt(value));
    m_engine.SetTempPath(TempPathText(m_params));
    Report(bret, ToBool(stored == registry::kSuccess));
}

void CFramzelCtrl::GetRegKeyValue(const char* key, long* value, Bool* bret) const {
    const NamedValue* row = FindNamedValue(Text(key));
    if (!row) {
        Report(bret, kFalse);
        return;
    }
    const std::int32_t loaded = LoadNamedValue(*row);
    if (value)
        *value = loaded;
    Report(bret, kTrue);
}

void CFramzelCtrl::SetRegKeyValue(const char* key, long value, Bool* bret) {
    registry::Key settings;
    if (OpenSettingsForWriting(&settings) != registry::kSuccess) {
        Report(bret, kFalse);
        return;
    }
    const NamedValue* row = FindNamedValue(Text(key));
    if (!row) {
        Report(bret, kFalse);
        return;
    }
    const registry::Status written =
        settings.SetDword(row->name, static_cast<std::uint32_t>(value));
    Report(bret, ToBool(written == registry::kSuccess));
}

void CFramzelCtrl::SetEQ(short value) {
    m_engine.SetEqualizerLevel(std::clamp<short>(value, -kEqualizerLimit, kEqualizerLimit));
}

void CFramzelCtrl::SetVCut(Bool value) {
    m_engine.SetVerticalCut(value);
}

void CFramzelCtrl::CutOffWideScreen(Bool value, long top, long bottom) {
    if (value == kFalse) {
        m_engine.SetWideScreenCut(WideScreenCutOff{});
        return;
    }
    if (top >= kCutOffLimitPercent || bottom >= kCutOffLimitPercent)
        return;
    m_engine.SetWideScreenCut(WideScreenCutOff{kTrue, static_cast<double>(top) * 0.01,
                                               static_cast<double>(bottom) * 0.01});
}

void CFramzelCtrl::SetPreviewRotate(Bool rotate, Bool* bret) {
    m_engine.SetPreviewRotate(rotate);
    Report(bret, kTrue);
}

void CFramzelCtrl::SetTempPath(const char* value) {
    if (auto path = TempPathForEngine(Text(value)))
        m_engine.SetTempPath(*path);
}

} // namespace fz
