// The little JSON the native-messaging host needs: reading requests and
// writing answers. Pure: no Windows call.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace messaging {

struct Json;
using JsonArray = std::vector<Json>;
using JsonObject = std::map<std::string, Json>;

struct Json {
    std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<JsonArray>,
                 std::shared_ptr<JsonObject>>
        value;

    const Json* Member(const std::string& name) const;  // null unless an object has it
};

struct JsonError {
    size_t offset;
    std::string message;
};

// One JSON text (RFC 8259), nested at most 64 deep; strings must be UTF-8.
std::variant<Json, JsonError> ParseJson(std::string_view text);

// One member of a request as read: arrays and objects are checked but never
// built, so a request costs memory only for its scalars.
struct RequestMember {
    bool present = false;
    bool composite = false;  // an array or an object: `value` holds nothing
    Json value;
    std::string literal;  // a number as written, when at most 24 characters
};

// A native-messaging request, {"id": ..., "method": ..., "args": [...]}, read
// in one pass: any other member is checked and passed over, and only the
// first `maxArgs` arguments are kept (all are counted). A later member of the
// same name replaces an earlier one.
struct Request {
    bool isObject = false;
    RequestMember id, method, origin;
    bool argsPresent = false, argsIsArray = false;
    std::vector<RequestMember> argValues;
    size_t argCount = 0;
};
std::variant<Request, JsonError> ParseRequest(std::string_view text, size_t maxArgs);

// `text` as a JSON string literal. Bytes that are not UTF-8 become U+FFFD,
// as a browser reads them.
std::string JsonString(std::string_view text);

// A number as JSON writes it: integers without a fraction, others as the
// shortest text that reads back the same, non-finite numbers as null.
std::string JsonNumber(double number);

}  // namespace messaging
