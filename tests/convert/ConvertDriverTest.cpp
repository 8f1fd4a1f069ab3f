// The conversion driver's own rules, on the control: the names of the intermediate files, the
// refusals that come before any graph exists (and leave nothing behind), the temporary-folder
// probe with its fallback to drive C:, the rotation exchange and the idle answers.
#include "fzctrl/control/CFramzelCtrl.h"
#include "fzctrl/convert/CConvertDriver.h"
#include "platform/fs/DriveC.h"
#include "platform/log/Diagnostics.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using fz::Bool;
using fz::CFramzelCtrl;
using fz::kFalse;
using fz::kTrue;
using namespace fz::test;

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(ConvertDriverTest, IntermediateNamesCarryTheTickAndTheTargetWithoutSpaces) {
    EXPECT_EQ(fz::TemporaryBase("/tmp/t/", 1234567, "/out/my clip"), "/tmp/t/fz_01234567_myclip");
    EXPECT_EQ(fz::TemporaryBase("/t/", 5, "/a b/ c d .mp4"), "/t/fz_00000005_cd.mp4");
    EXPECT_EQ(fz::TemporaryBase("/t/", 123456789, "name"), "/t/fz_123456789_name");
}

TEST(ConvertDriverTest, PathsCompareWithoutLetterCase) {
    EXPECT_TRUE(fz::SamePathIgnoringCase("/c/a.avi", "/C/A.AVI"));
    EXPECT_FALSE(fz::SamePathIgnoringCase("/c/a.avi", "/c/a.avi2"));
    EXPECT_FALSE(fz::SamePathIgnoringCase("/c/a.avi", "/c/b.avi"));
}

// A control whose temporary folder is a fresh folder of the test.
struct Control {
    explicit Control(const std::string& name)
        : dir(FreshWorkDir(name))
        , temp(dir / "temp") {
        fs::create_directories(temp);
        ctrl.SetTempPath(temp.c_str());
    }
    Bool Start(const std::string& source, const std::string& target, Bool fast) {
        Bool ok = kTrue;
        ctrl.ConvertStart(source.c_str(), target.c_str(), fast, &ok);
        return ok;
    }
    fs::path dir;
    fs::path temp;
    CFramzelCtrl ctrl;
};

TEST(ConvertDriverTest, RefusalsGiveFalseAndLeaveNothingBehind) {
    Control c("driver-refusals");
    WriteFile(c.dir / "a.avi", "not really a video");
    WriteFile(c.dir / "text.avi", "a text file renamed");
    fs::create_directories(c.dir / "folder.avi");
    const std::string a = (c.dir / "a.avi").string();
    std::string upper = a;
    upper.replace(upper.size() - 5, 5, "A.AVI");
    fs::create_symlink(c.dir / "a.avi", c.dir / "link.mp4");
    struct Case {
        const char* name;
        std::string source;
        std::string target;
    };
    const std::vector<Case> cases = {
        {"same source and target in another case", a, upper},
        {"same file by another name", a, (c.dir / "link.mp4").string()},
        {"target without a folder", a, "movie.mp4"},
        {"missing source", (c.dir / "nothing.avi").string(), (c.dir / "m.mp4").string()},
        {"folder as source", (c.dir / "folder.avi").string(), (c.dir / "m.mp4").string()},
        {"empty source", "", (c.dir / "m.mp4").string()},
        {"source longer than 259 characters", std::string(300, 'x'), (c.dir / "m.mp4").string()},
    };
    for (const Bool fast : {kTrue, kFalse}) {
        for (const Case& k : cases) {
            EXPECT_EQ(c.Start(k.source, k.target, fast), kFalse) << k.name;
            EXPECT_TRUE(Entries(c.temp).empty()) << k.name;
            EXPECT_FALSE(fs::exists(c.dir / "m.mp4")) << k.name;
            short state = -1;
            c.ctrl.GetConvertState(&state);
            EXPECT_EQ(state, 0) << k.name;
        }
    }
    EXPECT_EQ(ReadFile(c.dir / "a.avi"), "not really a video");
    for (const auto& name : Entries(DriveCDir()))
        EXPECT_EQ(name.rfind("fz_", 0), std::string::npos) << "left in drive C: " << name;
}

TEST(ConvertDriverTest, AnUnwritableTemporaryFolderBecomesDriveCForGood) {
    Control c("driver-probe");
    c.ctrl.SetTempPath((c.dir / "no-such-folder").c_str());
    const std::string target = (c.dir / "m.mp4").string();
    EXPECT_EQ(c.Start((c.dir / "missing.avi").string(), target, kTrue), kFalse);
    EXPECT_EQ(c.ctrl.Engine().TempFolder(), *fz::fs::DriveCFolder());
    EXPECT_EQ(c.Start((c.dir / "missing.avi").string(), target, kTrue), kFalse);
    EXPECT_EQ(c.ctrl.Engine().TempFolder(), *fz::fs::DriveCFolder());
    EXPECT_FALSE(fs::exists(*fz::fs::DriveCFolder() + "52731904")) << "the probe file is gone";

    // A writable folder is kept, and its probe file removed.
    c.ctrl.SetTempPath(c.temp.c_str());
    EXPECT_EQ(c.Start((c.dir / "missing.avi").string(), target, kTrue), kFalse);
    EXPECT_EQ(c.ctrl.Engine().TempFolder(), c.temp.string() + "/");
    EXPECT_TRUE(Entries(c.temp).empty());
}

// With drive C: refused (a symbolic link stands in its place) there is no folder left for the
// intermediate files: the start fails with the reason in the diagnostics, before the probe
// could make its file in the current directory (a file of that name there keeps its bytes).
TEST(ConvertDriverTest, NoUsableTemporaryFolderFailsTheStartWithItsReason) {
    const fs::path dir = FreshWorkDir("driver-no-temp");
    const fs::path cwd = dir / "cwd";
    fs::create_directories(cwd);
    WriteFile(cwd / "52731904", "kept");
    const fs::path savedCwd = fs::current_path();
    fs::current_path(cwd);
    const std::string savedDriveC = std::getenv("FRAMZEL_DRIVE_C");
    fs::create_directory_symlink(dir, dir / "link");
    setenv("FRAMZEL_DRIVE_C", (dir / "link").c_str(), 1);

    std::string printed;
    const auto savedSink =
        fz::SetDiagnosticsSink([&printed](std::string_view text) { printed += text; });
    struct Case {
        const char* name;
        std::string tempPath; // empty: the folder the control starts with
        const char* reasonPart;
    };
    const Case cases[] = {
        {"drive C: refused from the start", "", "drive C: is refused"},
        {"a missing folder falls back to a refused drive C:", (dir / "missing").string(),
         "drive C: is refused"},
        {"a file as folder falls back to a refused drive C:", (cwd / "52731904").string(),
         "drive C: is refused"},
    };
    for (const Case& k : cases) {
        printed.clear();
        CFramzelCtrl ctrl;
        if (!k.tempPath.empty())
            ctrl.SetTempPath(k.tempPath.c_str());
        for (const Bool fast : {kTrue, kFalse}) {
            Bool ok = kTrue;
            ctrl.ConvertStart((dir / "missing.avi").c_str(), (dir / "m.mp4").c_str(), fast, &ok);
            EXPECT_EQ(ok, kFalse) << k.name;
        }
        EXPECT_NE(printed.find("temporary folder unavailable"), std::string::npos) << k.name;
        EXPECT_NE(printed.find(k.reasonPart), std::string::npos) << k.name << ": " << printed;
        EXPECT_EQ(ReadFile(cwd / "52731904"), "kept") << k.name;
        EXPECT_EQ(Entries(cwd).size(), 1u) << k.name;
        EXPECT_FALSE(fs::exists(dir / "m.mp4")) << k.name;
    }

    fz::SetDiagnosticsSink(savedSink);
    setenv("FRAMZEL_DRIVE_C", savedDriveC.c_str(), 1);
    fs::current_path(savedCwd);
}

TEST(ConvertDriverTest, EachStartExchangesNinetyAndTwoHundredSeventy) {
    Control c("driver-rotate");
    fz::ConvertParams params{};
    params.width = 176;
    params.height = 144;
    params.framerate = 5;
    params.rotate = 90;
    std::strncpy(params.temp_path, c.temp.c_str(), sizeof params.temp_path - 1);
    c.ctrl.ConvertSetParam(reinterpret_cast<long>(&params));
    const std::string missing = (c.dir / "missing.avi").string();
    const std::string target = (c.dir / "m.mp4").string();
    c.Start(missing, target, kTrue);
    EXPECT_EQ(c.ctrl.Params().rotate, 270);
    EXPECT_EQ(c.ctrl.Params().fixed, 1);
    c.Start(missing, target, kTrue);
    EXPECT_EQ(c.ctrl.Params().rotate, 90);
}

TEST(ConvertDriverTest, WithoutAGraphTheOperationsAnswerIdle) {
    CFramzelCtrl ctrl;
    Bool answer = kTrue;
    ctrl.ConvertRecord(&answer);
    EXPECT_EQ(answer, kFalse);
    answer = kTrue;
    ctrl.ConvertPause(&answer);
    EXPECT_EQ(answer, kFalse);
    answer = kTrue;
    ctrl.ConvertRun(&answer);
    EXPECT_EQ(answer, kFalse);
    answer = kTrue;
    ctrl.CanConvertSeeking(&answer);
    EXPECT_EQ(answer, kFalse);
    long total = -1, current = -1;
    ctrl.ConvertGetTotleTime(&total);
    ctrl.ConvertGetCurrentTime(&current);
    EXPECT_EQ(total, 0);
    EXPECT_EQ(current, 0);
    short state = -1;
    ctrl.GetConvertState(&state);
    EXPECT_EQ(state, 0);
    ctrl.ConvertSetPosition(1000);
    answer = kFalse;
    ctrl.ConvertStop(&answer);
    EXPECT_EQ(answer, kTrue);
}

} // namespace
