// Which pages get the scriptable object: the origin policy an administrator
// sets (exact origins separated by ";"), and the comparison of a page's
// origin with it. Pure: no Windows call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace shell {

// An origin, scheme://host[:port], in the form a browser reports it: scheme
// and host in lower case, and no port when it is the scheme's default.
struct Origin {
    std::string scheme;
    std::string host;
    uint16_t port = 0;  // 0: the scheme's default

    bool operator==(const Origin&) const = default;
};

// Nothing for anything that is not exactly an origin: the opaque origin
// "null", a wildcard, a path, user info, a port outside 1-65535.
std::optional<Origin> ParseOrigin(std::string_view text);
std::string OriginText(const Origin& origin);

struct OriginPolicy {
    enum class Kind {
        None,      // no policy set: every page is served
        Origins,   // only these origins are served
        Unusable,  // set but empty or unreadable: no page is served
    };
    Kind kind = Kind::None;
    std::vector<Origin> origins;
};

// The policy of a registry value: nothing (the value absent) is no policy;
// any text is the list of origins it names, and one without a single origin
// in it allows nothing. Entries that are not origins are left out.
OriginPolicy PolicyFromValue(const std::optional<std::string>& value);

// Whether a page of `origin` (as the browser told it, or nothing when it
// could not be learned) may have the object.
bool Allows(const OriginPolicy& policy, const std::optional<std::string>& origin);

}  // namespace shell
