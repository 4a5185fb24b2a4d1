// The native-messaging host's side of one connection: each request, a JSON
// text {"id": n, "method": "...", "args": [...]}, becomes a call of the
// plug-in's scriptable object, and its outcome an answer {"id": n,
// "result": ...} (no "result" for undefined) or {"id": n, "error": "..."}.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "embedding/value.h"
#include "npapi/progress_sink.h"

namespace messaging {

using CallFunction =
    std::function<embedding::CallOutcome(const std::string&, const std::vector<embedding::Value>&)>;

// The number of arguments of the method of exactly that name, or nothing
// when no method has it.
using ArityFunction = std::function<std::optional<size_t>(std::string_view)>;

// The ids a request may carry: integers within +-2^53 (exact in a double),
// and strings of at most this many characters.
constexpr size_t kMaxIdCharacters = 256;

struct Answer {
    std::string id;    // the id as JSON text: "null" when the request gave none
    std::string text;  // the whole answer
    // For the log, when the request was answered without a call: what was
    // asked ("(unknown)" for a name that is no method's), how it ended, and
    // the page's origin as the request gave it.
    std::string method{}, outcome{};
    std::optional<std::string> origin{};
};

// The answer to one request. A name that is not exactly a method's is
// "exception during invocation", and a call with another number of
// arguments than its method takes is undefined, as the plug-in answers
// both; neither reaches `call`, so nothing of such a request is kept.
// JSON strings become String arguments, true/false Bool, integral numbers
// Int32 and others Double, null Null, and arrays and objects an object (never
// built). A request that cannot be read gets an error naming the problem.
//
// `originAllowed` is the administrator's origin policy: it is asked about the
// request's "origin" (the sending page's origin as the browser reported it
// to the extension; nothing when the request has none), and a request it
// refuses is answered with an error and never reaches `call`.
//
// A request whose method is kPolicyRequest is the extension's own question:
// which pages the policy in force serves. It is answered {"id": n,
// "policy": ...} with the JSON text `policy` gives: null for no policy (every
// page), "*" for every page, or the array of origins ([] serves none).
using OriginFunction = std::function<bool(const std::optional<std::string>&)>;
using PolicyFunction = std::function<std::string()>;
inline constexpr std::string_view kPolicyRequest = "#policy";
Answer AnswerRequest(std::string_view request, const ArityFunction& arity, const CallFunction& call,
                     const OriginFunction& originAllowed = {}, const PolicyFunction& policy = {});

// The same in two steps, for a host that runs calls elsewhere: a request is
// read into the answer it gets at once, or the call to make, or a cancel.
//
// A request whose method is kCancelRequest asks to stop the call of its id:
// it gets no answer of its own, and the call, when it is stopped, is
// answered with CancelledAnswer.
inline constexpr std::string_view kCancelRequest = "#cancel";
struct PreparedCall {
    std::string id;  // as JSON text
    std::string method;
    std::vector<embedding::Value> args;
    std::optional<std::string> origin;  // the page's, as the request gave it
};
struct Cancel {
    std::string id;
};
using Reading = std::variant<Answer, PreparedCall, Cancel>;
Reading ReadRequest(std::string_view request, const ArityFunction& arity,
                    const OriginFunction& originAllowed = {}, const PolicyFunction& policy = {});
Answer AnswerCall(const std::string& id, const embedding::CallOutcome& outcome);

// The names an error answer may carry, so that a page tells its errors apart
// without reading their words; the extension and the client add their own
// (see docs/script-api.md, "Errors").
inline constexpr std::string_view kAbortError = "AbortError";
inline constexpr std::string_view kInvocationError = "InvocationError";
inline constexpr std::string_view kPolicyRefusedError = "PolicyRefusedError";
inline constexpr std::string_view kQueueFullError = "QueueFullError";
// {"id": n, "error": message[, "name": name]}
Answer ErrorAnswer(const std::string& id, const std::string& message, std::string_view name = {});
// {"id": n, "error": "the call was cancelled", "name": "AbortError"}
Answer CancelledAnswer(const std::string& id);
// {"id": n, "progress": {"entriesDone", "bytesDone"[, "entriesTotal", "bytesTotal"]}}
std::string ProgressMessage(const std::string& id, const ProgressReport& report);

// The largest message a browser takes from a host.
constexpr size_t kMaxAnswerBytes = 1024 * 1024;

// Hands `write` the messages that carry an answer, one at a time: the
// answer itself when it fits, else numbered parts {"id": n, "part": i,
// "parts": k, "data": "..."} whose data, joined in order, is the answer's
// text. Parts split only between characters; every message fits `maxBytes`.
void WriteAnswerMessages(const Answer& answer, const std::function<void(const std::string&)>& write,
                         size_t maxBytes = kMaxAnswerBytes);

// The same messages, collected.
std::vector<std::string> AnswerMessages(const Answer& answer, size_t maxBytes = kMaxAnswerBytes);

}  // namespace messaging
