#include "messaging/host_session.h"

#include <cstdint>

#include "messaging/json.h"

namespace messaging {
namespace {

std::string ErrorAnswer(const std::string& id, const std::string& message) {
    return "{\"id\":" + id + ",\"error\":" + JsonString(message) + "}";
}

standin::Value Argument(const Json& json) {
    struct Visitor {
        standin::Value operator()(std::nullptr_t) const { return standin::Null{}; }
        standin::Value operator()(bool b) const { return b; }
        standin::Value operator()(double d) const { return standin::NumberValue(d); }
        standin::Value operator()(const std::string& s) const { return s; }
        standin::Value operator()(const std::shared_ptr<JsonArray>&) const {
            return standin::ObjectRef{};
        }
        standin::Value operator()(const std::shared_ptr<JsonObject>&) const {
            return standin::ObjectRef{};
        }
    };
    return std::visit(Visitor{}, json.value);
}

// The result member of an answer, or "" for undefined.
std::string ResultMember(const standin::Value& value) {
    struct Visitor {
        std::string operator()(standin::Undefined) const { return ""; }
        std::string operator()(standin::Null) const { return ",\"result\":null"; }
        std::string operator()(bool b) const {
            return b ? ",\"result\":true" : ",\"result\":false";
        }
        std::string operator()(int32_t i) const { return ",\"result\":" + std::to_string(i); }
        std::string operator()(double d) const { return ",\"result\":" + JsonNumber(d); }
        std::string operator()(const std::string& s) const {
            return ",\"result\":" + JsonString(s);
        }
        std::string operator()(standin::ObjectRef) const { return ",\"result\":{}"; }
        std::string operator()(const standin::RawString& s) const {
            return ",\"result\":" + JsonString(s.bytes.substr(0, s.length));
        }
    };
    return std::visit(Visitor{}, value);
}

std::string IdText(const Json& id) {
    if (const auto* number = std::get_if<double>(&id.value)) return JsonNumber(*number);
    if (const auto* text = std::get_if<std::string>(&id.value)) return JsonString(*text);
    return "null";
}

}  // namespace

std::string AnswerRequest(std::string_view request, const CallFunction& call) {
    auto parsed = ParseJson(request);
    if (const auto* error = std::get_if<JsonError>(&parsed)) {
        return ErrorAnswer(
            "null", "bad request: " + error->message + " at byte " + std::to_string(error->offset));
    }
    const Json& json = std::get<Json>(parsed);
    if (!std::holds_alternative<std::shared_ptr<JsonObject>>(json.value)) {
        return ErrorAnswer("null", "bad request: not an object");
    }
    const Json* id = json.Member("id");
    if (!id || !(std::holds_alternative<double>(id->value) ||
                 std::holds_alternative<std::string>(id->value))) {
        return ErrorAnswer("null", "bad request: no \"id\" number or string");
    }
    const std::string idText = IdText(*id);
    const Json* method = json.Member("method");
    const std::string* name = method ? std::get_if<std::string>(&method->value) : nullptr;
    if (!name) return ErrorAnswer(idText, "bad request: no \"method\" string");
    const Json* args = json.Member("args");
    const auto* list = args ? std::get_if<std::shared_ptr<JsonArray>>(&args->value) : nullptr;
    if (!list) return ErrorAnswer(idText, "bad request: no \"args\" array");

    std::vector<standin::Value> values;
    for (const Json& arg : **list) values.push_back(Argument(arg));
    const standin::CallOutcome outcome = call(*name, values);
    if (outcome.exception) return ErrorAnswer(idText, *outcome.exception);
    return "{\"id\":" + idText + ResultMember(outcome.value) + "}";
}

std::vector<std::string> AnswerMessages(const std::string& answer, size_t maxBytes) {
    if (answer.size() <= maxBytes) return {answer};
    // The id is the answer's first member, as AnswerRequest writes it.
    const size_t idEnd = answer.find_first_of(",}", 6);
    const std::string idText = answer.substr(6, idEnd - 6);
    // Escaping at most doubles a slice; leave room for the frame around it.
    const size_t sliceBytes = (maxBytes - 128 - idText.size()) / 2;
    std::vector<std::string> slices;
    for (size_t at = 0; at < answer.size();) {
        size_t end = std::min(answer.size(), at + sliceBytes);
        // Never between the bytes of one UTF-8 character.
        while (end < answer.size() && (static_cast<unsigned char>(answer[end]) & 0xC0) == 0x80) {
            --end;
        }
        slices.push_back(answer.substr(at, end - at));
        at = end;
    }
    std::vector<std::string> messages;
    for (size_t i = 0; i < slices.size(); ++i) {
        messages.push_back("{\"id\":" + idText + ",\"part\":" + std::to_string(i + 1) +
                           ",\"parts\":" + std::to_string(slices.size()) +
                           ",\"data\":" + JsonString(slices[i]) + "}");
    }
    return messages;
}

}  // namespace messaging
