// Replacing a file so that a crash, a full disk or an I/O error at any point
// leaves either the old file whole or the new one whole, never a mix.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace keyloft {

// Writes content to a new file in the same folder, flushes it to disk and renames
// it over path. A link at path is followed, so the file it names is replaced.
// An existing file keeps its permissions; a new one gets 0666 less the umask.
// The folder must exist. On failure nothing at path changes and false is returned.
bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view content);

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// The local time as YYYYMMDD-HHMMSS: the stamp in the names of the files
// the program keeps (backups, files set aside), which sort by it.
std::string LocalTimeStamp();

// Moves a file this program cannot use out of the way, never overwriting it:
// renamed beside itself as "<name>.unreadable-<local time>" (a number added
// when that name is taken). The new name, or nothing when it could not move.
std::optional<std::filesystem::path> SetFileAside(const std::filesystem::path& path);

}  // namespace keyloft
