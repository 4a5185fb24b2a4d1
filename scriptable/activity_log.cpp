#include "scriptable/activity_log.h"

#include <cstdio>

#include "platform/log_file.h"

namespace scriptable {
namespace {

constexpr uint64_t kRotateAtBytes = 1024 * 1024;

struct LogState {
    std::optional<std::string> path;
    std::string route;
    bool logCalls = false;
};

LogState& State() {
    static LogState state;
    return state;
}

// An origin as it goes into a line: never more than an origin can be, and
// nothing that would start another line.
std::string OriginField(const std::optional<std::string>& origin) {
    if (!origin) return "-";
    std::string field = origin->substr(0, 300);
    for (char& c : field) {
        if (static_cast<unsigned char>(c) < 0x20 || c == ' ') c = '?';
    }
    return field;
}

void Write(const std::string& rest, const std::optional<std::string>& origin) {
    const LogState& state = State();
    if (!state.path) return;
    const std::string line =
        platform::UtcTimestamp() + " pid=" + std::to_string(platform::ProcessId()) +
        " route=" + state.route + " origin=" + OriginField(origin) + " " + rest + "\r\n";
    platform::AppendLogLine(*state.path, line, kRotateAtBytes);
}

}  // namespace

std::string LogFilePath(const std::string& policyValue) {
    return platform::ExpandEnvironment(policyValue);
}

void SetActivityLog(std::optional<std::string> path, std::string route, bool logCalls) {
    LogState& state = State();
    state.path =
        path && !path->empty() ? std::optional<std::string>(LogFilePath(*path)) : std::nullopt;
    state.route = std::move(route);
    state.logCalls = logCalls;
}

bool ActivityLogged() { return State().path.has_value(); }

void LogCall(const std::optional<std::string>& origin, std::string_view method,
             std::string_view outcome, double milliseconds) {
    if (!State().path || !State().logCalls) return;
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.3fms", milliseconds);
    Write("method=" + std::string(method) + " outcome=" + std::string(outcome) + " " + duration,
          origin);
}

void LogRefusal(const std::optional<std::string>& origin) {
    Write("refused by the origin policy", origin);
}

}  // namespace scriptable
