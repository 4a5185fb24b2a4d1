// Appending lines to a log file that several processes share, kept bounded:
// when the file has reached its size it is renamed with ".1" added
// (replacing the older one) and a new one is begun; when the older one
// cannot be replaced, the file is begun again from nothing. Nothing here ever
// reports a failure: a log that cannot be written changes nothing else.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

void AppendLogLine(const std::string& path, const std::string& line, uint64_t rotateAtBytes);

// The time now, in UTC, as 2026-12-07T19:30:00.123Z.
std::string UtcTimestamp();

unsigned long ProcessId();

// The full path of the running program.
std::wstring ProgramPath();

}  // namespace platform
