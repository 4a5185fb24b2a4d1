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
// may not be empty or blank, hold "=", or start with "[" or ";" after any
// blanks and tabs.
bool IsStorableKey(std::string_view key);
bool IsStorableValue(std::string_view value);

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
