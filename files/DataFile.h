// Reading and replacing the data files (satellites, waypoints, routes, sky
// plots) so that nothing is ever clobbered, lost or half-written.
//
// Only regular files are read, replaced or removed: a target that is a
// directory, a device, a FIFO or a socket is refused with a message naming
// it, before anything is written, renamed or removed. A symbolic link is
// followed: the file it points to is replaced and the link stays.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Export.h"

namespace kovra {

// Files larger than this are refused rather than read into memory whole.
inline constexpr std::uintmax_t kMaxDataFileSize = 64ULL * 1024 * 1024;

// The whole content of a regular file; none when no file of that name
// exists. Throws EKovraNMEAException naming the file when it cannot be read,
// is not a regular file or is larger than kMaxDataFileSize.
KOVRA_API std::optional<std::string> ReadDataFile(const std::filesystem::path& file);

// Replaces `file` with `text`, all or nothing: the text goes to a new file
// beside it, is flushed to disk and renamed over the target. A new file gets
// mode 0666 less the umask; a replaced one keeps its mode (without the
// set-user-ID and set-group-ID bits) and, where the process may set them,
// its owner and group. On failure the earlier file is untouched and
// EKovraNMEAException names the file and the reason.
KOVRA_API void ReplaceDataFile(const std::filesystem::path& file, std::string_view text);

// Removes `file` when it is a regular file (or a link to one); a missing
// file is not an error. Anything else is refused as ReplaceDataFile does.
KOVRA_API void RemoveDataFile(const std::filesystem::path& file);

}  // namespace kovra
