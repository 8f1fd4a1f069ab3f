#include "platform/log/Diagnostics.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(DiagnosticsTest, FormatsToStandardOutputOrToTheInstalledSink) {
    testing::internal::CaptureStdout();
    fz::DebugPrint("frame %d of %s\n", 3, "movie");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "frame 3 of movie\n");

    std::string seen;
    auto previous = fz::SetDiagnosticsSink([&](std::string_view text) { seen += text; });
    fz::DebugPrint("%s", "");
    fz::DebugPrint("%05u|", 42u);
    fz::SetDiagnosticsSink(std::move(previous));
    EXPECT_EQ(seen, "00042|");
}

} // namespace
