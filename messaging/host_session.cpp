#include "messaging/host_session.h"

#include <cmath>
#include <cstdint>

#include "messaging/json.h"
#include "messaging/product_version.h"

namespace messaging {
namespace {

embedding::Value Argument(RequestMember& member) {
    if (member.composite) return embedding::ObjectRef{};
    struct Visitor {
        embedding::Value operator()(std::nullptr_t) const { return embedding::Null{}; }
        embedding::Value operator()(bool b) const { return b; }
        embedding::Value operator()(double d) const { return embedding::NumberValue(d); }
        embedding::Value operator()(std::string& s) const { return std::move(s); }
        embedding::Value operator()(std::shared_ptr<JsonArray>&) const {
            return embedding::ObjectRef{};
        }
        embedding::Value operator()(std::shared_ptr<JsonObject>&) const {
            return embedding::ObjectRef{};
        }
    };
    return std::visit(Visitor{}, member.value.value);
}

// The result member of an answer, or "" for undefined.
std::string ResultMember(const embedding::Value& value) {
    struct Visitor {
        std::string operator()(embedding::Undefined) const { return ""; }
        std::string operator()(embedding::Null) const { return ",\"result\":null"; }
        std::string operator()(bool b) const {
            return b ? ",\"result\":true" : ",\"result\":false";
        }
        std::string operator()(int32_t i) const { return ",\"result\":" + std::to_string(i); }
        std::string operator()(double d) const { return ",\"result\":" + JsonNumber(d); }
        std::string operator()(const std::string& s) const {
            return ",\"result\":" + JsonString(s);
        }
        std::string operator()(embedding::ObjectRef) const { return ",\"result\":{}"; }
        std::string operator()(const embedding::RawString& s) const {
            return ",\"result\":" + JsonString(s.bytes.substr(0, s.length));
        }
    };
    return std::visit(Visitor{}, value);
}

// The id as JSON text, or nothing when it is not one the host accepts.
std::optional<std::string> IdText(const RequestMember& id) {
    if (!id.present || id.composite) return std::nullopt;
    if (const auto* number = std::get_if<double>(&id.value.value)) {
        std::string_view digits = id.literal;
        if (!digits.empty() && digits.front() == '-') digits.remove_prefix(1);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
            // A fraction or an exponent ("1e3"): taken only well inside the
            // range where a double holds every integer and every half.
            constexpr double kExactHalves = 4503599627370496.0;  // 2^52
            if (std::trunc(*number) != *number || std::fabs(*number) >= kExactHalves) {
                return std::nullopt;
            }
            return JsonNumber(*number);
        }
        // Plain digits are judged as digits, never by the double they round
        // to: 9007199254740993 must not be answered as ...992.
        constexpr std::string_view kLargestExact = "9007199254740992";  // 2^53
        if (digits.size() > kLargestExact.size() ||
            (digits.size() == kLargestExact.size() && digits > kLargestExact)) {
            return std::nullopt;
        }
        return JsonNumber(*number);
    }
    if (const auto* text = std::get_if<std::string>(&id.value.value)) {
        size_t characters = 0;
        for (const char c : *text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        if (characters > kMaxIdCharacters) return std::nullopt;
        return JsonString(*text);
    }
    return std::nullopt;
}

// More arguments than any method takes; a request with more gets undefined
// without keeping them.
constexpr size_t kMostArguments = 16;

}  // namespace

Reading ReadRequest(std::string_view text, const ArityFunction& arity,
                    const OriginFunction& originAllowed, const PolicyFunction& policy) {
    auto parsed = ParseRequest(text, kMostArguments);
    if (const auto* error = std::get_if<JsonError>(&parsed)) {
        return ErrorAnswer(
            "null", "bad request: " + error->message + " at byte " + std::to_string(error->offset));
    }
    Request& request = std::get<Request>(parsed);
    if (!request.isObject) return ErrorAnswer("null", "bad request: not an object");
    if (!request.id.present) {
        return ErrorAnswer("null", "bad request: no \"id\" number or string");
    }
    const auto id = IdText(request.id);
    if (!id) {
        return ErrorAnswer("null",
                           "bad request: an \"id\" is an integer within 2^53 or a "
                           "string of at most 256 characters");
    }
    const auto* method = request.method.present && !request.method.composite
                             ? std::get_if<std::string>(&request.method.value.value)
                             : nullptr;
    std::optional<std::string> origin;
    if (request.origin.present) {
        if (const auto* text = std::get_if<std::string>(&request.origin.value.value))
            origin = *text;
    }
    const auto logged = [&origin](Answer answer, std::string what, std::string outcome) {
        answer.method = std::move(what);
        answer.outcome = std::move(outcome);
        answer.origin = origin;
        return answer;
    };
    if (policy && method && *method == kPolicyRequest) {
        // With the host's version, for the extension to show beside its own.
        return logged({*id, "{\"id\":" + *id + ",\"policy\":" + policy() +
                                ",\"version\":" + JsonString(ProductVersion()) + "}"},
                      std::string(kPolicyRequest), "policy");
    }
    if (method && *method == kCancelRequest) return Cancel{*id};
    if (originAllowed && !originAllowed(origin)) {
        return ErrorAnswer(*id,
                           "the administrator's origin policy does not allow this page's origin",
                           kPolicyRefusedError);
    }
    if (!method) {
        return logged(ErrorAnswer(*id, "bad request: no \"method\" string"), "-", "bad request");
    }
    const auto count = arity(*method);
    const std::string known = count ? *method : "(unknown)";
    if (!request.argsIsArray) {
        return logged(ErrorAnswer(*id, "bad request: no \"args\" array"), known, "bad request");
    }
    if (!count) {
        return logged(ErrorAnswer(*id, "exception during invocation", kInvocationError), known,
                      "exception");
    }
    if (request.argCount != *count) {
        return logged({*id, "{\"id\":" + *id + "}"}, known, "wrong arguments");
    }
    PreparedCall call{*id, *method, {}, std::move(origin)};
    call.args.reserve(request.argValues.size());
    for (RequestMember& arg : request.argValues) call.args.push_back(Argument(arg));
    return call;
}

Answer AnswerCall(const std::string& id, const embedding::CallOutcome& outcome) {
    if (outcome.exception) return ErrorAnswer(id, *outcome.exception, kInvocationError);
    return {id, "{\"id\":" + id + ResultMember(outcome.value) + "}"};
}

Answer ErrorAnswer(const std::string& id, const std::string& message, std::string_view name) {
    std::string text = "{\"id\":" + id + ",\"error\":" + JsonString(message);
    if (!name.empty()) text += ",\"name\":" + JsonString(std::string(name));
    return {id, text + "}"};
}

Answer CancelledAnswer(const std::string& id) {
    return ErrorAnswer(id, "the call was cancelled", kAbortError);
}

std::string ProgressMessage(const std::string& id, const ProgressReport& report) {
    std::string text = "{\"id\":" + id +
                       ",\"progress\":{\"entriesDone\":" + std::to_string(report.entriesDone) +
                       ",\"bytesDone\":" + std::to_string(report.bytesDone);
    if (report.totalsKnown) {
        text += ",\"entriesTotal\":" + std::to_string(report.entriesTotal) +
                ",\"bytesTotal\":" + std::to_string(report.bytesTotal);
    }
    return text + "}}";
}

Answer AnswerRequest(std::string_view text, const ArityFunction& arity, const CallFunction& call,
                     const OriginFunction& originAllowed, const PolicyFunction& policy) {
    Reading reading = ReadRequest(text, arity, originAllowed, policy);
    if (auto* answer = std::get_if<Answer>(&reading)) return std::move(*answer);
    if (const auto* cancel = std::get_if<Cancel>(&reading)) return {cancel->id, ""};
    const PreparedCall& prepared = std::get<PreparedCall>(reading);
    return AnswerCall(prepared.id, call(prepared.method, prepared.args));
}

void WriteAnswerMessages(const Answer& answer, const std::function<void(const std::string&)>& write,
                         size_t maxBytes) {
    if (answer.text.size() <= maxBytes) return write(answer.text);
    // Escaping at most doubles a slice (the answer is JSON text already: it
    // holds no control character); leave room for the frame around it.
    const std::string frameStart = "{\"id\":" + answer.id + ",\"part\":";
    const size_t frameBytes = frameStart.size() + 64;
    const size_t sliceBytes = maxBytes > 2 * frameBytes + 8 ? (maxBytes - frameBytes) / 2 : 4;
    std::vector<size_t> ends;  // where each slice ends
    for (size_t at = 0; at < answer.text.size();) {
        size_t end = std::min(answer.text.size(), at + sliceBytes);
        // Never between the bytes of one UTF-8 character.
        while (end < answer.text.size() && end > at + 1 &&
               (static_cast<unsigned char>(answer.text[end]) & 0xC0) == 0x80) {
            --end;
        }
        ends.push_back(end);
        at = end;
    }
    const std::string parts = std::to_string(ends.size());
    for (size_t i = 0, at = 0; i < ends.size(); at = ends[i], ++i) {
        write(frameStart + std::to_string(i + 1) + ",\"parts\":" + parts + ",\"data\":" +
              JsonString(std::string_view(answer.text).substr(at, ends[i] - at)) + "}");
    }
}

std::vector<std::string> AnswerMessages(const Answer& answer, size_t maxBytes) {
    std::vector<std::string> messages;
    WriteAnswerMessages(
        answer, [&](const std::string& message) { messages.push_back(message); }, maxBytes);
    return messages;
}

}  // namespace messaging
