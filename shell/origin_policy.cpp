#include "shell/origin_policy.h"

namespace shell {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSchemeCharacter(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z');
    return letter || (!first && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
}

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

uint16_t DefaultPort(std::string_view scheme) {
    if (scheme == "https") return 443;
    if (scheme == "http") return 80;
    return 0;
}

}  // namespace

OriginReading ReadOrigin(std::string_view text) {
    OriginReading reading;
    auto refuse = [&](std::string why) {
        reading.refusal = std::move(why);
        return reading;
    };
    const size_t separator = text.find("://");
    if (separator == std::string_view::npos || separator == 0) {
        return refuse("is not scheme://host[:port]");
    }
    Origin origin;
    for (size_t i = 0; i < separator; ++i) {
        const char c = Lower(text[i]);
        if (!IsSchemeCharacter(c, i == 0)) {
            return refuse("has the scheme '" + std::string(text.substr(0, separator)) +
                          "', which is not one");
        }
        origin.scheme += c;
    }
    std::string_view rest = text.substr(separator + 3);
    if (rest.find('*') != std::string_view::npos) {
        return refuse("holds a wildcard; name each origin exactly");
    }
    if (rest.find('@') != std::string_view::npos) return refuse("holds user info");
    if (rest.find_first_of("/?#") != std::string_view::npos) {
        return refuse("holds a path, query or fragment; an origin ends after the host and port");
    }
    if (rest.empty() || rest.front() == ':') return refuse("has no host");
    // The host: a bracketed IPv6 address, or a name of letters, digits,
    // hyphens and dots that neither starts nor ends with a dot nor starts
    // with a hyphen.
    size_t hostEnd;
    bool hostIsOne = true;
    if (rest.front() == '[') {
        hostEnd = rest.find(']');
        if (hostEnd == std::string_view::npos) {
            hostEnd = rest.size() - 1;
            hostIsOne = false;
        }
        hostIsOne = hostIsOne && hostEnd > 1;
        for (size_t i = 1; i < hostEnd; ++i) {
            const char c = Lower(rest[i]);
            hostIsOne = hostIsOne &&
                        ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == ':' || c == '.');
        }
        ++hostEnd;
    } else {
        hostEnd = rest.find(':');
        if (hostEnd == std::string_view::npos) hostEnd = rest.size();
        for (size_t i = 0; i < hostEnd; ++i)
            hostIsOne = hostIsOne && IsHostCharacter(Lower(rest[i]));
        hostIsOne =
            hostIsOne && rest.front() != '.' && rest[hostEnd - 1] != '.' && rest.front() != '-';
    }
    if (!hostIsOne) {
        return refuse("has the host '" + std::string(rest.substr(0, hostEnd)) +
                      "', which is not a host name or a bracketed IPv6 address");
    }
    for (size_t i = 0; i < hostEnd; ++i) origin.host += Lower(rest[i]);
    rest.remove_prefix(hostEnd);
    if (!rest.empty()) {
        const std::string_view port = rest.substr(1);
        const std::string refusal =
            "has the port '" + std::string(port) + "', which is not a number from 1 to 65535";
        if (rest.front() != ':' || port.empty() || port.size() > 5) return refuse(refusal);
        uint32_t number = 0;
        for (const char c : port) {
            if (c < '0' || c > '9') return refuse(refusal);
            number = number * 10 + static_cast<uint32_t>(c - '0');
        }
        if (number < 1 || number > 65535) return refuse(refusal);
        origin.port = static_cast<uint16_t>(number);
    }
    if (origin.port == DefaultPort(origin.scheme)) origin.port = 0;
    reading.origin = std::move(origin);
    return reading;
}

std::optional<Origin> ParseOrigin(std::string_view text) { return ReadOrigin(text).origin; }

std::string OriginText(const Origin& origin) {
    std::string text = origin.scheme + "://" + origin.host;
    if (origin.port) text += ":" + std::to_string(origin.port);
    return text;
}

namespace {

bool IsThisMachine(std::string_view host) {
    return host == "localhost" || host == "127.0.0.1" || host == "[::1]";
}

// Why an origin is none a policy may name, or "" when it is one.
std::string PolicyRefusal(const Origin& origin) {
    if (origin.scheme != "https" && origin.scheme != "http") {
        return "has the scheme " + origin.scheme +
               "; only https (or http for this machine) is "
               "allowed";
    }
    if (origin.scheme == "http" && !IsThisMachine(origin.host)) {
        return "uses http to another machine, whose pages anyone on the way could change; use "
               "https";
    }
    return "";
}

std::string_view Trimmed(std::string_view entry) {
    while (!entry.empty() && (entry.front() == ' ' || entry.front() == '\t'))
        entry.remove_prefix(1);
    while (!entry.empty() && (entry.back() == ' ' || entry.back() == '\t')) entry.remove_suffix(1);
    return entry;
}

}  // namespace

std::vector<PolicyEntry> ReadPolicyEntries(std::string_view value) {
    std::vector<PolicyEntry> entries;
    for (size_t start = 0; start <= value.size();) {
        size_t end = value.find(';', start);
        if (end == std::string_view::npos) end = value.size();
        const std::string_view text = Trimmed(value.substr(start, end - start));
        start = end + 1;
        if (text.empty()) continue;
        PolicyEntry& entry = entries.emplace_back();
        entry.text = text;
        if (text == "*") {
            entry.everyPage = true;
            continue;
        }
        OriginReading reading = ReadOrigin(text);
        entry.refusal = reading.origin ? PolicyRefusal(*reading.origin) : reading.refusal;
        if (entry.refusal.empty()) entry.origin = std::move(reading.origin);
    }
    // "*" stands alone: beside origins it would make them meaningless.
    if (entries.size() > 1) {
        for (PolicyEntry& entry : entries) {
            if (!entry.everyPage) continue;
            entry.everyPage = false;
            entry.refusal = "\"*\" serves every page and stands alone; give it or origins";
        }
    }
    return entries;
}

OriginPolicy PolicyFromValue(const std::optional<std::string>& value) {
    OriginPolicy policy;
    if (!value) return policy;
    policy.kind = OriginPolicy::Kind::Unusable;
    for (const PolicyEntry& entry : ReadPolicyEntries(*value)) {
        if (entry.everyPage) policy.kind = OriginPolicy::Kind::EveryPage;
        if (entry.origin) policy.origins.push_back(*entry.origin);
    }
    if (policy.kind != OriginPolicy::Kind::EveryPage && !policy.origins.empty()) {
        policy.kind = OriginPolicy::Kind::Origins;
    }
    return policy;
}

bool Allows(const OriginPolicy& policy, const std::optional<std::string>& origin) {
    if (policy.kind == OriginPolicy::Kind::None || policy.kind == OriginPolicy::Kind::EveryPage) {
        return true;
    }
    if (!origin) return false;
    const auto parsed = ParseOrigin(*origin);
    if (!parsed) return false;  // "null" and anything else that is no origin
    for (const Origin& allowed : policy.origins) {
        if (allowed == *parsed) return true;
    }
    return false;
}

}  // namespace shell
