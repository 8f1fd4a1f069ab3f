#include "fzctrl/control/CFramzelCtrl.h"
#include "fzctrl/control/Bool.h"
#include "platform/registry/Registry.h"
#include "tests/control/SettingsTestSupport.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

using fz::Bool;
using fz::CFramzelCtrl;
using fz::ConvertParams;
using fz::kFalse;
using fz::kTrue;
using fz::test::AddressOf;
using fz::test::SettingsTest;
using fz::test::StoredDword;
using fz::test::StoredString;
using fz::test::TempPathOf;

std::string DriveC() {
    return fz::test::DriveCDir().string() + "/";
}

// A caller's record with every field set to something recognisable and the unused bytes
// filled, so that what the control must not take over stands out.
ConvertParams CallerRecord(std::int32_t framerate, const char* tempPath) {
    ConvertParams params = fz::test::FilledParams(0x5A);
    params.width = 176;
    params.height = 144;
    params.framerate = framerate;
    params.rotate = 90;
    params.fixed = 0;
    params.samplerate = 22050;
    params.bitrate = 32000;
    params.channels = 1;
    params.audiocodec = 9;
    params.jpegformat = 1;
    params.quality = 70;
    fz::test::SetTempPath(params, tempPath);
    return params;
}

TEST_F(SettingsTest, ConvertSetParamTakesTheSettingsAndLimitsTheFrameRate) {
    struct Case {
        std::int32_t given;
        std::int32_t kept;
    };
    const Case cases[] = {{30, 7}, {8, 7}, {7, 7}, {5, 5}, {1, 1}, {0, 0}, {-3, -3}};
    for (const Case& row : cases) {
        CFramzelCtrl ctrl;
        ConvertParams caller = CallerRecord(row.given, "/data/tmp");
        const ConvertParams before = caller;
        ctrl.ConvertSetParam(AddressOf(caller));

        const ConvertParams& own = ctrl.Params();
        EXPECT_EQ(own.framerate, row.kept) << "framerate " << row.given;
        EXPECT_EQ(own.width, 176);
        EXPECT_EQ(own.height, 144);
        EXPECT_EQ(own.rotate, 90);
        EXPECT_EQ(own.samplerate, 22050);
        EXPECT_EQ(own.bitrate, 32000);
        EXPECT_EQ(own.channels, 1);
        EXPECT_EQ(own.jpegformat, 1);
        EXPECT_EQ(own.quality, 70);
        EXPECT_EQ(own.fixed, 1) << "fixed image scale is always on for a conversion";
        EXPECT_EQ(own.audiocodec, 0);
        for (std::int32_t result :
             {own.largestFrame, own.deliveredSampleRate, own.deliveredChannels,
              own.videoStartOffsetMs, own.audioLengthMs})
            EXPECT_EQ(result, 0) << "result fields start at 0";
        EXPECT_EQ(TempPathOf(own), "/data/tmp");
        EXPECT_EQ(ctrl.Engine().TempFolder(), "/data/tmp/");
        EXPECT_EQ(std::memcmp(&caller, &before, sizeof caller), 0) << "the caller's record";
    }
}

TEST_F(SettingsTest, ConvertSetParamTerminatesAFullPathAndIgnoresAddressZero) {
    CFramzelCtrl ctrl;
    ConvertParams caller = CallerRecord(5, "");
    std::memset(caller.temp_path, 'a', fz::kTempPathSize);
    ctrl.ConvertSetParam(AddressOf(caller));
    EXPECT_EQ(TempPathOf(ctrl.Params()), std::string(259, 'a'));
    EXPECT_EQ(ctrl.Engine().TempFolder(), std::string(259, 'a') + "/");

    const ConvertParams before = ctrl.Params();
    ctrl.ConvertSetParam(0);
    EXPECT_EQ(std::memcmp(&ctrl.Params(), &before, sizeof before), 0);
    EXPECT_EQ(ctrl.Engine().TempFolder(), std::string(259, 'a') + "/");
    EXPECT_FALSE(StoredDword("width")) << "ConvertSetParam does not store anything";
}

TEST_F(SettingsTest, SetConfigStoresTheRecordUncheckedAndGetConfigFiltersIt) {
    CFramzelCtrl ctrl;
    ConvertParams caller = CallerRecord(30, "/data/My Movies");
    caller.width = 400;
    caller.quality = -5;
    caller.audiocodec = 7;
    Bool bret = kFalse;
    ctrl.SetConfig(AddressOf(caller), &bret);
    EXPECT_EQ(bret, kTrue);

    struct Case {
        const char* name;
        std::uint32_t stored;
    };
    const Case stored[] = {
        {"width", 400},    {"height", 144},          {"framerate", 30},  {"rotate", 90},
        {"jpegformat", 1}, {"samplerate", 22050},    {"bitrate", 32000}, {"channels", 1},
        {"audiocodec", 7}, {"quality", 0xFFFFFFFBu}, {"fixed", 0},
    };
    for (const Case& row : stored)
        EXPECT_EQ(StoredDword(row.name), row.stored) << row.name;
    EXPECT_EQ(StoredString("temp_path"), "/data/My Movies");
    EXPECT_FALSE(StoredDword("largestFrame"));

    ConvertParams loaded{};
    ctrl.GetConfig(AddressOf(loaded), &bret);
    EXPECT_EQ(loaded.width, 320);
    EXPECT_EQ(loaded.quality, 80);
    EXPECT_EQ(loaded.framerate, 30) << "the store keeps up to 30; only a conversion limits it";
    EXPECT_EQ(loaded.audiocodec, 0);
    EXPECT_EQ(TempPathOf(loaded), "/data/My Movies");
    EXPECT_EQ(CFramzelCtrl().Params().audiocodec, 7);
}

TEST_F(SettingsTest, WritingCreatesTheKeyWithItsClass) {
    using Store = void (*)(CFramzelCtrl&);
    const Store stores[] = {
        [](CFramzelCtrl& ctrl) {
            ConvertParams record = CallerRecord(5, "/data");
            Bool bret = kFalse;
            ctrl.SetConfig(AddressOf(record), &bret);
        },
        [](CFramzelCtrl& ctrl) {
            Bool bret = kFalse;
            ctrl.SetRegKeyValue("audio_eq", 2, &bret);
        },
    };
    for (const Store store : stores) {
        fz::test::ClearSettings();
        CFramzelCtrl ctrl;
        store(ctrl);
        fz::registry::Key key;
        ASSERT_EQ(fz::registry::OpenKey(fz::registry::Hive::CurrentUser,
                                        "Software\\Kelvora\\framzel", fz::registry::Access::Read,
                                        &key),
                  fz::registry::kSuccess);
        EXPECT_EQ(key.ClassName(), "option");
    }
}

TEST_F(SettingsTest, SetConfigResetsTheEngineFolderFromTheControlsOwnRecord) {
    fz::test::StoreString("temp_path", "/loaded/at/creation");
    CFramzelCtrl ctrl;
    ASSERT_EQ(ctrl.Engine().TempFolder(), DriveC());

    ctrl.SetTempPath("/chosen/later");
    ConvertParams stored = CallerRecord(5, "/just/stored");
    Bool bret = kFalse;
    ctrl.SetConfig(AddressOf(stored), &bret);
    EXPECT_EQ(ctrl.Engine().TempFolder(), "/loaded/at/creation/");

    ConvertParams given = CallerRecord(5, "/given/to/convert");
    ctrl.ConvertSetParam(AddressOf(given));
    const ConvertParams own = ctrl.Params();
    ctrl.SetTempPath("/chosen/again");
    ctrl.SetConfig(AddressOf(stored), &bret);
    EXPECT_EQ(ctrl.Engine().TempFolder(), "/given/to/convert/");
    EXPECT_EQ(StoredString("temp_path"), "/just/stored");
    EXPECT_EQ(std::memcmp(&ctrl.Params(), &own, sizeof own), 0)
        << "the next conversion still uses the record last given to ConvertSetParam";
}

TEST_F(SettingsTest, ControlsKeepTheirOwnRecordsAndShareTheStore) {
    CFramzelCtrl first;
    CFramzelCtrl second;
    ConvertParams given = CallerRecord(5, "/first");
    first.ConvertSetParam(AddressOf(given));
    first.SetEQ(4);
    EXPECT_EQ(second.Params().width, 320);
    EXPECT_EQ(second.Engine().TempFolder(), DriveC());
    EXPECT_EQ(second.Engine().EqualizerLevel(), 0);

    Bool bret = kFalse;
    first.SetConfig(AddressOf(given), &bret);
    first.SetRegKeyValue("over_write", 1, &bret);
    ConvertParams loaded{};
    second.GetConfig(AddressOf(loaded), &bret);
    EXPECT_EQ(loaded.width, 176);
    EXPECT_EQ(TempPathOf(loaded), "/first");
    long overWrite = 0;
    second.GetRegKeyValue("over_write", &overWrite, &bret);
    EXPECT_EQ(overWrite, 1);
}

TEST_F(SettingsTest, SetConfigReportsAStoreThatCannotBeWritten) {
    CFramzelCtrl ctrl;
    ConvertParams given = CallerRecord(5, "/given");
    ctrl.ConvertSetParam(AddressOf(given));
    ctrl.SetTempPath("/elsewhere");

    Bool bret = kFalse;
    ctrl.SetConfig(0, &bret);
    EXPECT_EQ(bret, kFalse) << "address 0";
    EXPECT_EQ(ctrl.Engine().TempFolder(), "/elsewhere/") << "address 0 does nothing else";

    ConvertParams record = CallerRecord(5, "/lost");
    {
        fz::test::UnusableSettingsStore unusable;
        bret = kTrue;
        ctrl.SetConfig(AddressOf(record), &bret);
        EXPECT_EQ(bret, kFalse) << "nothing was stored";
        EXPECT_EQ(ctrl.Engine().TempFolder(), "/given/");
    }
    EXPECT_FALSE(StoredDword("width"));
    ctrl.SetConfig(AddressOf(record), &bret);
    EXPECT_EQ(bret, kTrue);
}

TEST_F(SettingsTest, SetRegKeyValueWritesUncheckedValuesByName) {
    struct Case {
        const char* key;
        long value;
        const char* storedName;
        std::uint32_t stored;
        long loads;
    };
    const Case cases[] = {
        {"cutoff_widescreentop", 99, "cutoff_widescreentop", 99, 16},
        {"CUTOFF_WIDESCREENBOTTOM", 40, "cutoff_widescreenbottom", 40, 40},
        {"AUDIO_EQ", -12, "audio_eq", 0xFFFFFFF4u, -12},
        {"Audio_Eq", 13, "audio_eq", 13, 0},
        {"over_write", 1, "over_write", 1, 1},
        {"rotate_preview", 0, "rotate_preview", 0, 0},
        {"vertical_cut", 2, "vertical_cut", 2, 0},
        {"cutoff_widescreen", 0x100000001L, "cutoff_widescreen", 1, 1},
    };
    CFramzelCtrl ctrl;
    for (const Case& row : cases) {
        Bool bret = kFalse;
        ctrl.SetRegKeyValue(row.key, row.value, &bret);
        EXPECT_EQ(bret, kTrue) << row.key;
        EXPECT_EQ(StoredDword(row.storedName), row.stored) << row.key;
        long value = 0;
        ctrl.GetRegKeyValue(row.storedName, &value, &bret);
        EXPECT_EQ(value, row.loads) << row.key;
    }
}

TEST_F(SettingsTest, SetRegKeyValueRefusesUnknownNamesAndAnUnusableStore) {
    CFramzelCtrl ctrl;
    for (const char* key : {"width", "audio", "", static_cast<const char*>(nullptr)}) {
        Bool bret = kTrue;
        ctrl.SetRegKeyValue(key, 1, &bret);
        EXPECT_EQ(bret, kFalse) << (key ? key : "(null)");
    }
    EXPECT_FALSE(StoredDword("width"));
    EXPECT_FALSE(StoredDword("audio"));

    fz::test::UnusableSettingsStore unusable;
    Bool bret = kTrue;
    ctrl.SetRegKeyValue("audio_eq", 3, &bret);
    EXPECT_EQ(bret, kFalse);
}

TEST_F(SettingsTest, SetEQLimitsTheLevel) {
    struct Case {
        short given;
        std::int16_t kept;
    };
    const Case cases[] = {{25, 18},   {19, 18},   {18, 18},   {7, 7},      {0, 0},
                          {-18, -18}, {-19, -18}, {-40, -18}, {32767, 18}, {-32768, -18}};
    CFramzelCtrl ctrl;
    for (const Case& row : cases) {
        ctrl.SetEQ(row.given);
        EXPECT_EQ(ctrl.Engine().EqualizerLevel(), row.kept) << row.given;
    }
}

TEST_F(SettingsTest, CutOffWideScreenKeepsFractionsBelowHalfThePicture) {
    struct Step {
        Bool value;
        long top;
        long bottom;
        Bool enabled;
        double topFraction;
        double bottomFraction;
    };
    // Applied in order: an ignored call keeps what the step before set.
    const Step steps[] = {
        {kTrue, 16, 15, kTrue, 0.16, 0.15},  {kTrue, 50, 10, kTrue, 0.16, 0.15},
        {kTrue, 10, 50, kTrue, 0.16, 0.15},  {kTrue, 49, 49, kTrue, 0.49, 0.49},
        {kFalse, 50, 10, kFalse, 0.0, 0.0},  {kTrue, 0, 0, kTrue, 0.0, 0.0},
        {kTrue, -5, 10, kTrue, -0.05, 0.10}, {-1, 20, 30, kTrue, 0.20, 0.30},
        {kFalse, 20, 30, kFalse, 0.0, 0.0},  {kTrue, 60, 60, kFalse, 0.0, 0.0},
    };
    CFramzelCtrl ctrl;
    for (const Step& step : steps) {
        ctrl.CutOffWideScreen(step.value, step.top, step.bottom);
        const auto& cut = ctrl.Engine().WideScreenCut();
        const std::string label = std::to_string(step.value) + ", " + std::to_string(step.top) +
                                  ", " + std::to_string(step.bottom);
        EXPECT_EQ(cut.enabled, step.enabled) << label;
        EXPECT_DOUBLE_EQ(cut.top, step.topFraction) << label;
        EXPECT_DOUBLE_EQ(cut.bottom, step.bottomFraction) << label;
    }
}

TEST_F(SettingsTest, FlagsAreStoredAsTrueOrFalse) {
    struct Case {
        Bool given;
        Bool kept;
    };
    const Case cases[] = {{kTrue, kTrue}, {kFalse, kFalse}, {-1, kTrue}, {2, kTrue}};
    CFramzelCtrl ctrl;
    EXPECT_EQ(ctrl.Engine().VerticalCut(), kFalse);
    EXPECT_EQ(ctrl.Engine().PreviewRotate(), kTrue);
    for (const Case& row : cases) {
        ctrl.SetVCut(row.given);
        EXPECT_EQ(ctrl.Engine().VerticalCut(), row.kept) << row.given;
        Bool bret = kFalse;
        ctrl.SetPreviewRotate(row.given, &bret);
        EXPECT_EQ(bret, kTrue);
        EXPECT_EQ(ctrl.Engine().PreviewRotate(), row.kept) << row.given;
    }
}

TEST_F(SettingsTest, SetTempPathHandsTheEngineAFolderWithoutSpaces) {
    struct Case {
        const char* value;
        std::string folder; // after the call; the previous folder is "/before/"
    };
    const Case cases[] = {
        {"/data/tmp", "/data/tmp/"}, {"/data/tmp/", "/data/tmp/"},    {"/data/My Movies/tmp", "/"},
        {"My Movies", ""},           {"  /data/tmp", "  /data/tmp/"}, {"", "/before/"},
        {"  ", "/before/"},          {nullptr, "/before/"},
    };
    for (const Case& row : cases) {
        CFramzelCtrl ctrl;
        ctrl.SetTempPath("/before");
        ctrl.SetTempPath(row.value);
        EXPECT_EQ(ctrl.Engine().TempFolder(), row.folder) << (row.value ? row.value : "(null)");
    }
}

} // namespace
