#include "platform/profile.h"

#include <windows.h>

#include <climits>
#include <memory>
#include <vector>

#include "platform/fault_plan.h"
#include "platform/narrow_text.h"

namespace platform {

bool WriteProfileValue(const std::string& path, const std::string& section, const std::string& key,
                       const std::string& value) {
    if (!IsWholeText(path) || !IsWholeText(section) || !IsWholeText(key) || !IsWholeText(value)) {
        return false;
    }
    return PLATFORM_CALL(
        "WritePrivateProfileStringA", FALSE,
        WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()));
}

std::string ReadProfileValue(const std::string& path, const std::string& section,
                             const std::string& key, size_t capacity) {
    if (!IsWholeText(path) || !IsWholeText(section) || !IsWholeText(key)) return {};
    if (capacity == 0 || capacity > UINT_MAX) return {};
    std::vector<char> buffer(capacity, '\0');
    const DWORD length =
        PLATFORM_CALL("GetPrivateProfileStringA", 0,
                      GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                               static_cast<DWORD>(capacity), path.c_str()));
    return std::string(buffer.data(), length < capacity ? length : capacity - 1);
}

std::string ReadProfileSection(const std::string& path, const std::string& section) {
    if (!IsWholeText(path) || !IsWholeText(section)) return {};
    // A full buffer is reported as size - 2, whether the section was cut or
    // fitted exactly: read again with more room until it comes back shorter.
    for (DWORD size = 1 << 16; size <= (1u << 30); size *= 4) {
        // Not cleared first: only the `length` bytes the call wrote are read.
        const std::unique_ptr<char[]> buffer(new char[size]);
        const DWORD length = PLATFORM_CALL(
            "GetPrivateProfileSectionA", 0,
            GetPrivateProfileSectionA(section.c_str(), buffer.get(), size, path.c_str()));
        if (length < size - 2) return std::string(buffer.get(), length);
    }
    return {};
}

}  // namespace platform
