// Origins and policies on any text: nothing crashes, an origin written out
// reads back the same, and a policy allows exactly the origins it holds.
#include <cstdint>
#include <string>
#include <string_view>

#include "shell/origin_policy.h"
#include "tests/fuzz/require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto origin = shell::ParseOrigin(text)) {
        const std::string written = shell::OriginText(*origin);
        Require(shell::ParseOrigin(written) == origin);
        Require(shell::OriginText(*shell::ParseOrigin(written)) == written);
        Require(written.find_first_of("/?#@*", written.find("://") + 3) == std::string::npos);
    }
    // Each entry is exactly one of: an origin, every page, or refused.
    for (const shell::PolicyEntry& entry : shell::ReadPolicyEntries(text)) {
        Require(int(entry.origin.has_value()) + int(entry.everyPage) +
                    int(!entry.refusal.empty()) ==
                1);
    }
    const shell::OriginPolicy policy = shell::PolicyFromValue(text);
    for (const shell::Origin& allowed : policy.origins) {
        Require(shell::Allows(policy, shell::OriginText(allowed)));
    }
    if (policy.kind == shell::OriginPolicy::Kind::EveryPage) {
        Require(shell::Allows(policy, std::string("null")));
        return 0;
    }
    Require(!shell::Allows(policy, std::string("null")));
    Require(shell::Allows(policy, text) ==
            (policy.kind == shell::OriginPolicy::Kind::Origins && shell::ParseOrigin(text) && [&] {
                for (const auto& o : policy.origins) {
                    if (o == *shell::ParseOrigin(text)) return true;
                }
                return false;
            }()));
    return 0;
}
