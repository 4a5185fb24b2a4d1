#include "shell/machine_policy.h"

#include "platform/registry.h"

namespace shell {

OriginPolicy ReadMachineOriginPolicy() {
    const platform::MachineValue value =
        platform::ReadMachineString(kPolicyKey, kAllowedOriginsValue);
    switch (value.kind) {
        case platform::MachineValue::Kind::Absent:
            if (PolicyRequired()) return {OriginPolicy::Kind::Missing, {}};
            return {};
        case platform::MachineValue::Kind::Text:
            return PolicyFromValue(value.text);
        case platform::MachineValue::Kind::Unreadable:
            break;
    }
    // Set, but not readable as text: it allows nothing.
    return PolicyFromValue(std::string());
}

bool PolicyRequired() {
    for (const auto view : {platform::RegistryView::Bits64, platform::RegistryView::Bits32}) {
        if (platform::ReadMachineString(kPackageKey, kPolicyRequiredValue, view).kind !=
            platform::MachineValue::Kind::Absent) {
            return true;
        }
    }
    return false;
}

}  // namespace shell
