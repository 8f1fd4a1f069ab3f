#pragma once

#include <string>
#include <vector>

namespace fz::test {

// Runs the built framzel-cli with `arguments` (no shell), standard input from /dev/null, and
// collects its exit status and both output streams.
struct CliResult {
    int status = -1; // the exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};
CliResult RunCli(const std::vector<std::string>& arguments);

} // namespace fz::test
