// The opt-in log an administrator turns on with the policy value LogFile: one
// line per call and per page the origin policy refused, with the time, the
// process, the route (the plug-in in a browser, or the host for current
// browsers), the page's origin, the method and how it ended, and how long it
// took. Argument values and file contents are never written: the names of
// workspaces are the user's data. The file is kept under 1 MB (one older
// file is kept beside it), and a log that cannot be written fails nothing.
//
// The state is module-wide and set and read on the one thread the browser
// (or the host) calls on.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace scriptable {

inline constexpr char kLogFileValue[] = "LogFile";

// The file a LogFile policy value names: its %NAME%s of environment
// variables expanded for this process's user.
std::string LogFilePath(const std::string& policyValue);

// Where the log goes (nothing: no log; the policy's value, expanded here), and whether this module
// logs the calls it answers (the plug-in inside the host leaves them to the host, which knows each
// request's page).
void SetActivityLog(std::optional<std::string> path, std::string route, bool logCalls);
bool ActivityLogged();

void LogCall(const std::optional<std::string>& origin, std::string_view method,
             std::string_view outcome, double milliseconds);
void LogRefusal(const std::optional<std::string>& origin);

}  // namespace scriptable
