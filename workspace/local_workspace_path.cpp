// The workspace path rule with the current user's local application-data
// folder, as the platform gives it.
#include "platform/shell_folders.h"
#include "workspace/workspace_path.h"

namespace workspace {

WorkspacePath ComposeWorkspacePath(std::initializer_list<std::string_view> names,
                                   std::string_view leaf, size_t maxLength) {
    return ComposeWorkspacePath(platform::LocalAppDataFolder(), names, leaf, maxLength);
}

}  // namespace workspace
