// Runs a fuzz target over every file of a folder (and its subfolders), once each, so that the
// seeds and every input that once failed keep running as a test in builds without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    std::size_t count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[1], error)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++count;
    }
    if (error) {
        std::fprintf(stderr, "cannot read %s: %s\n", argv[1], error.message().c_str());
        return 1;
    }
    std::printf("ran %zu corpus inputs\n", count);
    if (count == 0) {
        // A misspelt or empty folder would otherwise pass without testing anything.
        std::fprintf(stderr, "no inputs in %s\n", argv[1]);
        return 1;
    }
    return 0;
}
