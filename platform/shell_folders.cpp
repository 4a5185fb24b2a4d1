#include "platform/shell_folders.h"

#include <windows.h>
// windows.h first: the shell's declarations build on it.
#include <shlobj.h>

#include <cstring>
#include <mutex>

#include "platform/fault_plan.h"

namespace platform {

namespace {

// A browser calls on one thread, but the native-messaging host runs long
// methods on threads of their own, each with its own object: the kept answer
// is the one thing they share, and it is read and written under this lock.
std::mutex& KeptLock() {
    static std::mutex lock;
    return lock;
}

std::optional<std::string>& Kept() {
    static std::optional<std::string> kept;
    return kept;
}

}  // namespace

#ifdef PLUGIN_FAULT_PLAN
void ForgetLocalAppDataFolder() {
    const std::lock_guard<std::mutex> hold(KeptLock());
    Kept().reset();
}
#endif

std::optional<std::string> LocalAppDataFolder() {
    // Asked once per loaded module: the shell's answer costs as much as a
    // settings read. Only a successful answer is kept; after a failure the
    // next call asks again.
    const std::lock_guard<std::mutex> hold(KeptLock());
    std::optional<std::string>& kept = Kept();
    if (kept) return kept;
    char path[MAX_PATH] = {};
    if (PLATFORM_CALL("SHGetFolderPathA", E_FAIL,
                      SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path)) != S_OK) {
        return std::nullopt;
    }
    kept.emplace(path, strnlen(path, sizeof path));
    return kept;
}

}  // namespace platform
