#include "platform/shell_folders.h"

#include <windows.h>
// windows.h first: the shell's declarations build on it.
#include <shlobj.h>

#include <cstring>

namespace platform {

std::optional<std::string> LocalAppDataFolder() {
    char path[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path) != S_OK) {
        return std::nullopt;
    }
    return std::string(path, strnlen(path, sizeof path));
}

}  // namespace platform
