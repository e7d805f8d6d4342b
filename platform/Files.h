// File-system helpers: free space, modification time and the program's folders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Export.h"

namespace lqp {

// Bytes available to the user on the file system holding `path`. A path that does not exist
// yet is measured at its nearest existing parent folder. Empty when nothing can be measured.
LQP_API std::optional<std::uint64_t> freeSpace(const std::string& path);
// Modification time in nanoseconds since the epoch, empty when the file does not exist.
LQP_API std::optional<std::int64_t> modificationTime(const std::string& path);
// Folder of the running executable, without a trailing "/".
LQP_API std::string programFolder();
// The user's cache and data folders for Lumquil ($XDG_CACHE_HOME/lumquil and
// $XDG_DATA_HOME/lumquil, with the XDG defaults); not created here.
LQP_API std::string userCacheFolder();
LQP_API std::string userDataFolder();

}  // namespace lqp
