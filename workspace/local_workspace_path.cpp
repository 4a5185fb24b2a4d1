// The workspace path rule with the current user's local application-data
// folder, as the platform gives it.
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

}  // namespace workspace
