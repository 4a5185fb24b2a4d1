// The workspace path rule with the current user's local application-data
// folder, as the platform gives it.
#include <algorithm>
#include <vector>

#include "platform/narrow_text.h"
#include "platform/shell_folders.h"
#include "workspace/workspace_path.h"

namespace workspace {

WorkspacePath ComposeWorkspacePath(std::initializer_list<std::string_view> names,
                                   std::string_view leaf, size_t maxLength) {
    const auto folder = platform::LocalAppDataFolder();
    WorkspacePath path = ComposeWorkspacePath(
        folder ? std::optional<std::string>(folder->narrow) : std::nullopt, names, leaf, maxLength);
    if (!path) return path;
    std::wstring base = folder->path;
    if (base.back() == L'\\') base.pop_back();  // a drive's root, "C:\"
    const auto rest = platform::WidePathOf(std::string_view(path.text).substr(path.baseLength));
    if (!rest) return WorkspacePath{};
    path.wideBaseLength = base.size();
    path.wide = std::move(base) + *rest;
    return path;
}

platform::PathBelow ReachBelowSet(const WorkspacePath& path, std::wstring_view rest) {
    // The set folder ends at the fifth separator from the application-data
    // folder on: "\Dravenil\Workspaces\outer\inner\". No name holds one.
    std::wstring_view wide(path.wide);
    if (!path || path.wideBaseLength == 0 || wide.size() < rest.size()) {
        return platform::PathBelow::NotPlain;
    }
    wide.remove_suffix(rest.size());
    size_t setEnd = path.wideBaseLength;
    for (int separators = 1; separators < 5 && setEnd != std::wstring_view::npos; ++separators) {
        setEnd = wide.find(L'\\', setEnd + 1);
    }
    // The set folder itself, or a folder above it: reached by its path.
    if (setEnd == std::wstring_view::npos) return platform::PathBelow::Plain;
    const auto set = platform::TreePath::FromWide(wide.substr(0, setEnd));
    if (!set) return platform::PathBelow::NotPlain;
    std::vector<std::wstring> names;
    for (size_t at = setEnd + 1; at <= wide.size();) {
        const size_t end = std::min(wide.find(L'\\', at), wide.size());
        if (end > at) names.emplace_back(wide.substr(at, end - at));
        at = end + 1;
    }
    return names.empty() ? platform::PathBelow::Plain : platform::CheckPathBelow(*set, names);
}

}  // namespace workspace
