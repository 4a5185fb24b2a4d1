// The user's local application-data folder and whole-tree operations of the
// Windows shell (SHFileOperationA: no dialog, no confirmation, no error
// message, no recycle bin).
#pragma once

#include <optional>
#include <string>

namespace platform {

// SHGetFolderPathA for CSIDL_LOCAL_APPDATA with flags 0 (the folder's current
// path); nothing when the shell cannot give it.
std::optional<std::string> LocalAppDataFolder();

// The longest path the shell operations are handed: anything longer is
// refused here and never reaches the shell, which misbehaves on such paths.
constexpr size_t kMaxShellPath = 259;

// Deletes the file or folder and everything in it, outright. True when the
// shell reported success.
bool DeleteTree(const std::string& path);

// Copies everything that `sourcePattern` (a folder followed by "\*") matches
// into `destination`, replacing files of the same name. True when the shell
// reported success and nothing was aborted.
bool CopyIntoFolder(const std::string& sourcePattern, const std::string& destination);

}  // namespace platform
