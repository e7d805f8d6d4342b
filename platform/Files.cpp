#include "platform/Files.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace lqp {

namespace {

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string xdgFolder(const char* variable, const char* fallbackBelowHome) {
    const char* v = std::getenv(variable);
    std::string base;
    if (v && *v == '/') {
        base = v;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/" + fallbackBelowHome;
    }
    return base + "/lumquil";
}

}  // namespace

std::optional<std::uint64_t> freeSpace(const std::string& path) {
    std::string p = path.empty() ? "." : path;
    for (int depth = 0; depth < 256; ++depth) {
        struct statvfs s {};
        if (::statvfs(p.c_str(), &s) == 0) return std::uint64_t(s.f_bavail) * std::uint64_t(s.f_frsize);
        const std::string parent = parentOf(p);
        if (parent == p) break;
        p = parent;
    }
    return std::nullopt;
}

std::optional<std::int64_t> modificationTime(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

std::string programFolder() {
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return ".";
    return parentOf(std::string(buf.data(), std::size_t(n)));
}

std::string userCacheFolder() { return xdgFolder("XDG_CACHE_HOME", ".cache"); }
std::string userDataFolder() { return xdgFolder("XDG_DATA_HOME", ".local/share"); }

}  // namespace lqp
