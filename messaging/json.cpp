#include "messaging/json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "embedding/value.h"

namespace messaging {
namespace {

constexpr int kMaxDepth = 64;

// The length of the UTF-8 sequence at `s`, or 0 when it is not one.
size_t Utf8Length(std::string_view s) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = b(0);
    if (lead < 0x80) return 1;
    size_t length;
    unsigned cp;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, cp = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, cp = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, cp = lead & 0x07;
    else
        return 0;
    if (s.size() < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((b(i) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i) & 0x3F);
    }
    if ((length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp < 0xE000))) ||
        (length == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
        return 0;
    }
    return length;
}

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::variant<Json, JsonError> Document() {
        Json value;
        if (!Value(value, 0)) return error_;
        Space();
        if (at_ != text_.size()) return JsonError{at_, "unexpected text after the value"};
        return value;
    }

    std::variant<Request, JsonError> RequestDocument(size_t maxArgs) {
        Request request;
        Space();
        if (at_ < text_.size() && text_[at_] == '{') {
            request.isObject = true;
            if (!RequestMembers(request, maxArgs)) return error_;
        } else if (!Skip(0)) {
            return error_;
        }
        Space();
        if (at_ != text_.size()) return JsonError{at_, "unexpected text after the value"};
        return request;
    }

  private:
    // The items of the array or the members of the object that opens at
    // `at_`, each read by `item`, then "," or the closing bracket.
    template <class Item>
    bool Items(char close, const Item& item) {
        ++at_;
        Space();
        if (at_ < text_.size() && text_[at_] == close) return ++at_, true;
        for (;;) {
            if (!item()) return false;
            Space();
            if (at_ < text_.size() && text_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == close) return ++at_, true;
            return Fail(close == ']' ? "\",\" or \"]\" was expected"
                                     : "\",\" or \"}\" was expected");
        }
    }

    bool RequestMembers(Request& request, size_t maxArgs) {
        return Items('}', [&] {
            std::string name;
            if (!MemberName(&name)) return false;
            if (name == "args") return Arguments(request, maxArgs);
            if (name == "id" || name == "method" || name == "origin") {
                RequestMember& member = name == "id"       ? request.id
                                        : name == "method" ? request.method
                                                           : request.origin;
                return Scalar(member, 1);
            }
            return Skip(1);
        });
    }

    // A value kept only when it is not an array or an object.
    bool Scalar(RequestMember& member, int depth) {
        member = RequestMember{};
        member.present = true;
        Space();
        if (at_ < text_.size() && (text_[at_] == '[' || text_[at_] == '{')) {
            member.composite = true;
            return Skip(depth);
        }
        const size_t start = at_;
        if (!Value(member.value, depth)) return false;
        // A number's own digits, for a caller that must not take a rounded
        // value for them; a longer one than any exact integer is not kept.
        if (std::holds_alternative<double>(member.value.value) && at_ - start <= 24) {
            member.literal.assign(text_.substr(start, at_ - start));
        }
        return true;
    }

    bool Arguments(Request& request, size_t maxArgs) {
        request.argsPresent = true;
        request.argValues.clear();
        request.argCount = 0;
        Space();
        request.argsIsArray = at_ < text_.size() && text_[at_] == '[';
        if (!request.argsIsArray) return Skip(1);
        return Items(']', [&] {
            if (request.argCount < maxArgs) {
                if (!Scalar(request.argValues.emplace_back(), 2)) return false;
            } else if (!Skip(2)) {
                return false;
            }
            ++request.argCount;
            return true;
        });
    }

    // Checks one value as Value would read it, keeping nothing.
    bool Skip(int depth) {
        if (depth > kMaxDepth) return Fail("nested too deep");
        Space();
        if (at_ == text_.size()) return Fail("a value was expected");
        const char c = text_[at_];
        if (c == '"') return String(nullptr);
        if (c != '[' && c != '{') {
            Json ignored;
            return Value(ignored, depth);  // a number or a literal: small
        }
        const char close = c == '[' ? ']' : '}';
        return Items(close, [&] {
            if (close == '}' && !MemberName(nullptr)) return false;
            return Skip(depth + 1);
        });
    }

    // A member's name and the colon after it; the name is kept only when
    // `name` is given.
    bool MemberName(std::string* name) {
        Space();
        if (at_ == text_.size() || text_[at_] != '"') return Fail("a member name was expected");
        if (!String(name)) return false;
        Space();
        if (at_ == text_.size() || text_[at_] != ':') return Fail("\":\" was expected");
        ++at_;
        return true;
    }

    bool Fail(const std::string& message) {
        error_ = {at_, message};
        return false;
    }

    void Space() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }

    bool Literal(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    bool Value(Json& out, int depth) {
        if (depth > kMaxDepth) return Fail("nested too deep");
        Space();
        if (at_ == text_.size()) return Fail("a value was expected");
        const char c = text_[at_];
        if (c == '{') return Object(out, depth);
        if (c == '[') return Array(out, depth);
        if (c == '"') {
            std::string s;
            if (!String(&s)) return false;
            out.value = std::move(s);
            return true;
        }
        if (Literal("true")) return out.value = true, true;
        if (Literal("false")) return out.value = false, true;
        if (Literal("null")) return out.value = nullptr, true;
        return Number(out);
    }

    bool Number(Json& out) {
        const size_t start = at_;
        auto digits = [&] {
            const size_t from = at_;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
            return at_ > from;
        };
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        if (at_ < text_.size() && text_[at_] == '0') {
            ++at_;
        } else if (!digits()) {
            at_ = start;
            return Fail("a value was expected");
        }
        if (at_ < text_.size() && text_[at_] == '.') {
            ++at_;
            if (!digits()) return Fail("digits were expected after the point");
        }
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
            if (!digits()) return Fail("digits were expected in the exponent");
        }
        out.value = std::strtod(std::string(text_.substr(start, at_ - start)).c_str(), nullptr);
        return true;
    }

    // A string; its text goes to `out`, or is only checked when `out` is
    // null, so that a passed-over string costs no memory.
    bool String(std::string* out) {
        ++at_;  // the opening quote
        for (;;) {
            if (at_ == text_.size()) return Fail("the string is not closed");
            const char c = text_[at_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) {
                --at_;
                return Fail("a control character in a string");
            }
            if (static_cast<unsigned char>(c) >= 0x80) {
                // Only well-formed UTF-8: no overlong form, no surrogate.
                const size_t length = Utf8Length(text_.substr(at_ - 1));
                if (length == 0) {
                    --at_;
                    return Fail("a string that is not UTF-8");
                }
                if (out) out->append(text_.substr(at_ - 1, length));
                at_ += length - 1;
                continue;
            }
            if (c != '\\') {
                if (out) *out += c;
                continue;
            }
            if (at_ == text_.size()) return Fail("the string is not closed");
            const char e = text_[at_++];
            if (const auto control = embedding::ControlEscape(e)) {
                if (out) *out += *control;
                continue;
            }
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    if (out) *out += e;
                    break;
                case 'u': {
                    const auto escaped = embedding::ReadUnicodeEscape(text_.substr(at_));
                    if (!escaped) return Fail(embedding::kUnicodeEscapeError);
                    at_ += escaped->length;
                    if (out) embedding::AppendUtf8(*out, escaped->codePoint);
                    break;
                }
                default:
                    --at_;
                    return Fail("an unknown escape");
            }
        }
    }

    bool Array(Json& out, int depth) {
        auto array = std::make_shared<JsonArray>();
        if (!Items(']', [&] {
                Json item;
                if (!Value(item, depth + 1)) return false;
                array->push_back(std::move(item));
                return true;
            })) {
            return false;
        }
        out.value = array;
        return true;
    }

    bool Object(Json& out, int depth) {
        auto object = std::make_shared<JsonObject>();
        if (!Items('}', [&] {
                std::string name;
                if (!MemberName(&name)) return false;
                Json member;
                if (!Value(member, depth + 1)) return false;
                (*object)[name] = std::move(member);
                return true;
            })) {
            return false;
        }
        out.value = object;
        return true;
    }

    std::string_view text_;
    size_t at_ = 0;
    JsonError error_{0, ""};
};

}  // namespace

const Json* Json::Member(const std::string& name) const {
    const auto* object = std::get_if<std::shared_ptr<JsonObject>>(&value);
    if (!object) return nullptr;
    const auto it = (*object)->find(name);
    return it == (*object)->end() ? nullptr : &it->second;
}

std::variant<Json, JsonError> ParseJson(std::string_view text) { return Parser(text).Document(); }

std::variant<Request, JsonError> ParseRequest(std::string_view text, size_t maxArgs) {
    return Parser(text).RequestDocument(maxArgs);
}

std::string JsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
            ++i;
        } else if (const size_t length = Utf8Length(text.substr(i)); length > 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not UTF-8
            ++i;
        }
    }
    out += '"';
    return out;
}

std::string JsonNumber(double number) {
    if (!std::isfinite(number)) return "null";
    char text[32];
    // Integers exact in a double are written out whole: 1000, not 1e+03.
    if (std::trunc(number) == number && std::fabs(number) <= 9007199254740992.0) {
        std::snprintf(text, sizeof text, "%.0f", number);
        return text;
    }
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, number);
        if (std::strtod(text, nullptr) == number) break;
    }
    return text;
}

}  // namespace messaging
