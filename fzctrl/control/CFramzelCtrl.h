#pragma once

#include "fzctrl/control/Bool.h"
#include "fzctrl/control/CMovieEngine.h"
#include "fzctrl/control/ConvertParams.h"
#include "fzctrl/play/CVolumeMixer.h"

namespace fz {

// The control: the object behind the dispatch interface. It owns its engine and its own copy of
// ConvertParams for its whole life. Several controls may live in one process; each has its own
// engine and record, while the settings store is shared.
//
// Every method runs on the thread that owns the control. The methods take the argument types
// the dispatch table passes: a `long` that carries the address of a caller's ConvertParams (the
// control copies from or into it during the call and keeps no pointer), texts as
// zero-terminated strings (null counts as empty), and Bool in and out. A null out-parameter is
// not written; the operation is carried out all the same.
class CFramzelCtrl {
public:
    // Zeroes the control's record and loads it from the settings store as GetConfig does, but
    // with `audiocodec` as stored. The engine's temporary folder stays drive C:.
    CFramzelCtrl();

    // Replaces the control's record by the caller's settings: width and height (a size below 1
    // or above the video filter's kMaxTargetDimension takes its default), framerate (at most
    // 7; smaller values, negative ones too, as given), rotate, samplerate, bitrate, channels,
    // quality, jpegformat and all of temp_path with its last byte forced to 0. `fixed` becomes
    // 1; audiocodec and the result fields are 0. Then sets the engine's temporary folder from
    // the new temp_path. Address 0 does nothing.
    void ConvertSetParam(long value);

    // Replaces the caller's whole record by the stored settings (defaults for what is missing
    // or out of range) with audiocodec 0. FALSE only for address 0.
    void GetConfig(long value, Bool* bret) const;

    // Stores the caller's record unchecked, then sets the engine's temporary folder again from
    // the control's own record (not the one just stored). FALSE for address 0 and when the
    // settings store cannot be written.
    void SetConfig(long value, Bool* bret);

    // Reads the named value `key` (any case): the stored value, or the row's default when it is
    // missing or out of range. A name that is not a named value gives FALSE and leaves `value`
    // untouched.
    void GetRegKeyValue(const char* key, long* value, Bool* bret) const;

    // Writes the named value `key` (any case) unchecked, as a 32-bit value. FALSE when the
    // settings store cannot be written or the name is not a named value.
    void SetRegKeyValue(const char* key, long value, Bool* bret);

    // The equaliser level, limited to -18..18.
    void SetEQ(short value);

    void SetVCut(Bool value);

    // `top` and `bottom` are percentages of the picture height. FALSE turns the cut-off off
    // (0.0, 0.0); TRUE with either percentage 50 or more is ignored; otherwise the cut-off is on
    // with the fractions top × 0.01 and bottom × 0.01 (negative ones are accepted).
    void CutOffWideScreen(Bool value, long top, long bottom);

    // Stores the preview rotation flag; `bret` receives TRUE.
    void SetPreviewRotate(Bool rotate, Bool* bret);

    // Hands `value` to the engine's temporary folder by the rule of TempPathForEngine.
    void SetTempPath(const char* value);

    // Playback, the format query and the volume (CFramzelCtrlPlayback.cpp). Paths are host
    // paths; null counts as empty.

    // Stores the preview window and rectangle as passed: a conversion previews into it and
    // playback draws into it, from the next ConvertStart or PlayStart.
    void SetPreviewWindow(long hwnd, long left, long top, long right, long bottom);
    // Nothing at all when `bret` is null.
    void PlayStart(const char* file, Bool* bret);
    // Stops and closes; `value` (when not null) receives TRUE.
    void PlayStop(Bool* value);
    // All four outputs are 0 first; they hold the picture size, the sample rate and the channel
    // count when `bret` is TRUE.
    void GetFormat(const char* file, long* width, long* height, long* samplerate, long* channels,
                   Bool* bret);
    void PlayTotleTime(long* value);
    void PlayCurrentTime(long* value);
    void IsPlaying(Bool* value);
    // Maximum 100 and minimum 0 when the volume can be read; both 0 and FALSE otherwise.
    void GetVolumeRange(long* max, long* min, Bool* bret);
    void GetVolume(long* value, Bool* bret);
    void SetVolume(long value, Bool* bret);

    // Conversion (CFramzelCtrlConvert.cpp). ConvertStart exchanges 90 and 270 in the control's
    // record's rotation and sets `fixed` to 1, then starts the engine's conversion of `srcfile`
    // into `dstfile` (host paths); TRUE when it started (movie-make mode) or completed (fast).
    void ConvertStart(const char* srcfile, const char* dstfile, Bool bfast, Bool* bret);
    void ConvertRecord(Bool* value);
    void ConvertPause(Bool* value);
    void ConvertRun(Bool* value);
    void ConvertStop(Bool* value);
    void ConvertSetPosition(long value);
    void CanConvertSeeking(Bool* value);
    void ConvertGetTotleTime(long* value);
    void ConvertGetCurrentTime(long* value);
    void GetConvertState(short* value);

    // The control's own record: the one last given to ConvertSetParam, or loaded at creation.
    const ConvertParams& Params() const { return m_params; }
    CMovieEngine& Engine() { return m_engine; }
    const CMovieEngine& Engine() const { return m_engine; }

private:
    CMovieEngine m_engine;
    CVolumeMixer m_volume;
    ConvertParams m_params{};
};

} // namespace fz
