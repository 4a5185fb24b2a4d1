// Narrow text to UTF-16 in a given code page and back, for the platform
// layer's own use: the one conversion behind program command lines, paths and
// settings texts.
#pragma once

#include <windows.h>

#include <climits>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/fault_plan.h"
#include "platform/narrow_text.h"

namespace platform {

// Nothing when the text holds a NUL (the wide functions would stop there),
// does not convert or needs more than `maxUnits` UTF-16 units; the length is
// checked before anything is allocated.
inline std::optional<std::wstring> ToWide(UINT codePage, std::string_view text, size_t maxUnits) {
    if (text.empty()) return std::wstring();
    if (text.size() > 2 * maxUnits || !IsWholeText(text)) return std::nullopt;
    if (text.size() > INT_MAX) return std::nullopt;
    const int length = static_cast<int>(text.size());
    const int units =
        PLATFORM_CALL("MultiByteToWideChar", 0,
                      MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0));
    if (units <= 0 || static_cast<size_t>(units) > maxUnits) return std::nullopt;
    std::wstring wide(static_cast<size_t>(units), L'\0');
    if (PLATFORM_CALL("MultiByteToWideChar", 0,
                      MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), units)) !=
        units) {
        return std::nullopt;
    }
    return wide;
}

// UTF-16 text to narrow text in a given code page, a character the code page
// lacks given as its default character ("?"); empty when it does not convert.
inline std::string FromWide(UINT codePage, std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX / 4) return {};
    const int length = static_cast<int>(text.size());
    const int bytes = PLATFORM_CALL(
        "WideCharToMultiByte", 0,
        WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr));
    if (bytes <= 0) return {};
    std::string narrow(static_cast<size_t>(bytes), '\0');
    if (PLATFORM_CALL("WideCharToMultiByte", 0,
                      WideCharToMultiByte(codePage, 0, text.data(), length, narrow.data(), bytes,
                                          nullptr, nullptr)) != bytes) {
        return {};
    }
    return narrow;
}

}  // namespace platform
