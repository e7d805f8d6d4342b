// Feeds every file of the folders and files named on the command line to the fuzz entry
// point once, so that each corpus is replayed by the ordinary test run.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int replayFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg = argv[i];
        if (std::filesystem::is_directory(arg)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(arg))
                if (e.is_regular_file()) count += replayFile(e.path());
        } else if (std::filesystem::is_regular_file(arg)) {
            count += replayFile(arg);
        } else {
            std::fprintf(stderr, "replay: no such file or folder: %s\n", argv[i]);
            return 1;
        }
    }
    if (count == 0) {
        std::fprintf(stderr, "replay: the corpus is empty\n");
        return 1;
    }
    std::printf("replayed %d inputs\n", count);
    return 0;
}
