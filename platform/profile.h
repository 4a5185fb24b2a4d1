// Private-profile (INI) files through the platform's own calls: the plug-in
// never parses or formats such a file itself. Paths, sections, keys and
// values are narrow text, passed on as bytes.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// WritePrivateProfileStringA: creates the file, section and key as needed
// and replaces an existing value. False when the platform reports failure
// (for instance when the folder does not exist).
bool WriteProfileValue(const std::string& path, const std::string& section, const std::string& key,
                       const std::string& value);

// GetPrivateProfileStringA into a buffer of `capacity` bytes (at least 1):
// the value cut to capacity - 1 bytes, or "" when the file, section or key
// is missing.
std::string ReadProfileValue(const std::string& path, const std::string& section,
                             const std::string& key, size_t capacity);

// GetPrivateProfileSectionA, read again with a larger buffer until the whole
// section fits: its entries, each followed by a NUL ("k=v\0k2=v2\0"); "" when
// the file or section is missing or empty.
std::string ReadProfileSection(const std::string& path, const std::string& section);

}  // namespace platform
