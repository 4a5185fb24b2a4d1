#include "workspace/workspace_path.h"

namespace workspace {
namespace {

constexpr std::string_view kWorkspacesBelowAppData = "\\Dravenil\\Workspaces";
constexpr std::string_view kForbidden = "\\/:*?\"<>|";

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "X:\..." or "\\server\share...": a path that does not depend on the
// current drive or folder.
bool IsAbsolute(std::string_view path) {
    if (path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' && path[2] == '\\') return true;
    return path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}

}  // namespace

bool IsAcceptableName(std::string_view name) {
    if (name.find_first_not_of(". ") == std::string_view::npos) return false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
        if (kForbidden.find(c) != std::string_view::npos) return false;
    }
    return true;
}

WorkspacePath ComposeWorkspacePath(const std::optional<std::string>& localAppData,
                                   std::initializer_list<std::string_view> names,
                                   std::string_view leaf) {
    WorkspacePath result;
    if (!localAppData) {
        result.status = WorkspacePath::Status::NoLocalAppData;
        return result;
    }
    std::string_view base = *localAppData;
    if (!IsAbsolute(base) || base.find('\0') != std::string_view::npos) return result;
    if (base.back() == '\\') base.remove_suffix(1);  // a drive's root, "C:\"
    size_t length = base.size() + kWorkspacesBelowAppData.size();
    for (const std::string_view name : names) {
        if (!IsAcceptableName(name)) return result;
        length += 1 + name.size();
    }
    if (!leaf.empty()) length += 1 + leaf.size();
    if (length > kMaxPathLength) return result;

    std::string& text = result.text;
    text.reserve(length);
    text.append(base).append(kWorkspacesBelowAppData);
    for (const std::string_view name : names) text.append(1, '\\').append(name);
    if (!leaf.empty()) text.append(1, '\\').append(leaf);
    result.status = WorkspacePath::Status::Composed;
    result.baseLength = base.size();
    return result;
}

}  // namespace workspace
