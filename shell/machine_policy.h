// The origin policy an administrator sets for this machine: the value
// "AllowedOrigins" of the key kPolicyKey below HKEY_LOCAL_MACHINE, where
// Group Policy writes it. The package marks, in a key of the product's own
// (Group Policy owns kPolicyKey and may delete it), that this machine
// requires a policy: where the mark is set, no value serves no page. A module
// registered by hand has no mark, and no value serves every page. On current Windows that key
// is one for both registry views; it is read in the 64-bit view, so that a
// 32-bit module sees what 64-bit tools wrote wherever the views differ. The
// plug-in, the host for current browsers and, through the host, the
// extension all follow it.
#pragma once

#include "shell/origin_policy.h"

namespace shell {

inline constexpr char kPolicyKey[] = "Software\\Policies\\Dravenil\\FileAccessPlugin";
inline constexpr char kAllowedOriginsValue[] = "AllowedOrigins";
inline constexpr char kPackageKey[] = "Software\\Dravenil\\FileAccessPlugin";
inline constexpr char kPolicyRequiredValue[] = "PolicyRequired";

OriginPolicy ReadMachineOriginPolicy();
// Whether an installed package marked this machine as requiring a policy
// (in either registry view: each package writes its own).
bool PolicyRequired();

}  // namespace shell
