#pragma once

#include <cstdint>

namespace fz {

class CPreviewDrawer;

// The engine's frame handler: decodes one JPEG frame of the playing movie and draws it with the
// drawer. The frame's bytes go to a temporary file of its own in drive C: (named after the
// process and a counter, created exclusively), which is decoded (CFrameImage::LoadJpeg, with
// libjpeg's message boxes) and deleted whatever the outcome. A frame of 0 bytes, or one whose
// file cannot be written, is skipped quietly. Runs on the player's audio thread, or on the
// control's thread while playback starts; `jpeg` stays valid during the call.
void HandleMovieFrame(const std::uint8_t* jpeg, std::uint32_t size, CPreviewDrawer& drawer);

} // namespace fz
