// The console's literal parser on any line: it either reads a call or
// reports an error at a column of the line, and a call it reads, written out
// again, reads back as the same call.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "browser/script_call.h"
#include "tests/fuzz/require.h"

namespace {

bool Finite(const embedding::Value& value) {
    const double* d = std::get_if<double>(&value);
    return !d || std::isfinite(*d);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    for (const bool doubles : {false, true}) {
        const auto parsed = standin::ParseScriptCall(line, doubles);
        if (const auto* error = std::get_if<standin::ParseError>(&parsed)) {
            Require(error->column >= 1 && error->column <= line.size() + 1);
            Require(!error->message.empty());
            continue;
        }
        const auto& call = std::get<standin::ScriptCall>(parsed);
        std::string written = call.method + "(";
        bool finite = true;
        for (size_t i = 0; i < call.args.size(); ++i) {
            written += (i ? ", " : "") + embedding::Show(call.args[i]);
            finite = finite && Finite(call.args[i]);
        }
        written += ")";
        if (!finite) continue;  // Infinity and NaN are shown, not read
        const auto again = standin::ParseScriptCall(written, doubles);
        const auto* reread = std::get_if<standin::ScriptCall>(&again);
        Require(reread && reread->method == call.method && reread->args == call.args);
    }
    return 0;
}
