#include "platform/log/Diagnostics.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>

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

// A host's sink that hands the line to its GUI thread and waits until it is shown, while the
// GUI thread prints before it shows the line: were the sink called under a lock of the
// diagnostics, the two threads would wait for each other for ever.
TEST(DiagnosticsTest, SinkMayWaitForAThreadThatPrints) {
    std::mutex mutex;
    std::condition_variable changed;
    std::string pending;
    std::string shown;
    auto previous = fz::SetDiagnosticsSink([&](std::string_view text) {
        std::unique_lock lock(mutex);
        if (text.starts_with("gui")) { // the GUI thread's own line is shown at once
            shown += text;
            return;
        }
        pending = text;
        changed.notify_all();
        changed.wait(lock, [&] { return pending.empty(); });
    });
    std::thread gui([&] {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !pending.empty(); });
        lock.unlock();
        fz::DebugPrint("gui: a line arrived\n"); // while the worker waits inside the sink
        lock.lock();
        shown += pending;
        pending.clear();
        changed.notify_all();
    });
    std::thread worker([] { fz::DebugPrint("worker %d\n", 1); });
    auto joined = std::async(std::launch::async, [&] {
        worker.join();
        gui.join();
    });
    if (joined.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        std::fprintf(stderr, "the worker and the GUI thread wait for each other\n");
        std::_Exit(1); // the threads cannot be joined
    }
    fz::SetDiagnosticsSink(std::move(previous));
    EXPECT_EQ(shown, "gui: a line arrived\nworker 1\n");
}

} // namespace
