// Text conversion and process creation for starting programs.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace platform {

// The text in the system's ANSI code page, as UTF-16; nothing when it does
// not convert or needs more than `maxUnits` UTF-16 units. The length is
// checked before anything is allocated.
std::optional<std::wstring> AnsiToWide(const std::string& text, size_t maxUnits);

// Starts the program that the command line names, detached from any console,
// inheriting no handles, the environment and the current folder. The handles
// of the new process are closed at once; it is not waited for.
bool StartDetachedProcess(const std::wstring& commandLine);

}  // namespace platform
