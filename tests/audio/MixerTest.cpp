#include "platform/audio/Mixer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace fz::audio;

TEST(MixerTest, FakeMixerKeepsOneVolumeForTheProcess) {
    setenv("FRAMZEL_MIXER", "fake:65535", 1);
    auto mixer = Mixer::Open();
    ASSERT_NE(mixer, nullptr);
    std::uint32_t maximum = 0;
    std::uint32_t value = 0;
    ASSERT_TRUE(mixer->GetMaximum(&maximum));
    EXPECT_EQ(maximum, 65535u);
    ASSERT_TRUE(mixer->GetVolume(&value));
    EXPECT_EQ(value, 32768u);
    ASSERT_TRUE(mixer->SetVolume(65500));
    EXPECT_FALSE(mixer->SetVolume(65536));
    // A second mixer sees the same system volume.
    setenv("FRAMZEL_MIXER", "fake:65535:65500", 1);
    auto other = Mixer::Open();
    ASSERT_TRUE(mixer->GetVolume(&value));
    EXPECT_EQ(value, 65500u);

    SetFakeMixerFailing(true);
    EXPECT_FALSE(mixer->GetMaximum(&maximum));
    EXPECT_FALSE(mixer->GetVolume(&value));
    EXPECT_FALSE(mixer->SetVolume(1));
    SetFakeMixerFailing(false);
    EXPECT_TRUE(mixer->SetVolume(0));
    EXPECT_FALSE(mixer->GetVolume(nullptr));
}

TEST(MixerTest, MixersThatCannotOpen) {
    for (const char* choice :
         {"fake:", "fake:abc", "fake:150:151", "fake:-1", "fake:10:x", "fake:99999999999", "oss"}) {
        SCOPED_TRACE(choice);
        setenv("FRAMZEL_MIXER", choice, 1);
        EXPECT_EQ(Mixer::Open(), nullptr);
    }
    setenv("FRAMZEL_MIXER", "fake:150:150", 1);
    EXPECT_NE(Mixer::Open(), nullptr);
    if (!std::filesystem::exists("/dev/snd")) {
        // No sound card: the ALSA mixer cannot open, quietly.
        setenv("FRAMZEL_MIXER", "alsa", 1);
        EXPECT_EQ(Mixer::Open(), nullptr);
        unsetenv("FRAMZEL_MIXER");
        EXPECT_EQ(Mixer::Open(), nullptr);
    }
}

} // namespace
