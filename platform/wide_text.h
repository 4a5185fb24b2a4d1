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

// The flags that make WideCharToMultiByte give a character the code page
// lacks as its default character ("?"), never as a look-alike the code page
// has (Greek capital omega is not "O", a full-width letter not the plain
// one): a name so converted would name another file. UTF-8 and UTF-7 have
// every character and take no flags.
inline DWORD ExactConversionFlags(UINT codePage) {
    const UINT actual = codePage == CP_ACP     ? GetACP()
                        : codePage == CP_OEMCP ? GetOEMCP()
                                               : codePage;
    return actual == CP_UTF8 || actual == CP_UTF7 ? 0 : WC_NO_BEST_FIT_CHARS;
}

// UTF-16 text to narrow text in a given code page; empty when it does not
// convert. A character the code page lacks becomes its default character
// ("?"), or with `bestFit` a look-alike where the code page has one, as the
// narrow functions of the system give texts that are not names.
inline std::string FromWide(UINT codePage, std::wstring_view text, bool bestFit = false) {
    if (text.empty() || text.size() > INT_MAX / 4) return {};
    const int length = static_cast<int>(text.size());
    const DWORD flags = bestFit ? 0 : ExactConversionFlags(codePage);
    const int bytes = PLATFORM_CALL(
        "WideCharToMultiByte", 0,
        WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr));
    if (bytes <= 0) return {};
    std::string narrow(static_cast<size_t>(bytes), '\0');
    if (PLATFORM_CALL("WideCharToMultiByte", 0,
                      WideCharToMultiByte(codePage, flags, text.data(), length, narrow.data(),
                                          bytes, nullptr, nullptr)) != bytes) {
        return {};
    }
    return narrow;
}

}  // namespace platform
