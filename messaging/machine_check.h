// What `npDravenilFileAccessHost.exe --check` finds on a machine: the module
// beside the host, its registration for browsers that load plug-ins, the
// host's registration and manifest for each current browser, and the origin
// policy, and the activity log. It only reads (but for a file it makes and
// removes at once, to learn whether the log can be written), and needs no
// administrator rights.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace messaging {

struct Finding {
    enum class Status { Ok, Warning, Problem };
    Status status = Status::Ok;
    std::string item;    // what was looked at
    std::string detail;  // what was found
    std::string fix;     // what to do; empty for ok
};

// Every finding, in order; with `origin`, whether a page of it would be
// served and by which rule.
std::vector<Finding> CheckMachine(const std::optional<std::string>& origin);

// One line per finding: its status, what was looked at and found, and the fix.
std::string FindingsText(const std::vector<Finding>& findings);
// The same as JSON: {"findings": [{"status", "item", "detail", "fix"}...],
// "problems": n}.
std::string FindingsJson(const std::vector<Finding>& findings);

bool HasProblem(const std::vector<Finding>& findings);

}  // namespace messaging
