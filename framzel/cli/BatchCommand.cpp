// framzel-cli batch FILES|FOLDERS... --out DIR: converts a list of videos into one folder, each
// file in a framzel-cli convert process of its own, up to --jobs at once.
#include "framzel/cli/CliCommand.h"
#include "framzel/cli/CliConsole.h"
#include "framzel/cli/TargetNames.h"
#include "platform/fs/DriveC.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fz::cli {
namespace {

std::atomic<bool> g_stopBatch{false};

extern "C" void OnBatchInterrupt(int) {
    g_stopBatch.store(true); // the children get the terminal's Ctrl-C themselves
}

// The exists test of the batch list: a file that can be read and holds something.
bool MovieExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) &&
           std::filesystem::file_size(path, error) > 0 && !error && access(path.c_str(), R_OK) == 0;
}

// The last line a child wrote on standard error, without the program's prefix.
std::string LastLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::string last;
    while (std::getline(in, line))
        if (!line.empty())
            last = line;
    const std::string prefix = "framzel-cli: ";
    if (last.rfind(prefix, 0) == 0)
        last.erase(0, prefix.size());
    return last;
}

struct Child {
    std::size_t index = 0;
    std::string errorFile;
};

class BatchCommand final : public CliCommand {
public:
    void Configure(CLI::App& command) override {
        command.add_option("SOURCES", m_sources, "Videos, or folders whose videos to convert")
            ->required();
        command.add_option("-o,--out", m_outputFolder, "The folder the movies go to")->required();
        command.add_flag("--overwrite", m_overwrite, "Convert also files whose movie exists");
        command.add_option("-j,--jobs", m_jobs, "Files converted at once (default: the cores)")
            ->check(CLI::PositiveNumber);
    }

    ExitStatus Run(const GlobalOptions& options) override {
        const std::string folder = AbsolutePath(m_outputFolder);
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error)) {
            PrintError("the output folder does not exist: " + folder);
            return kExitFailed;
        }
        const std::vector<std::string> sources = ExpandBatchSources(m_sources);
        if (sources.empty()) {
            PrintError("no videos to convert");
            return kExitFailed;
        }
        const int jobs = m_jobs > 0
                             ? m_jobs
                             : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
        struct sigaction action {};
        action.sa_handler = OnBatchInterrupt;
        sigemptyset(&action.sa_mask);
        struct sigaction previous {};
        sigaction(SIGINT, &action, &previous);

        bool anyFailed = false;
        std::map<pid_t, Child> running;
        std::size_t next = 0;
        const auto scratch = fs::DriveCFolder().value_or("/tmp/");
        while (next < sources.size() || !running.empty()) {
            while (!g_stopBatch.load() && next < sources.size() &&
                   static_cast<int>(running.size()) < jobs) {
                const std::size_t index = next++;
                const std::string& source = sources[index];
                const std::string target = TargetPath(folder, TargetNameOf(source));
                if (!m_overwrite && MovieExists(target)) {
                    std::printf("%s: skipped (the movie exists: %s)\n", source.c_str(),
                                target.c_str());
                    std::fflush(stdout);
                    continue;
                }
                Child child{index, scratch + "batch_" + std::to_string(getpid()) + "_" +
                                       std::to_string(index) + ".err"};
                const pid_t pid = Launch(source, target, child.errorFile, options);
                if (pid <= 0) {
                    std::printf("%s: failed (cannot start a conversion)\n", source.c_str());
                    anyFailed = true;
                    continue;
                }
                running[pid] = child;
            }
            if (running.empty())
                break;
            int status = 0;
            const pid_t pid = waitpid(-1, &status, 0);
            if (pid < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            const auto found = running.find(pid);
            if (found == running.end())
                continue;
            const Child child = found->second;
            running.erase(found);
            const std::string& source = sources[child.index];
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
                std::printf("%s: yes\n", source.c_str());
            } else {
                anyFailed = true;
                std::string reason = LastLine(child.errorFile);
                if (reason.empty())
                    reason = "the conversion ended abnormally";
                std::printf("%s: failed (%s)\n", source.c_str(), reason.c_str());
            }
            std::fflush(stdout);
            unlink(child.errorFile.c_str());
        }
        sigaction(SIGINT, &previous, nullptr);
        if (g_stopBatch.load() && next < sources.size())
            PrintError("stopped: " + std::to_string(sources.size() - next) +
                       " files were not converted");
        return anyFailed || g_stopBatch.load() ? kExitFailed : kExitDone;
    }

private:
    // framzel-cli convert --quiet SOURCE TARGET, its standard output to /dev/null and its
    // standard error to `errorFile`.
    static pid_t Launch(const std::string& source, const std::string& target,
                        const std::string& errorFile, const GlobalOptions& options) {
        std::vector<std::string> words{"/proc/self/exe", "--quiet"};
        if (options.verbose)
            words.push_back("--verbose");
        words.insert(words.end(), {"convert", source, target});
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = 0;
        const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return failed == 0 ? pid : -1;
    }

    std::vector<std::string> m_sources;
    std::string m_outputFolder;
    bool m_overwrite = false;
    int m_jobs = 0;
};

} // namespace

FRAMZEL_CLI_COMMAND(BatchCommand, "batch", "Convert a list of videos or folders into one folder");

} // namespace fz::cli
