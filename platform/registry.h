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

// The registry views of 64-bit Windows; on 32-bit Windows both are the one
// registry.
enum class RegistryView { Bits64, Bits32 };

// A string value below HKEY_LOCAL_MACHINE ("" names the key's default
// value): Absent when the key or the value does not exist, Unreadable when it
// exists but cannot be read as a string.
MachineValue ReadMachineString(const std::string& key, const std::string& name,
                               RegistryView view = RegistryView::Bits64);

}  // namespace platform
