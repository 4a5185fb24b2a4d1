// The user's local application-data folder, as the Windows shell gives it.
#pragma once

#include <optional>
#include <string>

namespace platform {

// SHGetFolderPathA for CSIDL_LOCAL_APPDATA with flags 0 (the folder's current
// path); nothing when the shell cannot give it. The first answer the shell
// gives is kept for the life of the module; a failure is not.
std::optional<std::string> LocalAppDataFolder();

#ifdef PLUGIN_FAULT_PLAN
// The test build forgets the kept answer whenever a fault plan that fails
// something is set, so that every planned run asks the shell.
void ForgetLocalAppDataFolder();
#endif

}  // namespace platform
