// The version resource of a module file.
#pragma once

#include <optional>
#include <string>

namespace platform {

// "a.b.c.d" from the file's fixed version information; nothing when the file
// has none or cannot be read.
std::optional<std::string> FileVersion(const std::wstring& path);
// A text of the file's version resource ("ProductName", "MIMEType"), in its
// first language; nothing when it has none.
std::optional<std::string> FileVersionText(const std::wstring& path, const std::wstring& name);

// Whether a file (not a folder) of that name exists.
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
// Whether two paths lead to one file, whatever their spelling (a short name,
// another case, a Unix path under Wine, a link on the way): the same volume
// and file id. False when either cannot be opened.
bool SameFile(const std::wstring& a, const std::wstring& b);
// Whether this user can append to the file at `path`, or, when there is none,
// create one in its folder (tried with a file removed at once).
bool CanAppendTo(const std::wstring& path);

// A small file's bytes (at most 1 MiB); nothing when it cannot be read whole.
std::optional<std::string> ReadTextFile(const std::wstring& path);

// Text between UTF-16 and the narrow forms: UTF-8 for what is printed or
// read from JSON, the ANSI code page for what the registry's narrow
// functions give. Empty when it does not convert.
std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);
std::wstring WideFromAnsi(const std::string& text);

}  // namespace platform
