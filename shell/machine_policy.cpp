#include "shell/machine_policy.h"

#include "platform/registry.h"

namespace shell {

OriginPolicy ReadMachineOriginPolicy() {
    const platform::MachineValue value =
        platform::ReadMachineString(kPolicyKey, kAllowedOriginsValue);
    switch (value.kind) {
        case platform::MachineValue::Kind::Absent:
            return {};
        case platform::MachineValue::Kind::Text:
            return PolicyFromValue(value.text);
        case platform::MachineValue::Kind::Unreadable:
            break;
    }
    // Set, but not readable as text: it allows nothing.
    return PolicyFromValue(std::string());
}

}  // namespace shell
