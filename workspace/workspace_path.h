// The one rule by which every workspace path is composed: the local
// application-data folder, "\Dravenil\Workspaces", then the outer name, the
// inner name and the workspace name as far as a method needs them, then a
// leaf of the system's own. Names come from page script; a name that could
// reach outside its parent folder, or one no folder can bear, is refused, and
// so is a path longer than Windows paths may be. Nothing here touches the
// disk.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_tree.h"

namespace workspace {

// The longest path composed: MAX_PATH less its terminating NUL.
constexpr size_t kMaxPathLength = 259;
// The longest path composed for the functions that take paths of any length
// (the wide ones, on "\\?\" paths of at most 32,767 units).
constexpr size_t kMaxLongPathLength = 32000;

// A name page script gives is refused when it is empty, made only of dots and
// spaces, ends in a dot or a space (Windows would strip it and act on another
// name), is a device name (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, CONIN$,
// CONOUT$ in any case, alone or with an extension), or holds
// \ / : * ? " < > | or a control character. Everything else (leading dots,
// inner spaces and dots, quotes, commas, non-ASCII bytes) passes unchanged.
bool IsAcceptableName(std::string_view name);

struct WorkspacePath {
    enum class Status {
        Composed,
        NoLocalAppData,  // the platform gave no local application-data folder
        Refused,         // a name was refused, or the path would be too long
    };
    Status status = Status::Refused;
    std::string text;       // the composed path; empty unless Composed
    size_t baseLength = 0;  // how much of `text` is the local application-data folder
    // The same path as the wide file functions take it: the folder as the
    // shell names it, then the rest of `text` read as the narrow functions
    // read it. Set only with the current user's folder, below.
    std::wstring wide;
    size_t wideBaseLength = 0;

    explicit operator bool() const { return status == Status::Composed; }
};

// `localAppData` must be an absolute path (drive or server); `leaf` is the
// system's own text (such as "Calls.dat" or "Calls\*") and is not checked as a
// name.
WorkspacePath ComposeWorkspacePath(const std::optional<std::string>& localAppData,
                                   std::initializer_list<std::string_view> names,
                                   std::string_view leaf = {}, size_t maxLength = kMaxPathLength);

// The same with the current user's local application-data folder, `wide`
// set too. Its narrow form (with "?" for what the ANSI code page lacks) is
// what the length is measured by, as the narrow functions once took it.
WorkspacePath ComposeWorkspacePath(std::initializer_list<std::string_view> names,
                                   std::string_view leaf = {}, size_t maxLength = kMaxPathLength);

// What a path composed with the current user's folder leads to from its
// workspace set folder down (the set folder itself reached by its path,
// links on the way to it followed): every name below it is opened as itself,
// never followed (platform::CheckPathBelow). The methods that reach a
// workspace's folder, settings file or call details by path ask this first
// and leave a path that is not plain alone; what a program changes between
// the answer and their own call is not watched. NotPlain for a path that
// names no workspace set. `rest` names what lies below the composed path,
// such as "*" of a search pattern, to be left out.
platform::PathBelow ReachBelowSet(const WorkspacePath& path, std::wstring_view rest = {});

}  // namespace workspace
