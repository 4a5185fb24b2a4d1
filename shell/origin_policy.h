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

// The origin `text` is exactly, or why it is none: the opaque origin "null",
// a wildcard, a path, user info, a host that is not one, a port outside
// 1-65535, each said as it is ("has the port '0', which is ...").
struct OriginReading {
    std::optional<Origin> origin;
    std::string refusal;  // empty when `origin` is set
};
OriginReading ReadOrigin(std::string_view text);
// The origin alone, nothing for anything that is not exactly one.
std::optional<Origin> ParseOrigin(std::string_view text);
std::string OriginText(const Origin& origin);

// One entry of a policy value as the administrator wrote it, and what it is:
// an origin, "*" for every page, or refused with the reason.
struct PolicyEntry {
    std::string text;  // the entry, blanks around it taken off
    std::optional<Origin> origin;
    bool everyPage = false;
    std::string refusal;  // empty unless the entry is left out
};

// The entries of a policy value, separated by ";"; empty entries (a ";" at
// the end) are passed over. An entry is an origin as a browser reports it for
// a page: https, or http for this machine alone (localhost, 127.0.0.1,
// [::1]), with no wildcard, path or user info and a port within 1-65535; or
// "*" alone, which serves every page.
std::vector<PolicyEntry> ReadPolicyEntries(std::string_view value);

struct OriginPolicy {
    enum class Kind {
        None,       // no policy set: every page is served
        EveryPage,  // "*": every page is served, by the administrator's choice
        Origins,    // only these origins are served
        Unusable,   // set but unreadable, or naming no origin: no page is served
        Missing,    // not set where the installed package requires it: no page is served
    };
    Kind kind = Kind::None;
    std::vector<Origin> origins;
};

// The policy of a registry value: nothing (the value absent) is no policy;
// any text is the list of entries it holds, the refused ones left out, and
// one without a single origin in it allows nothing.
OriginPolicy PolicyFromValue(const std::optional<std::string>& value);

// Whether a page of `origin` (as the browser told it, or nothing when it
// could not be learned) may have the object.
bool Allows(const OriginPolicy& policy, const std::optional<std::string>& origin);

}  // namespace shell
