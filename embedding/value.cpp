#include "embedding/value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace embedding {
namespace {

std::string ShowNumber(double number) {
    if (std::isnan(number)) return "NaN";
    if (std::isinf(number)) return number > 0 ? "Infinity" : "-Infinity";
    // The shortest text that reads back as the same number.
    char text[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, number);
        if (std::strtod(text, nullptr) == number) break;
    }
    return text;
}

}  // namespace

std::optional<char> ControlEscape(char letter) {
    switch (letter) {
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
    }
    return std::nullopt;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {

std::optional<uint32_t> FourHexDigits(std::string_view text) {
    if (text.size() < 4) return std::nullopt;
    uint32_t value = 0;
    for (const char c : text.substr(0, 4)) {
        value <<= 4;
        if (c >= '0' && c <= '9') {
            value |= static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            value |= static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            value |= static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
    }
    return value;
}

bool IsSurrogate(uint32_t c) { return c >= 0xD800 && c < 0xE000; }

}  // namespace

std::optional<EscapedCharacter> ReadUnicodeEscape(std::string_view text) {
    const auto high = FourHexDigits(text);
    if (!high) return std::nullopt;
    if (!IsSurrogate(*high)) return EscapedCharacter{*high, 4};
    if (*high < 0xDC00 && text.substr(4, 2) == "\\u") {
        const auto low = FourHexDigits(text.substr(6));
        if (!low) return std::nullopt;
        if (*low >= 0xDC00 && *low < 0xE000) {
            return EscapedCharacter{0x10000 + ((*high - 0xD800) << 10) + (*low - 0xDC00), 10};
        }
    }
    return EscapedCharacter{0xFFFD, 4};
}

Value NumberValue(double number) {
    const bool integral = std::isfinite(number) && number == std::trunc(number) &&
                          number >= INT32_MIN && number <= INT32_MAX &&
                          !(number == 0 && std::signbit(number));
    if (integral) return static_cast<int32_t>(number);
    return number;
}

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\x%02x", c);
                    quoted += escape;
                } else {
                    quoted += static_cast<char>(c);
                }
        }
    }
    return quoted + "\"";
}

std::string Show(const Value& value) {
    struct Visitor {
        std::string operator()(Undefined) const { return "undefined"; }
        std::string operator()(Null) const { return "null"; }
        std::string operator()(bool b) const { return b ? "true" : "false"; }
        std::string operator()(int32_t i) const { return std::to_string(i); }
        std::string operator()(double d) const { return ShowNumber(d); }
        std::string operator()(const std::string& s) const { return Quote(s); }
        std::string operator()(ObjectRef) const { return "[object Object]"; }
        std::string operator()(const RawString& s) const {
            return Quote(s.bytes.substr(0, s.length));
        }
    };
    return std::visit(Visitor{}, value);
}

std::string Show(const CallOutcome& outcome) {
    if (outcome.exception) return "exception: " + *outcome.exception;
    return Show(outcome.value);
}

}  // namespace embedding
