#include "workspace/workspace_settings.h"

#include "platform/profile.h"
#include "workspace/workspace_path.h"

namespace workspace {
namespace {

constexpr char kSettingsFile[] = "Workspace.ini";

// The settings path takes the arguments in the order first, third, second.
WorkspacePath SettingsPath(const std::string& outer, const std::string& workspace,
                           const std::string& inner) {
    return ComposeWorkspacePath({outer, inner, workspace}, kSettingsFile);
}

}  // namespace

bool IsStorableValue(std::string_view value) {
    return value.find_first_of("\r\n") == std::string_view::npos;
}

bool IsStorableKey(std::string_view key) {
    // The profile functions end a line at a line break and trim white space
    // (blanks, tabs and the other space characters) off both ends of it
    // before reading it: a key holding a control character might be read
    // back under another key, or split its line, so it holds none. It is
    // judged by its first character after blanks: "[" would open a section,
    // ";" a comment.
    for (const char c : key) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    const size_t first = key.find_first_not_of(' ');
    if (first == std::string_view::npos) return false;
    return key[first] != '[' && key[first] != ';' && key.find('=') == std::string_view::npos;
}

bool IsListableVolumeText(std::string_view text) {
    return text.find_first_of(",[]") == std::string_view::npos;
}

std::string CutAtCharacter(std::string text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    text.resize(maxBytes);
    // Step back over continuation bytes to the start of the last character;
    // drop it when its lead byte promises more bytes than remain.
    size_t start = text.size();
    while (start > 0 && text.size() - start < 4 &&
           (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) {
        --start;
    }
    if (start == 0) return text;
    const auto lead = static_cast<unsigned char>(text[start - 1]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length > text.size() - (start - 1)) text.resize(start - 1);
    return text;
}

bool WriteWorkspaceSetting(const std::string& outer, const std::string& workspace,
                           const std::string& inner, const std::string& section,
                           const std::string& key, const std::string& value) {
    if (!IsStorableKey(key) || !IsStorableValue(value)) return false;
    if (section == kTimelineVolumesSection &&
        (!IsListableVolumeText(key) || !IsListableVolumeText(value))) {
        return false;
    }
    const WorkspacePath path = SettingsPath(outer, workspace, inner);
    // The file may be made here, never written through a link or another name.
    return path && ReachBelowSet(path) != platform::PathBelow::NotPlain &&
           platform::WriteProfileValue(path.wide, section, key, value);
}

std::optional<std::string> ReadWorkspaceSetting(const std::string& outer,
                                                const std::string& workspace,
                                                const std::string& inner,
                                                const std::string& section, const std::string& key,
                                                uint32_t capacity) {
    const WorkspacePath path = SettingsPath(outer, workspace, inner);
    if (path.status == WorkspacePath::Status::NoLocalAppData) return std::nullopt;
    if (!path || !IsStorableKey(key) || capacity == 0 ||
        ReachBelowSet(path) == platform::PathBelow::NotPlain) {
        return std::string();
    }
    // Read a few bytes more than the capacity allows, so that a cut is known
    // for one and never splits a character.
    std::string value = platform::ReadProfileValue(path.wide, section, key, capacity + 4);
    return CutAtCharacter(std::move(value), capacity - 1);
}

}  // namespace workspace
