// Appending lines to a log file that several processes of one user share,
// kept bounded:
// when the file has reached its size it is renamed with ".1" added
// (replacing the older one) and a new one is begun; when the older one
// cannot be replaced, the file is begun again from nothing. Nothing here ever
// reports a failure: a log that cannot be written changes nothing else.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The log's folder may be shared by every user of the machine, who may plant
// anything there: the file is opened as itself, below its folder's handle,
// and written, renamed or begun again only while it is a real file with no
// other name that belongs to this user. Anything else is left as it is and
// nothing is logged.
void AppendLogLine(const std::string& path, const std::string& line, uint64_t rotateAtBytes);

// What the log's name holds, as AppendLogLine judges it.
enum class LogFileState {
    Usable,      // this user's own file, written as it is
    Absent,      // nothing yet: made at the first line
    Link,        // a symbolic link or junction: never followed
    OtherNames,  // a file with other names (hard links): written nowhere
    OtherOwner,  // another user's file
    NotAFile,    // a folder
    Unreadable,  // the folder cannot be opened, or the name could not be told
};
LogFileState InspectLogFile(const std::string& path);

// `text` with each %NAME% of an environment variable replaced by its value
// for this process (%USERNAME% gives each user a log of their own); a name
// that is not set stays as it is.
std::string ExpandEnvironment(const std::string& text);

// The time now, in UTC, as 2026-12-07T19:30:00.123Z.
std::string UtcTimestamp();

unsigned long ProcessId();

// The full path of the running program.
std::wstring ProgramPath();

}  // namespace platform
