#pragma once

#include "fzctrl/play/MediaFormats.h"

#include <string>

namespace fz {

// The picture and sound format of a file, both records filled completely.
struct MediaFormat {
    BitmapInfoHeader picture;
    WaveFormatRecord sound;
};

// The format query of the engine (GetFormat and play start), on the control's thread. Files
// that begin with "KQFF" or "YHAV" (any letter case) are read as movies (ReadFormat); every
// other file is read as AVI: its first video stream's format (first 40 bytes) and its first
// audio stream's format (first 18 bytes) as stored. False when the file is no readable movie,
// or an AVI file without a video or an audio stream; an AVI file that cannot be opened also
// writes "error: open avi file failed\n" to the diagnostics. On false `format` is zeroed.
bool QueryMediaFormat(const std::string& hostPath, MediaFormat& format);

// The movie part of the query. KQFF movies must carry the magic in exactly this letter case;
// their format comes from the header (ADPCM kind) or the header and the first MPEG audio frame
// (MP3 kind); the data chunks are not examined. A YHAV movie's picture size comes from its first
// JPEG picture, written to a temporary file in drive C: (at most 1 MiB of it) and read with
// ReadJpegSize (which shows libjpeg's message box for a picture it cannot read).
bool ReadFormat(const std::string& hostPath, MediaFormat& format);

} // namespace fz
