// Machine-wide settings an administrator writes, read from the 64-bit
// registry view (on 32-bit Windows, the only one).
#pragma once

#include <optional>
#include <string>

namespace platform {

struct MachineValue {
    enum class Kind { Absent, Text, Unreadable };
    Kind kind = Kind::Absent;
    std::string text;
};

// A string value below HKEY_LOCAL_MACHINE: Absent when the key or the value
// does not exist, Unreadable when it exists but cannot be read as a string.
MachineValue ReadMachineString(const std::string& key, const std::string& name);

}  // namespace platform
