// Page-script values as the embedding passes them to the plug-in and
// shows what comes back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace embedding {

struct Undefined {
    bool operator==(const Undefined&) const = default;
};
struct Null {
    bool operator==(const Null&) const = default;
};
// A script object (the embedding passes a plain object of its own).
struct ObjectRef {
    bool operator==(const ObjectRef&) const = default;
};

// A string argument as the browser hands it over: `bytes` fill the buffer,
// `length` is the UTF8Length the browser declares (at most the byte count).
struct RawString {
    std::string bytes;
    uint32_t length;
    bool operator==(const RawString&) const = default;
};

using Value =
    std::variant<Undefined, Null, bool, int32_t, double, std::string, ObjectRef, RawString>;

// What page script receives from one method call.
struct CallOutcome {
    Value value;                           // undefined unless the result was set
    std::optional<std::string> exception;  // set when the call threw
};

// A number as a browser that passes integral numbers as Int32 hands it
// over: Int32 when it is integral and fits (1e3 and 1.0 are, -0 is not),
// otherwise Double.
Value NumberValue(double number);

// The control character a one-letter escape stands for in both JavaScript and
// JSON (\b \f \n \r \t), or nothing for any other letter.
std::optional<char> ControlEscape(char letter);

// Appends the code point (at most U+10FFFF) in UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);

// The character a "\u" escape stands for, read from the four hex digits that
// begin `text` (the "\u" already read): a high surrogate followed at once by
// the escape of a low one is joined with it into one character; a lone
// surrogate stands for U+FFFD, and what follows it is read anew. `length` is
// how much of `text` it took. Nothing when four hex digits (of this escape,
// or of the "\u" after a high surrogate) are not there.
struct EscapedCharacter {
    uint32_t codePoint;
    size_t length;
};
std::optional<EscapedCharacter> ReadUnicodeEscape(std::string_view text);
constexpr char kUnicodeEscapeError[] = "four hex digits were expected";

// A value written the way the console shows it: "text" with escapes, true,
// false, numbers, null, undefined.
std::string Show(const Value& value);
std::string Show(const CallOutcome& outcome);

// A JavaScript string literal of `text`, double-quoted.
std::string Quote(const std::string& text);

}  // namespace embedding
