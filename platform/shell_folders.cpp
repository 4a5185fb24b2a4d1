#include "platform/shell_folders.h"

#include <windows.h>
// windows.h first: the shell's declarations build on it.
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

namespace platform {
namespace {

// A one-entry, double-NUL-terminated path list, as SHFileOperationA reads it.
std::vector<char> PathList(const std::string& path) {
    std::vector<char> list(path.begin(), path.end());
    list.push_back('\0');
    list.push_back('\0');
    return list;
}

bool RunShellOperation(UINT function, const std::string& from, const std::string* to) {
    if (from.empty() || from.size() > kMaxShellPath) return false;
    if (to && (to->empty() || to->size() > kMaxShellPath)) return false;
    // Paths holding a NUL would end the list early: refused.
    if (from.find('\0') != std::string::npos) return false;
    if (to && to->find('\0') != std::string::npos) return false;
    std::vector<char> fromList = PathList(from);
    std::vector<char> toList = to ? PathList(*to) : PathList("");
    char emptyTitle[] = "";
    SHFILEOPSTRUCTA operation{};
    operation.hwnd = nullptr;
    operation.wFunc = function;
    operation.pFrom = fromList.data();
    operation.pTo = toList.data();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    operation.fAnyOperationsAborted = FALSE;
    operation.hNameMappings = nullptr;
    operation.lpszProgressTitle = emptyTitle;
    const int result = SHFileOperationA(&operation);
    return result == 0 && !operation.fAnyOperationsAborted;
}

}  // namespace

std::optional<std::string> LocalAppDataFolder() {
    char path[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path) != S_OK) {
        return std::nullopt;
    }
    return std::string(path, strnlen(path, sizeof path));
}

bool DeleteTree(const std::string& path) { return RunShellOperation(FO_DELETE, path, nullptr); }

bool CopyIntoFolder(const std::string& sourcePattern, const std::string& destination) {
    return RunShellOperation(FO_COPY, sourcePattern, &destination);
}

}  // namespace platform
