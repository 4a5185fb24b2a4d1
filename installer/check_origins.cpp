// npDravenilFileAccessSetup.dll: the package's custom action that checks
// ALLOWEDORIGINS before anything is installed, with the parser the plug-in
// and the host read the policy with. A package installed without it would
// serve every page, so it is required: the exact origins of the product's
// pages, or "*" to serve every page as the older plug-in did. Each refused
// entry is named in the installer's log with the reason, and the install
// stops (1603).
#include <windows.h>

#include <string>

#include "platform/installer_session.h"
#include "shell/origin_policy.h"

namespace {

constexpr char kProperty[] = "ALLOWEDORIGINS";

// What is wrong with the value, one line per fault; "" when it will do.
std::string Faults(const std::string& value) {
    const auto entries = shell::ReadPolicyEntries(value);
    if (entries.empty()) {
        return std::string(kProperty) +
               " is required: give the exact origins of the product's pages, separated by "
               "\";\" (ALLOWEDORIGINS=\"https://calls.example;https://calls.example:8443\"), or "
               "ALLOWEDORIGINS=* to serve every page.\n";
    }
    std::string faults;
    for (const shell::PolicyEntry& entry : entries) {
        if (entry.refusal.empty()) continue;
        faults +=
            std::string(kProperty) + ": the entry '" + entry.text + "' " + entry.refusal + ".\n";
    }
    return faults;
}

}  // namespace

// The installer calls it with its session handle (an MSIHANDLE).
extern "C" __declspec(dllexport) unsigned __stdcall CheckAllowedOrigins(unsigned long handle) {
    const platform::InstallerSession session(handle);
    const auto value = session.Property(kProperty);
    if (!value) {
        session.Error(std::string("cannot read ") + kProperty + ".");
        return ERROR_INSTALL_FAILURE;
    }
    const std::string faults = Faults(*value);
    if (!faults.empty()) {
        session.Error(faults + "Nothing was installed.");
        return ERROR_INSTALL_FAILURE;
    }
    session.Log(std::string(kProperty) + " accepted: " + *value);
    const auto entries = shell::ReadPolicyEntries(*value);
    if (entries.size() == 1 && entries.front().everyPage) {
        session.Log(std::string("warning: ") + kProperty +
                    "=* serves every page of every site: any page the browser opens can read, "
                    "write and delete the user's files and start programs. Name the product's "
                    "origins instead.");
    }
    return ERROR_SUCCESS;
}
