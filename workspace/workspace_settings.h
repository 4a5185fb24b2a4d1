// A workspace's view settings in its Workspace.ini, stored and fetched one
// value at a time through the platform's private-profile calls. Values are
// opaque texts of page script's choosing; the file is never parsed here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace workspace {

// Whether a key or a value can be stored and read back as itself: neither may
// hold a line break (it would add lines of its own to the file), and a key
// may not be empty or blank, hold a control character (0x00-0x1F, 0x7F) or
// "=", or start with "[" or ";" after any blanks.
bool IsStorableKey(std::string_view key);
bool IsStorableValue(std::string_view value);

// The section of the timeline volumes, which page script reads back as the
// unquoted list [[line,volume],...].
inline constexpr std::string_view kTimelineVolumesSection = "TimelineVolumes";
// Whether a volume's key or value keeps that list as it is: one holding ","
// "[" or "]" would forge entries of its own.
bool IsListableVolumeText(std::string_view text);

// `text` cut to at most `maxBytes` bytes without ending in part of a UTF-8
// character.
std::string CutAtCharacter(std::string text, size_t maxBytes);

// Stores the value under the section and key of the workspace's
// Workspace.ini. True when the platform stored it: false for a missing
// workspace folder, a refused name, key or value, or no local
// application-data folder.
bool WriteWorkspaceSetting(const std::string& outer, const std::string& workspace,
                           const std::string& inner, const std::string& section,
                           const std::string& key, const std::string& value);

// The stored value, at most `capacity` - 1 bytes of it; "" when the file,
// section or key is missing or a name or key is refused; nothing when there
// is no local application-data folder.
std::optional<std::string> ReadWorkspaceSetting(const std::string& outer,
                                                const std::string& workspace,
                                                const std::string& inner,
                                                const std::string& section, const std::string& key,
                                                uint32_t capacity);

}  // namespace workspace
