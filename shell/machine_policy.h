// The origin policy an administrator sets for this machine: the value
// "AllowedOrigins" of the key kPolicyKey below HKEY_LOCAL_MACHINE, where
// Group Policy writes it. On current Windows that key
// is one for both registry views; it is read in the 64-bit view, so that a
// 32-bit module sees what 64-bit tools wrote wherever the views differ. The
// plug-in, the host for current browsers and, through the host, the
// extension all follow it.
#pragma once

#include "shell/origin_policy.h"

namespace shell {

inline constexpr char kPolicyKey[] = "Software\\Policies\\Dravenil\\FileAccessPlugin";
inline constexpr char kAllowedOriginsValue[] = "AllowedOrigins";

OriginPolicy ReadMachineOriginPolicy();

}  // namespace shell
