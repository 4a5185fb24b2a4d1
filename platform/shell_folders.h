// The user's local application-data folder, as the Windows shell gives it.
#pragma once

#include <optional>
#include <string>

namespace platform {

struct LocalAppData {
    std::wstring path;   // as the shell gives it (SHGetFolderPathW)
    std::string narrow;  // as the narrow functions would have it, "?" for what
                         // the ANSI code page lacks
};

// SHGetFolderPathW for CSIDL_LOCAL_APPDATA with flags 0 (the folder's current
// path); nothing when the shell cannot give it. The first answer the shell
// gives is kept for the life of the module; a failure is not.
std::optional<LocalAppData> LocalAppDataFolder();

#ifdef PLUGIN_FAULT_PLAN
// The test build forgets the kept answer whenever a fault plan that fails
// something is set, so that every planned run asks the shell.
void ForgetLocalAppDataFolder();
#endif

}  // namespace platform
