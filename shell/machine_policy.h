// The origin policy an administrator sets for this machine: the value
// "AllowedOrigins" under HKEY_LOCAL_MACHINE\Software\Dravenil\FileAccessPlugin,
// read where a 32-bit program reads it. The plug-in and the host for current
// browsers both follow it.
#pragma once

#include "shell/origin_policy.h"

namespace shell {

OriginPolicy ReadMachineOriginPolicy();

}  // namespace shell
