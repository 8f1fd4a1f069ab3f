#pragma once

#include "platform/com/HResult.h"

namespace fz::media {

// The platform version keys that the program's start-up check reads, written by the media
// server's registration into HKEY_LOCAL_MACHINE only when the FFmpeg at hand decodes what
// each version stood for:
//   "Software\Microsoft\DirectX"  "InstalledVersion" = 00 00 00 08 00 00 00 01 (8.1),
//                                 "Version" = "4.08.01.0810"
//       when MPEG-1 and MPEG-2 video and MPEG-4 part 2 video can be decoded;
//   "Software\Microsoft\MediaPlayer\9.0"
//       when Windows Media video 7 and 8 (WMV1, WMV2) and audio 1 and 2 (WMAV1, WMAV2) can.
// A key whose codecs are missing is removed, so the check tells the truth about the machine.
struct MediaDecoders {
    bool directShow81 = false; // MPEG-1/2 video, MPEG-4 part 2
    bool mediaPlayer9 = false; // Windows Media video and audio
};

// What FFmpeg's libavcodec offers (avcodec_find_decoder).
MediaDecoders ProbeMediaDecoders();

// Writes (or removes) the keys for `decoders`; SELFREG_E_CLASS when the registry cannot be
// written.
com::HRESULT WriteVersionKeys(const MediaDecoders& decoders);
// Removes both keys' values written above.
com::HRESULT RemoveVersionKeys();

} // namespace fz::media
