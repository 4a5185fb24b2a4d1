#include "browser/script_call.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace standin {
namespace {

using embedding::AppendUtf8;
using embedding::ControlEscape;
using embedding::Null;
using embedding::NumberValue;
using embedding::Undefined;

struct Failure {
    size_t at;
    std::string message;
};

class Parser {
  public:
    Parser(std::string_view text, bool numbersAsDoubles)
        : text_(text), numbersAsDoubles_(numbersAsDoubles) {}

    ScriptCall Call() {
        SkipBlanks();
        ScriptCall call;
        call.method = Identifier();
        if (call.method.empty()) Fail("expected a method name");
        SkipBlanks();
        Expect('(');
        SkipBlanks();
        if (!Peek(')')) {
            for (;;) {
                call.args.push_back(Literal());
                SkipBlanks();
                if (Peek(',')) {
                    ++pos_;
                    SkipBlanks();
                    continue;
                }
                break;
            }
        }
        Expect(')');
        SkipBlanks();
        if (Peek(';')) ++pos_;
        SkipBlanks();
        if (pos_ != text_.size()) Fail("unexpected text after the call");
        return call;
    }

  private:
    [[noreturn]] void Fail(std::string message) { throw Failure{pos_, std::move(message)}; }

    bool Peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }

    void Expect(char c) {
        if (!Peek(c)) Fail(std::string("expected '") + c + "'");
        ++pos_;
    }

    void SkipBlanks() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
            ++pos_;
        }
    }

    static bool IsWordChar(char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
    }

    std::string Identifier() {
        const size_t start = pos_;
        if (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) return {};
        while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
        return std::string(text_.substr(start, pos_ - start));
    }

    Value Literal() {
        if (pos_ >= text_.size() || text_[pos_] == ')') Fail("expected an argument");
        const char c = text_[pos_];
        if (c == '"' || c == '\'') return String(c);
        if (c == '-' || c == '+' || c == '.' || std::isdigit(static_cast<unsigned char>(c))) {
            return Number();
        }
        const size_t start = pos_;
        const std::string word = Identifier();
        if (word == "true") return true;
        if (word == "false") return false;
        if (word == "null") return Null{};
        if (word == "undefined") return Undefined{};
        if (word == "NaN") return std::nan("");
        if (word == "Infinity") return HUGE_VAL;
        pos_ = start;
        Fail(word.empty() ? "expected a literal argument"
                          : "'" + word + "' is not a literal (strings need quotes)");
    }

    Value Number() {
        const std::string rest(text_.substr(pos_));
        char* end = nullptr;
        const double value = std::strtod(rest.c_str(), &end);
        const size_t used = end - rest.c_str();
        if (used == 0) Fail("expected a number");
        pos_ += used;
        // A browser looks at the number, not at how the page wrote it.
        if (numbersAsDoubles_) return value;
        return NumberValue(value);
    }

    int HexDigits(size_t count) {
        int value = 0;
        for (size_t i = 0; i < count; ++i, ++pos_) {
            if (pos_ >= text_.size() || !std::isxdigit(static_cast<unsigned char>(text_[pos_]))) {
                Fail("bad hexadecimal escape");
            }
            const char h = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_])));
            value = value * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
        }
        return value;
    }

    uint32_t UnicodeEscape() {
        if (Peek('{')) {
            ++pos_;
            uint32_t cp = 0;
            size_t digits = 0;
            while (!Peek('}')) {
                cp = cp * 16 + HexDigits(1);
                if (++digits > 6 || cp > 0x10FFFF) Fail("bad unicode escape");
            }
            ++pos_;
            if (digits == 0) Fail("bad unicode escape");
            return cp;
        }
        const auto escaped = embedding::ReadUnicodeEscape(text_.substr(pos_));
        if (!escaped) Fail(embedding::kUnicodeEscapeError);
        pos_ += escaped->length;
        return escaped->codePoint;
    }

    std::string String(char quote) {
        ++pos_;
        std::string out;
        for (;;) {
            if (pos_ >= text_.size()) Fail("unterminated string");
            const char c = text_[pos_++];
            if (c == quote) return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) Fail("unterminated string");
            const char e = text_[pos_++];
            if (const auto control = ControlEscape(e)) {
                out += *control;
                continue;
            }
            switch (e) {
                case 'v':
                    out += '\v';
                    break;
                case '0':
                    out += '\0';
                    break;
                case 'x':
                    AppendUtf8(out, HexDigits(2));
                    break;
                case 'u':
                    AppendUtf8(out, UnicodeEscape());
                    break;
                default:
                    out += e;  // \\, \', \" and any other character stand for themselves
            }
        }
    }

    std::string_view text_;
    bool numbersAsDoubles_;
    size_t pos_ = 0;
};

}  // namespace

std::variant<ScriptCall, ParseError> ParseScriptCall(std::string_view line, bool numbersAsDoubles) {
    try {
        return Parser(line, numbersAsDoubles).Call();
    } catch (const Failure& failure) {
        return ParseError{failure.at + 1, failure.message};
    }
}

bool IsBlankOrComment(std::string_view line) {
    const size_t start = line.find_first_not_of(" \t\r\n");
    return start == std::string_view::npos || line.substr(start, 2) == "//";
}

}  // namespace standin
