#include "platform/profile.h"

#include <windows.h>

#include <climits>
#include <memory>
#include <optional>
#include <vector>

#include "platform/fault_plan.h"
#include "platform/narrow_text.h"
#include "platform/wide_text.h"

namespace platform {

namespace {

// The narrow profile functions convert their texts to UTF-16 in the ANSI code
// page, call the wide ones, and convert what those give back the same way:
// the plug-in does the same, so that a file's bytes are what they were.
std::optional<std::wstring> Wide(const std::string& text) {
    return ToWide(CP_ACP, text, INT_MAX / 2);
}

std::string Narrow(const wchar_t* text, size_t length) {
    return FromWide(CP_ACP, std::wstring_view(text, length), /*bestFit=*/true);
}

}  // namespace

bool WriteProfileValue(const std::wstring& path, const std::string& section, const std::string& key,
                       const std::string& value) {
    const auto wideSection = Wide(section);
    const auto wideKey = Wide(key);
    const auto wideValue = Wide(value);
    if (!IsWholeText(path) || !wideSection || !wideKey || !wideValue) return false;
    return PLATFORM_CALL("WritePrivateProfileStringW", FALSE,
                         WritePrivateProfileStringW(wideSection->c_str(), wideKey->c_str(),
                                                    wideValue->c_str(), path.c_str()));
}

std::string ReadProfileValue(const std::wstring& path, const std::string& section,
                             const std::string& key, size_t capacity) {
    const auto wideSection = Wide(section);
    const auto wideKey = Wide(key);
    if (!IsWholeText(path) || !wideSection || !wideKey) return {};
    if (capacity == 0 || capacity > UINT_MAX) return {};
    // Each byte of the narrow value is at most one UTF-16 unit: whatever fits
    // in `capacity` bytes fits here.
    std::vector<wchar_t> buffer(capacity, L'\0');
    const DWORD length = PLATFORM_CALL(
        "GetPrivateProfileStringW", 0,
        GetPrivateProfileStringW(wideSection->c_str(), wideKey->c_str(), L"", buffer.data(),
                                 static_cast<DWORD>(capacity), path.c_str()));
    std::string value = Narrow(buffer.data(), length < capacity ? length : capacity - 1);
    if (value.size() > capacity - 1) value.resize(capacity - 1);
    return value;
}

std::string ReadProfileSection(const std::wstring& path, const std::string& section) {
    const auto wideSection = Wide(section);
    if (!IsWholeText(path) || !wideSection) return {};
    // A full buffer is reported as size - 2, whether the section was cut or
    // fitted exactly: read again with more room until it comes back shorter.
    for (DWORD size = 1 << 16; size <= (1u << 28); size *= 4) {
        // Not cleared first: only the `length` units the call wrote are read.
        const std::unique_ptr<wchar_t[]> buffer(new wchar_t[size]);
        const DWORD length = PLATFORM_CALL(
            "GetPrivateProfileSectionW", 0,
            GetPrivateProfileSectionW(wideSection->c_str(), buffer.get(), size, path.c_str()));
        if (length < size - 2) return Narrow(buffer.get(), length);
    }
    return {};
}

}  // namespace platform
