// Reads one line of page script of the form  name(arg, ...)  with literal
// arguments: strings in single or double quotes with the usual escapes,
// true, false, numbers, null and undefined.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "embedding/value.h"

namespace standin {

using embedding::Value;

struct ScriptCall {
    std::string method;
    std::vector<Value> args;
};

struct ParseError {
    size_t column;  // 1-based
    std::string message;
};

// Integral numbers that fit become Int32 (as one browser passes them) unless
// `numbersAsDoubles`, as another browser always does.
std::variant<ScriptCall, ParseError> ParseScriptCall(std::string_view line,
                                                     bool numbersAsDoubles = false);

// Blank lines and // comments carry no call.
bool IsBlankOrComment(std::string_view line);

}  // namespace standin
