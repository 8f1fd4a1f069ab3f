#pragma once

#include "fzctrl/control/ConvertParams.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace fz {

// The settings store: one key of the current user's hive. A newly created key gets the class
// string kSettingsKeyClass. Every value is a DWORD except kTempPathValueName (a string).
inline constexpr std::string_view kSettingsKeyPath = "Software\\Kelvora\\framzel";
inline constexpr std::string_view kSettingsKeyClass = "option";

// A stored integer that loads into a field of ConvertParams. A value that is missing, unreadable
// or outside minimum..maximum loads as the default; it is never clamped.
struct RecordValue {
    std::string_view name;
    std::int32_t ConvertParams::*field;
    std::int32_t defaultValue;
    std::int32_t minimum;
    std::int32_t maximum;
};

// The record's integer values, in the order they are loaded and stored.
inline constexpr std::array<RecordValue, 11> kRecordValues{{
    {"width", &ConvertParams::width, 320, 80, 320},
    {"height", &ConvertParams::height, 240, 60, 320},
    {"framerate", &ConvertParams::framerate, 5, 1, 30},
    {"rotate", &ConvertParams::rotate, 0, 0, 270},
    {"jpegformat", &ConvertParams::jpegformat, 0, 0, 255},
    {"samplerate", &ConvertParams::samplerate, 8000, 8000, 44100},
    {"bitrate", &ConvertParams::bitrate, 24000, 24000, 192000},
    {"channels", &ConvertParams::channels, 2, 1, 2},
    {"audiocodec", &ConvertParams::audiocodec, 1, 0, 255},
    {"quality", &ConvertParams::quality, 80, 10, 100},
    {"fixed", &ConvertParams::fixed, 0, 0, 1},
}};

// The record's temporary folder follows the integer values. It loads when the stored text,
// terminator included, fits the field; otherwise it loads as drive C: ("C:\").
inline constexpr std::string_view kTempPathValueName = "temp_path";

// A named integer that the program reads and writes by name (GetRegKeyValue, SetRegKeyValue);
// the caller's variable is its destination. Same load rule as a RecordValue.
struct NamedValue {
    std::string_view name;
    std::int32_t defaultValue;
    std::int32_t minimum;
    std::int32_t maximum;
};

inline constexpr std::array<NamedValue, 7> kNamedValues{{
    {"rotate_preview", 1, 0, 1},
    {"vertical_cut", 0, 0, 1},
    {"over_write", 0, 0, 1},
    {"cutoff_widescreen", 0, 0, 1},
    {"cutoff_widescreentop", 16, 1, 40},
    {"cutoff_widescreenbottom", 15, 1, 40},
    {"audio_eq", 0, -12, 12},
}};

template <typename Row>
constexpr bool DefaultsInRange(const Row& rows) {
    for (const auto& row : rows)
        if (row.defaultValue < row.minimum || row.defaultValue > row.maximum)
            return false;
    return true;
}
static_assert(DefaultsInRange(kRecordValues));
static_assert(DefaultsInRange(kNamedValues));

} // namespace fz
