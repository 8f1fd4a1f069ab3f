#pragma once

#include "fzctrl/control/ConvertParams.h"

#include <atomic>
#include <string>

namespace fz {

// The copy buffer of the frame records: a record of more than this many bytes (8 + L) is not
// copied.
inline constexpr std::size_t kMovieCopyBufferSize = 1048576;

// Turns the two intermediate files of a conversion into one movie file (MovieContainer.h):
// copies the frame records of `frameFile`, resamples the 16-bit PCM of `soundFile` to 8000 Hz
// (two channels mixed down to one first), encodes it as IMA ADPCM and writes the container.
// All paths are host paths. Called by the conversion driver on the control's thread, once per
// conversion, after the graph has stopped; the driver deletes the two intermediate files.
//
// `snapshot` is the driver's copy of the conversion record, with `width` and `height` already
// exchanged for a rotation of 90 or 270: the writer reads `width`, `height` and the video start
// offset, and writes the largest-frame field (largest image + 2) and the audio length in ms.
//
// Returns true only when the movie file is complete at `target`. The movie is written to a
// temporary file in the target's folder and renamed over the target at the end, so a failure
// (an intermediate file missing or not a 16-bit PCM WAVE file of 1 or 2 channels, a target
// that cannot be created, a write, seek or close that fails, a movie too long for its 32-bit
// sizes) leaves no partial movie and leaves a file already at `target` as it was. The 8000-Hz
// sound goes through a temporary file of a unique name in drive C:, deleted on every path; when
// it cannot be opened again the message box "Can not open this file" is shown.
//
// The copy of the frame records stops at a short read (the video section ends at the last
// complete record) and at a record whose length is below 12 or whose 8 + L bytes exceed the
// copy buffer; the movie is still completed with the records before it.
//
// `abandon`, when given, is watched while the records are copied and the sound is resampled:
// once it is set (by another thread or a signal handler) the writer gives up as after a failure.
bool WriteMovie(ConvertParams& snapshot, const std::string& target, const std::string& frameFile,
                const std::string& soundFile, const std::atomic<bool>* abandon = nullptr);

} // namespace fz
