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

std::optional<Origin> ParseOrigin(std::string_view text) {
    const size_t separator = text.find("://");
    if (separator == std::string_view::npos || separator == 0) return std::nullopt;
    Origin origin;
    for (size_t i = 0; i < separator; ++i) {
        const char c = Lower(text[i]);
        if (!IsSchemeCharacter(c, i == 0)) return std::nullopt;
        origin.scheme += c;
    }
    std::string_view rest = text.substr(separator + 3);
    // The host: a bracketed IPv6 address, or a name of letters, digits,
    // hyphens and dots.
    size_t hostEnd;
    if (!rest.empty() && rest.front() == '[') {
        hostEnd = rest.find(']');
        if (hostEnd == std::string_view::npos || hostEnd == 1) return std::nullopt;
        for (size_t i = 1; i < hostEnd; ++i) {
            const char c = Lower(rest[i]);
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == ':' || c == '.')) {
                return std::nullopt;
            }
        }
        ++hostEnd;
    } else {
        hostEnd = rest.find(':');
        if (hostEnd == std::string_view::npos) hostEnd = rest.size();
        if (hostEnd == 0) return std::nullopt;
        for (size_t i = 0; i < hostEnd; ++i) {
            if (!IsHostCharacter(Lower(rest[i]))) return std::nullopt;
        }
        if (rest.front() == '.' || rest[hostEnd - 1] == '.' || rest.front() == '-') {
            return std::nullopt;
        }
    }
    for (size_t i = 0; i < hostEnd; ++i) origin.host += Lower(rest[i]);
    rest.remove_prefix(hostEnd);
    if (!rest.empty()) {
        if (rest.front() != ':' || rest.size() < 2 || rest.size() > 6) return std::nullopt;
        uint32_t port = 0;
        for (const char c : rest.substr(1)) {
            if (c < '0' || c > '9') return std::nullopt;
            port = port * 10 + static_cast<uint32_t>(c - '0');
        }
        if (port < 1 || port > 65535) return std::nullopt;
        origin.port = static_cast<uint16_t>(port);
    }
    if (origin.port == DefaultPort(origin.scheme)) origin.port = 0;
    return origin;
}

std::string OriginText(const Origin& origin) {
    std::string text = origin.scheme + "://" + origin.host;
    if (origin.port) text += ":" + std::to_string(origin.port);
    return text;
}

OriginPolicy PolicyFromValue(const std::optional<std::string>& value) {
    OriginPolicy policy;
    if (!value) return policy;
    policy.kind = OriginPolicy::Kind::Unusable;
    for (size_t start = 0; start <= value->size();) {
        size_t end = value->find(';', start);
        if (end == std::string::npos) end = value->size();
        std::string_view entry = std::string_view(*value).substr(start, end - start);
        while (!entry.empty() && (entry.front() == ' ' || entry.front() == '\t'))
            entry.remove_prefix(1);
        while (!entry.empty() && (entry.back() == ' ' || entry.back() == '\t'))
            entry.remove_suffix(1);
        if (const auto origin = ParseOrigin(entry)) policy.origins.push_back(*origin);
        start = end + 1;
    }
    if (!policy.origins.empty()) policy.kind = OriginPolicy::Kind::Origins;
    return policy;
}

bool Allows(const OriginPolicy& policy, const std::optional<std::string>& origin) {
    if (policy.kind == OriginPolicy::Kind::None) return true;
    if (!origin) return false;
    const auto parsed = ParseOrigin(*origin);
    if (!parsed) return false;  // "null" and anything else that is no origin
    for (const Origin& allowed : policy.origins) {
        if (allowed == *parsed) return true;
    }
    return false;
}

}  // namespace shell
