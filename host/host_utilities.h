// File probes and program launch: what page script may learn of, and start
// on, the local machine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace host {

// Whether the file can be opened for reading (false for a folder).
bool fileExists(const std::string& path);

// Whether a file can be created in the folder, creating the folder chain the
// walk reaches on the way; the folders stay.
bool checkAccessRights(const std::string& folder);

// Starts the program the command line names; true once the process exists.
bool launchExe(const std::string& commandLine);

// The folders checkAccessRights ensures, in order, as lengths of the text:
// the prefix before each separator the walk stops at ("/" first; a backslash
// only when no "/" remains), then the whole text.
std::vector<size_t> FolderWalk(std::string_view text);

// The longest command line CreateProcessW takes, its terminator included.
constexpr size_t kMaxCommandLineUnits = 32767;

}  // namespace host
