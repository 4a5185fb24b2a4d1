// The native-messaging host's side of one connection: each request, a JSON
// text {"id": n, "method": "...", "args": [...]}, becomes a call of the
// plug-in's scriptable object, and its outcome an answer {"id": n,
// "result": ...} (no "result" for undefined) or {"id": n, "error": "..."}.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "browser/script_value.h"

namespace messaging {

using CallFunction =
    std::function<standin::CallOutcome(const std::string&, const std::vector<standin::Value>&)>;

// The answer to one request. JSON strings become String arguments,
// true/false Bool, integral numbers Int32 and others Double, null Null, and
// arrays and objects an object, as a browser passes them. A request that
// cannot be read gets an error naming the problem.
std::string AnswerRequest(std::string_view request, const CallFunction& call);

// The largest message a browser takes from a host.
constexpr size_t kMaxAnswerBytes = 1024 * 1024;

// The messages that carry an answer: the answer itself when it fits, else
// numbered parts {"id": n, "part": i, "parts": k, "data": "..."} whose data,
// joined in order, is the answer's text. Parts split only between
// characters.
std::vector<std::string> AnswerMessages(const std::string& answer,
                                        size_t maxBytes = kMaxAnswerBytes);

}  // namespace messaging
