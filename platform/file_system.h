// Folders and file probes by path: narrow text is read as the narrow file
// functions read it (see WidePathOf), wide text is taken as it is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Whether a file or folder of that name exists.
bool PathExists(const std::string& path);
bool PathExists(const std::wstring& path);

// The file's last write time in 100-nanosecond units, as fine as the file
// system keeps it; nothing when the file cannot be queried.
std::optional<uint64_t> LastWriteTime(const std::string& path);

// Whether a folder (not a file) of that name exists.
bool IsFolder(const std::string& path);
bool IsFolder(const std::wstring& path);

// Renames a file or folder with the runtime's rename: fails when the old
// name is missing or the new one exists.
bool RenamePath(const std::string& from, const std::string& to);
bool RenamePath(const std::wstring& from, const std::wstring& to);

// Creates one folder with default security; false when it was not created.
bool CreateFolder(const std::string& path);
bool CreateFolder(const std::wstring& path);

enum class NewFileOutcome { Created, AlreadyExists, Failed };

// Creates an empty file only when none of that name exists, and closes it.
NewFileOutcome CreateNewFile(const std::string& path);

// Whether an existing file can be opened for appending; the file is closed
// again without a byte written, so it stays exactly as it was.
bool CanOpenForAppending(const std::string& path);

}  // namespace platform
