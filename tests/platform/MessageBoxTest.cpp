#include "platform/ui/MessageBox.h"

#include <gtest/gtest.h>

namespace {

using namespace fz::ui;

TEST(MessageBoxTest, RecorderCapturesAndRestoresPreviousHandler) {
    int outerCalls = 0;
    SetMessageBoxHandler([&](WindowHandle, std::string_view, std::string_view, std::uint32_t) {
        ++outerCalls;
        return kIdCancel;
    });
    {
        MessageBoxRecorder recorder(kIdNo);
        EXPECT_EQ(MessageBox(7, "Can not open this file", "framzel", kMbYesNo | kMbIconError),
                  kIdNo);
        auto shown = recorder.Messages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].owner, 7u);
        EXPECT_EQ(shown[0].text, "Can not open this file");
        EXPECT_EQ(shown[0].caption, "framzel");
        EXPECT_EQ(shown[0].style, kMbYesNo | kMbIconError);
    }
    EXPECT_EQ(MessageBox(0, "x", "y", kMbOk), kIdCancel);
    EXPECT_EQ(outerCalls, 1);
    SetMessageBoxHandler({});
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBox(0, "JPEG Fatal Error", "fzdsp", kMbOk), kIdOk);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "fzdsp: JPEG Fatal Error\n");
}

} // namespace
