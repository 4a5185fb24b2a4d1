// The native-messaging host's reading of a request, on any bytes: every
// request gets exactly one answer, a JSON object whose id is the request's
// (or null when it has none the host takes), and every message that carries
// the answer is JSON within the size limit, the parts joining back to it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "messaging/host_session.h"
#include "messaging/json.h"
#include "tests/fuzz/require.h"

namespace {

// A few methods of the plug-in's table, with their numbers of arguments.
std::optional<size_t> Arity(std::string_view name) {
    if (name == "fileExists") return 1;
    if (name == "getWorkspaceList") return 2;
    if (name == "startPlayback") return 1;
    return std::nullopt;
}

// Stands in for the plug-in: a string result made of the arguments.
embedding::CallOutcome Call(const std::string& method, const std::vector<embedding::Value>& args) {
    std::string result = method;
    for (const embedding::Value& arg : args) {
        if (const auto* s = std::get_if<std::string>(&arg)) result += *s;
    }
    return {result, std::nullopt};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view request(reinterpret_cast<const char*>(data), size);
    int calls = 0;
    const messaging::Answer answer = messaging::AnswerRequest(
        request, Arity, [&](const std::string& method, const std::vector<embedding::Value>& args) {
            ++calls;
            return Call(method, args);
        });
    Require(calls <= 1);
    const auto parsed = messaging::ParseJson(answer.text);
    Require(std::holds_alternative<messaging::Json>(parsed));
    Require(std::get<messaging::Json>(parsed).Member("id") != nullptr);
    // The answer begins with the id it reports carrying, a JSON value.
    Require(answer.text.compare(0, 6 + answer.id.size(), "{\"id\":" + answer.id) == 0);
    Require(std::holds_alternative<messaging::Json>(messaging::ParseJson(answer.id)));
    // A request whose id the host took is answered with that id, as JSON
    // writes it.
    const auto sentRequest = messaging::ParseJson(request);
    if (answer.id != "null" && std::holds_alternative<messaging::Json>(sentRequest)) {
        const messaging::Json* sent = std::get<messaging::Json>(sentRequest).Member("id");
        Require(sent != nullptr);
        if (const auto* text = std::get_if<std::string>(&sent->value)) {
            Require(messaging::JsonString(*text) == answer.id);
        } else {
            Require(messaging::JsonNumber(std::get<double>(sent->value)) == answer.id);
        }
    }
    // Split small, so that parts happen often.
    const size_t limit = 160 + answer.id.size() * 2;
    std::string joined;
    std::vector<std::string> messages = messaging::AnswerMessages(answer, limit);
    Require(!messages.empty());
    for (const std::string& message : messages) {
        Require(message.size() <= limit || messages.size() == 1);
        const auto part = messaging::ParseJson(message);
        Require(std::holds_alternative<messaging::Json>(part));
        if (messages.size() > 1) {
            const messaging::Json* piece = std::get<messaging::Json>(part).Member("data");
            Require(piece && std::holds_alternative<std::string>(piece->value));
            joined += std::get<std::string>(piece->value);
        }
    }
    Require(messages.size() == 1 || joined == answer.text);
    return 0;
}
