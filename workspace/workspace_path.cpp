#include "workspace/workspace_path.h"

namespace workspace {
namespace {

constexpr std::string_view kWorkspacesBelowAppData = "\\Dravenil\\Workspaces";
constexpr std::string_view kForbidden = "\\/:*?\"<>|";

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsUpper(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (Upper(text[i]) != upper[i]) return false;
    }
    return true;
}

// Windows maps these names to devices in every folder, with any extension:
// "NUL", "aux.txt" and "Com1.log.1" name no file. The digit of COM and LPT
// may also be a superscript one, two or three, in the ANSI or UTF-8 bytes.
bool IsDeviceName(std::string_view name) {
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    for (const std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (EqualsUpper(stem, device)) return true;
    }
    if (stem.size() < 4) return false;
    const std::string_view port = stem.substr(0, 3);
    if (!EqualsUpper(port, "COM") && !EqualsUpper(port, "LPT")) return false;
    const std::string_view digit = stem.substr(3);
    if (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') return true;
    for (const std::string_view superscript :
         {"\xB9", "\xB2", "\xB3", "\xC2\xB9", "\xC2\xB2", "\xC2\xB3"}) {
        if (digit == superscript) return true;
    }
    return false;
}

// "X:\..." or "\\server\share...": a path that does not depend on the
// current drive or folder.
bool IsAbsolute(std::string_view path) {
    if (path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' && path[2] == '\\') return true;
    return path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}

}  // namespace

bool IsAcceptableName(std::string_view name) {
    if (name.find_first_not_of(". ") == std::string_view::npos) return false;
    // Windows strips a final dot or space: "a." would act on "a".
    if (name.back() == '.' || name.back() == ' ') return false;
    if (IsDeviceName(name)) return false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
        if (kForbidden.find(c) != std::string_view::npos) return false;
    }
    return true;
}

WorkspacePath ComposeWorkspacePath(const std::optional<std::string>& localAppData,
                                   std::initializer_list<std::string_view> names,
                                   std::string_view leaf, size_t maxLength) {
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
    if (length > maxLength) return result;

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
