// What the narrow Windows and runtime functions may be given. They read a
// text up to its first NUL, so a text holding one would name something else
// than page script wrote: it never reaches them. No path Windows takes, in
// any form, is longer than 32,767 UTF-16 units, and every unit takes at least
// one narrow byte (two in a double-byte code page), so a text of more than
// 32,767 bytes is refused before anything is made of it. That also refuses a
// double-byte path of more than 32,767 bytes that would have fitted in
// 32,767 units: no folder a page names is that deep.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

constexpr size_t kLongestPathBytes = 32767;

inline bool IsWholeText(std::string_view text) { return text.find('\0') == std::string_view::npos; }
inline bool IsWholeText(std::wstring_view text) {
    return text.find(L'\0') == std::wstring_view::npos;
}

inline bool IsUsablePath(std::string_view path) {
    return path.size() <= kLongestPathBytes && IsWholeText(path);
}

// The text as the narrow file functions read it: in the ANSI code page, or
// the OEM one once a program has switched them over. Nothing when it holds a
// NUL, does not convert, or is longer than any path.
std::optional<std::wstring> WidePathOf(std::string_view text);

}  // namespace platform
