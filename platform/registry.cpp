#include "platform/registry.h"

#include <windows.h>

#include <vector>

#include "platform/fault_plan.h"

namespace platform {

MachineValue ReadMachineString(const std::string& key, const std::string& name, RegistryView view) {
    MachineValue value;
    HKEY opened = nullptr;
    const LONG openResult = PLATFORM_CALL(
        "RegOpenKeyExA", ERROR_ACCESS_DENIED,
        RegOpenKeyExA(
            HKEY_LOCAL_MACHINE, key.c_str(), 0,
            KEY_QUERY_VALUE | (view == RegistryView::Bits64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY),
            &opened));
    if (openResult == ERROR_FILE_NOT_FOUND) return value;
    value.kind = MachineValue::Kind::Unreadable;
    if (openResult != ERROR_SUCCESS) return value;
    // Grow and read again while the value grows under us.
    std::vector<char> buffer(256);
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(buffer.size());
        const LONG result =
            PLATFORM_CALL("RegQueryValueExA", ERROR_ACCESS_DENIED,
                          RegQueryValueExA(opened, name.empty() ? nullptr : name.c_str(), nullptr,
                                           &type, reinterpret_cast<BYTE*>(buffer.data()), &size));
        if (result == ERROR_MORE_DATA) {
            buffer.resize(size + 1);
            continue;
        }
        if (result == ERROR_FILE_NOT_FOUND) {
            value.kind = MachineValue::Kind::Absent;
        } else if (result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) &&
                   size <= buffer.size()) {
            value.kind = MachineValue::Kind::Text;
            // The stored text need not end in a NUL: never read past `size`.
            value.text.assign(buffer.data(), size);
            while (!value.text.empty() && value.text.back() == '\0') value.text.pop_back();
        }
        break;
    }
    RegCloseKey(opened);
    return value;
}

}  // namespace platform
