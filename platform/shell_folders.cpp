#include "platform/shell_folders.h"

#include <windows.h>
// windows.h first: the shell's declarations build on it.
#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <mutex>

#include "platform/fault_plan.h"
#include "platform/wide_text.h"

namespace platform {

namespace {

// A browser calls on one thread, but the native-messaging host runs long
// methods on threads of their own, each with its own object: the kept answer
// is the one thing they share, and it is read and written under this lock.
std::mutex& KeptLock() {
    static std::mutex lock;
    return lock;
}

std::optional<LocalAppData>& Kept() {
    static std::optional<LocalAppData> kept;
    return kept;
}

}  // namespace

#ifdef PLUGIN_FAULT_PLAN
void ForgetLocalAppDataFolder() {
    const std::lock_guard<std::mutex> hold(KeptLock());
    Kept().reset();
}
#endif

std::optional<LocalAppData> LocalAppDataFolder() {
    // Asked once per loaded module: the shell's answer costs as much as a
    // settings read. Only a successful answer is kept; after a failure the
    // next call asks again.
    const std::lock_guard<std::mutex> hold(KeptLock());
    std::optional<LocalAppData>& kept = Kept();
    if (kept) return kept;
    // Asked wide: the narrow answer has "?" for every character of the
    // user's name that the ANSI code page lacks, and names no folder.
    wchar_t path[MAX_PATH] = {};
    if (PLATFORM_CALL("SHGetFolderPathW", E_FAIL,
                      SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path)) != S_OK) {
        return std::nullopt;
    }
    LocalAppData folder;
    folder.path.assign(path, wcsnlen(path, MAX_PATH));
    folder.narrow = FromWide(CP_ACP, folder.path);
    if (folder.path.empty() || folder.narrow.empty()) return std::nullopt;
    kept = std::move(folder);
    return kept;
}

}  // namespace platform
