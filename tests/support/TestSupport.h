// Helpers shared by the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace lqtest {

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
private:
    std::filesystem::path path_;
};

struct CommandResult {
    int exitCode = -1;
    std::string output;   // standard output and standard error together
};

// Runs a shell command and captures what it printed.
CommandResult run(const std::string& command);
// Runs a Python program with Debian's interpreter (which sees Pillow and ezdxf).
CommandResult runPython(const std::string& program);
// Quotes a string for the shell.
std::string shellQuote(const std::string& s);

std::vector<std::uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
void writeFile(const std::string& path, const std::string& text);

// The source tree and the build tree (from LQ_SOURCE_DIR / LQ_BINARY_DIR set by CTest).
std::string sourceDir();
std::string binaryDir();

}  // namespace lqtest
