// Private-profile (INI) files through the platform's own calls: the plug-in
// never parses or formats such a file itself. Sections, keys and values are
// narrow text, read and given back in the ANSI code page exactly as the
// narrow profile functions read and give them; the file is named by its wide
// path, so that it may lie in any folder.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// WritePrivateProfileString: creates the file, section and key as needed and
// replaces an existing value. False when the platform reports failure (for
// instance when the folder does not exist).
bool WriteProfileValue(const std::wstring& path, const std::string& section, const std::string& key,
                       const std::string& value);

// GetPrivateProfileString: the value cut to capacity - 1 bytes (capacity at
// least 1), or "" when the file, section or key is missing.
std::string ReadProfileValue(const std::wstring& path, const std::string& section,
                             const std::string& key, size_t capacity);

// GetPrivateProfileSection, read again with a larger buffer until the whole
// section fits: its entries, each followed by a NUL ("k=v\0k2=v2\0"); "" when
// the file or section is missing or empty.
std::string ReadProfileSection(const std::wstring& path, const std::string& section);

}  // namespace platform
