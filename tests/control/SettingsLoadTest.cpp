#include "fzctrl/control/Bool.h"
#include "fzctrl/control/CFramzelCtrl.h"
#include "tests/control/SettingsTestSupport.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

using fz::CFramzelCtrl;
using fz::ConvertParams;
using fz::test::AddressOf;
using fz::test::SettingsTest;
using fz::test::StoreDword;
using fz::test::StoreString;
using fz::test::TempPathOf;

struct Row {
    const char* name;
    std::int32_t defaultValue;
    std::int32_t minimum;
    std::int32_t maximum;
};

struct RecordRow {
    Row row;
    std::int32_t ConvertParams::*field;
};

// The stored record values with their defaults and accepted ranges, in store order.
const RecordRow kExpectedRecordRows[] = {
    {{"width", 320, 80, 320}, &ConvertParams::width},
    {{"height", 240, 60, 320}, &ConvertParams::height},
    {{"framerate", 5, 1, 30}, &ConvertParams::framerate},
    {{"rotate", 0, 0, 270}, &ConvertParams::rotate},
    {{"jpegformat", 0, 0, 255}, &ConvertParams::jpegformat},
    {{"samplerate", 8000, 8000, 44100}, &ConvertParams::samplerate},
    {{"bitrate", 24000, 24000, 192000}, &ConvertParams::bitrate},
    {{"channels", 2, 1, 2}, &ConvertParams::channels},
    {{"audiocodec", 1, 0, 255}, &ConvertParams::audiocodec},
    {{"quality", 80, 10, 100}, &ConvertParams::quality},
    {{"fixed", 0, 0, 1}, &ConvertParams::fixed},
};

const Row kExpectedNamedRows[] = {
    {"rotate_preview", 1, 0, 1},
    {"vertical_cut", 0, 0, 1},
    {"over_write", 0, 0, 1},
    {"cutoff_widescreen", 0, 0, 1},
    {"cutoff_widescreentop", 16, 1, 40},
    {"cutoff_widescreenbottom", 15, 1, 40},
    {"audio_eq", 0, -12, 12},
};

// What is stored for a row (nothing for Missing) and what must load from it.
enum class Stored { Missing, Minimum, Maximum, BelowMinimum, AboveMaximum, FarAbove, AllOnes };

struct Scenario {
    Stored stored;
    const char* label;
};
const Scenario kScenarios[] = {
    {Stored::Missing, "missing"},          {Stored::Minimum, "minimum"},
    {Stored::Maximum, "maximum"},          {Stored::BelowMinimum, "minimum - 1"},
    {Stored::AboveMaximum, "maximum + 1"}, {Stored::FarAbove, "maximum + 80"},
    {Stored::AllOnes, "0xFFFFFFFF"},
};

std::uint32_t StoredValue(const Row& row, Stored stored) {
    switch (stored) {
    case Stored::Minimum:
        return static_cast<std::uint32_t>(row.minimum);
    case Stored::Maximum:
        return static_cast<std::uint32_t>(row.maximum);
    case Stored::BelowMinimum:
        return static_cast<std::uint32_t>(row.minimum - 1);
    case Stored::AboveMaximum:
        return static_cast<std::uint32_t>(row.maximum + 1);
    case Stored::FarAbove:
        return static_cast<std::uint32_t>(row.maximum + 80);
    case Stored::AllOnes:
    case Stored::Missing:
        break;
    }
    return 0xFFFFFFFFu;
}

std::int32_t ExpectedLoad(const Row& row, Stored stored) {
    switch (stored) {
    case Stored::Minimum:
        return row.minimum;
    case Stored::Maximum:
        return row.maximum;
    case Stored::AllOnes: // -1: in range only where negative values are accepted
        return row.minimum <= -1 ? -1 : row.defaultValue;
    default:
        return row.defaultValue;
    }
}

void StoreScenario(const Row& row, Stored stored) {
    if (stored != Stored::Missing)
        StoreDword(row.name, StoredValue(row, stored));
}

TEST_F(SettingsTest, RecordValuesLoadWhenInRangeAndAsDefaultOtherwise) {
    for (const Scenario& scenario : kScenarios) {
        fz::test::ClearSettings();
        for (const RecordRow& r : kExpectedRecordRows)
            StoreScenario(r.row, scenario.stored);

        const CFramzelCtrl ctrl;
        ConvertParams viaGetConfig = fz::test::FilledParams(0xA5);
        fz::Bool bret = fz::kFalse;
        ctrl.GetConfig(AddressOf(viaGetConfig), &bret);
        EXPECT_EQ(bret, fz::kTrue);

        for (const RecordRow& r : kExpectedRecordRows) {
            const std::int32_t expected = ExpectedLoad(r.row, scenario.stored);
            EXPECT_EQ(ctrl.Params().*r.field, expected)
                << "created control, " << r.row.name << " stored " << scenario.label;
            const bool isCodec = r.field == &ConvertParams::audiocodec;
            EXPECT_EQ(viaGetConfig.*r.field, isCodec ? 0 : expected)
                << "GetConfig, " << r.row.name << " stored " << scenario.label;
        }
    }
}

TEST_F(SettingsTest, OutOfRangeValuesTakeTheDefaultNotTheNearestLimit) {
    struct Case {
        const char* name;
        std::uint32_t stored;
        std::int32_t ConvertParams::*field;
        std::int32_t loads;
    };
    const Case cases[] = {
        {"width", 400, &ConvertParams::width, 320},
        {"width", 79, &ConvertParams::width, 320},
        {"height", 400, &ConvertParams::height, 240},
        {"framerate", 0, &ConvertParams::framerate, 5},
        {"samplerate", 48000, &ConvertParams::samplerate, 8000},
        {"quality", 5, &ConvertParams::quality, 80},
        {"rotate", 90, &ConvertParams::rotate, 90},
        {"channels", 1, &ConvertParams::channels, 1},
    };
    for (const Case& row : cases) {
        fz::test::ClearSettings();
        StoreDword(row.name, row.stored);
        ConvertParams params{};
        fz::Bool bret = fz::kFalse;
        CFramzelCtrl().GetConfig(AddressOf(params), &bret);
        EXPECT_EQ(params.*row.field, row.loads) << row.name << " stored " << row.stored;
    }
}

TEST_F(SettingsTest, GetConfigReplacesTheWholeRecordAndAlwaysGivesCodecZero) {
    StoreDword("audiocodec", 7);
    StoreDword("width", 176);
    StoreString("temp_path", "/data/tmp/");
    const CFramzelCtrl ctrl;
    EXPECT_EQ(ctrl.Params().audiocodec, 7) << "creation keeps the stored codec";

    ConvertParams params = fz::test::FilledParams(0xCC);
    fz::Bool bret = fz::kFalse;
    ctrl.GetConfig(AddressOf(params), &bret);
    EXPECT_EQ(bret, fz::kTrue);

    ConvertParams expected{};
    expected.width = 176;
    expected.height = 240;
    expected.framerate = 5;
    expected.samplerate = 8000;
    expected.bitrate = 24000;
    expected.channels = 2;
    expected.quality = 80;
    std::memcpy(expected.temp_path, "/data/tmp/", 10);
    EXPECT_EQ(std::memcmp(&params, &expected, sizeof params), 0)
        << "every field, the result fields and the bytes after the path included, is replaced";
}

TEST_F(SettingsTest, GetConfigWithoutRecordOrStore) {
    const CFramzelCtrl ctrl;
    fz::Bool bret = fz::kTrue;
    ctrl.GetConfig(0, &bret);
    EXPECT_EQ(bret, fz::kFalse);

    // An unreadable store is no error: every field takes its default.
    fz::test::UnusableSettingsStore unusable;
    ConvertParams params = fz::test::FilledParams(0x11);
    bret = fz::kFalse;
    ctrl.GetConfig(AddressOf(params), &bret);
    EXPECT_EQ(bret, fz::kTrue);
    EXPECT_EQ(params.width, 320);
    EXPECT_EQ(params.bitrate, 24000);
    EXPECT_EQ(params.audiocodec, 0);
    EXPECT_EQ(params.largestFrame, 0);
    EXPECT_EQ(TempPathOf(params), fz::test::DriveCDir().string() + "/");
}

TEST_F(SettingsTest, TempPathLoadsWhenItFitsTheRecord) {
    const std::string driveC = fz::test::DriveCDir().string() + "/";
    const std::string longest(259, 'p'); // 260 bytes with its terminator
    struct Case {
        const char* label;
        std::optional<std::string> stored;
        std::string loads;
    };
    const Case cases[] = {
        {"missing", std::nullopt, driveC},
        {"short", "/data/tmp/", "/data/tmp/"},
        {"empty", "", ""},
        {"259 characters", longest, longest},
        {"260 characters", longest + "p", driveC},
        {"1000 characters", std::string(1000, 'q'), driveC},
    };
    for (const Case& row : cases) {
        fz::test::ClearSettings();
        if (row.stored)
            StoreString("temp_path", *row.stored);
        ConvertParams params{};
        fz::Bool bret = fz::kFalse;
        const CFramzelCtrl ctrl;
        ctrl.GetConfig(AddressOf(params), &bret);
        EXPECT_EQ(TempPathOf(params), row.loads) << row.label;
        EXPECT_EQ(TempPathOf(ctrl.Params()), row.loads) << row.label;
        EXPECT_EQ(params.temp_path[fz::kTempPathSize - 1], '\0') << row.label;
    }
}

TEST_F(SettingsTest, CreationLoadsTheRecordButLeavesTheEngineFolderOnDriveC) {
    StoreString("temp_path", "/stored/folder");
    const CFramzelCtrl ctrl;
    EXPECT_EQ(TempPathOf(ctrl.Params()), "/stored/folder");
    EXPECT_EQ(ctrl.Engine().TempFolder(), fz::test::DriveCDir().string() + "/");
}

TEST_F(SettingsTest, NamedValuesLoadWhenInRangeAndAsDefaultOtherwise) {
    for (const Scenario& scenario : kScenarios) {
        fz::test::ClearSettings();
        for (const Row& row : kExpectedNamedRows)
            StoreScenario(row, scenario.stored);
        const CFramzelCtrl ctrl;
        for (const Row& row : kExpectedNamedRows) {
            long value = 12345;
            fz::Bool bret = fz::kFalse;
            ctrl.GetRegKeyValue(row.name, &value, &bret);
            EXPECT_EQ(bret, fz::kTrue) << row.name;
            EXPECT_EQ(value, ExpectedLoad(row, scenario.stored))
                << row.name << " stored " << scenario.label;
        }
    }
}

TEST_F(SettingsTest, NamedValuesAreFoundWithoutRegardToCase) {
    StoreDword("audio_eq", static_cast<std::uint32_t>(-7));
    StoreDword("cutoff_widescreentop", 30);
    struct Case {
        const char* key;
        long value;
    };
    const Case cases[] = {
        {"AUDIO_EQ", -7}, {"Audio_Eq", -7}, {"CutOff_WideScreenTop", 30}, {"ROTATE_PREVIEW", 1}};
    const CFramzelCtrl ctrl;
    for (const Case& row : cases) {
        long value = 0;
        fz::Bool bret = fz::kFalse;
        ctrl.GetRegKeyValue(row.key, &value, &bret);
        EXPECT_EQ(bret, fz::kTrue) << row.key;
        EXPECT_EQ(value, row.value) << row.key;
    }
}

TEST_F(SettingsTest, UnknownNamesGiveFalseAndLeaveTheValueAlone) {
    StoreDword("width", 200);
    const CFramzelCtrl ctrl;
    for (const char* key : {"width", "audio", "audio_eq ", " audio_eq", "audio-eq", "",
                            static_cast<const char*>(nullptr)}) {
        long value = 12345;
        fz::Bool bret = fz::kTrue;
        ctrl.GetRegKeyValue(key, &value, &bret);
        EXPECT_EQ(bret, fz::kFalse) << (key ? key : "(null)");
        EXPECT_EQ(value, 12345) << (key ? key : "(null)");
    }
}

} // namespace
