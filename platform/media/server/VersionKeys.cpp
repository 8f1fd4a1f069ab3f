#include "platform/media/server/VersionKeys.h"

#include "platform/registry/Registry.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <array>
#include <cstdint>

namespace fz::media {

namespace reg = fz::registry;

namespace {

constexpr const char* kDirectXKey = "Software\\Microsoft\\DirectX";
constexpr const char* kMediaPlayerKey = "Software\\Microsoft\\MediaPlayer";
constexpr const char* kMediaPlayer9Key = "Software\\Microsoft\\MediaPlayer\\9.0";
// Four decimal digits of the main version, then four of the sub version: 8.1.
constexpr std::array<std::uint8_t, 8> kInstalledVersion81 = {0, 0, 0, 8, 0, 0, 0, 1};

bool Decodes(std::initializer_list<AVCodecID> codecs) {
    for (const AVCodecID codec : codecs)
        if (!avcodec_find_decoder(codec))
            return false;
    return true;
}

com::HRESULT RemoveDirectXValues() {
    reg::Key key;
    if (reg::OpenKey(reg::Hive::LocalMachine, kDirectXKey, reg::Access::ReadWrite, &key) !=
        reg::kSuccess)
        return com::S_OK;
    const reg::Status installed = key.DeleteValue("InstalledVersion");
    const reg::Status version = key.DeleteValue("Version");
    const auto ok = [](reg::Status status) {
        return status == reg::kSuccess || status == reg::kFileNotFound;
    };
    return ok(installed) && ok(version) ? com::S_OK : com::SELFREG_E_CLASS;
}

com::HRESULT RemoveMediaPlayer9() {
    const reg::Status status = reg::DeleteKeyTree(reg::Hive::LocalMachine, kMediaPlayer9Key);
    return status == reg::kSuccess || status == reg::kFileNotFound ? com::S_OK
                                                                   : com::SELFREG_E_CLASS;
}

} // namespace

MediaDecoders ProbeMediaDecoders() {
    MediaDecoders decoders;
    decoders.directShow81 =
        Decodes({AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MPEG4});
    decoders.mediaPlayer9 =
        Decodes({AV_CODEC_ID_WMV1, AV_CODEC_ID_WMV2, AV_CODEC_ID_WMAV1, AV_CODEC_ID_WMAV2});
    return decoders;
}

com::HRESULT WriteVersionKeys(const MediaDecoders& decoders) {
    com::HRESULT result = com::S_OK;
    if (decoders.directShow81) {
        reg::Key key;
        if (reg::CreateKey(reg::Hive::LocalMachine, kDirectXKey, {}, &key) != reg::kSuccess ||
            key.SetBinary("InstalledVersion", kInstalledVersion81.data(),
                          static_cast<std::uint32_t>(kInstalledVersion81.size())) !=
                reg::kSuccess ||
            key.SetString("Version", "4.08.01.0810") != reg::kSuccess)
            result = com::SELFREG_E_CLASS;
    } else if (com::Failed(RemoveDirectXValues())) {
        result = com::SELFREG_E_CLASS;
    }
    if (decoders.mediaPlayer9) {
        reg::Key key;
        if (reg::CreateKey(reg::Hive::LocalMachine, kMediaPlayer9Key, {}, &key) != reg::kSuccess)
            result = com::SELFREG_E_CLASS;
    } else if (com::Failed(RemoveMediaPlayer9())) {
        result = com::SELFREG_E_CLASS;
    }
    return result;
}

com::HRESULT RemoveVersionKeys() {
    const com::HRESULT directX = RemoveDirectXValues();
    const com::HRESULT mediaPlayer = RemoveMediaPlayer9();
    // The parent key stays when other versions live below it.
    reg::Key parent;
    if (reg::OpenKey(reg::Hive::LocalMachine, kMediaPlayerKey, reg::Access::Read, &parent) ==
            reg::kSuccess &&
        parent.SubKeyNames().empty() && parent.ValueNames().empty())
        reg::DeleteKeyTree(reg::Hive::LocalMachine, kMediaPlayerKey);
    return com::Failed(directX) ? directX : mediaPlayer;
}

} // namespace fz::media
