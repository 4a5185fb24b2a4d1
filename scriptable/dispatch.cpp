#include <chrono>

#include "scriptable/activity_log.h"
#include "scriptable/browser_functions.h"
#include "scriptable/method_table.h"
#include "scriptable/scriptable_object.h"

namespace scriptable {

namespace {
constexpr char kInvocationException[] = "exception during invocation";

// What kind of answer page script received, for the log.
const char* OutcomeKind(const NPVariant& result) {
    switch (result.type) {
        case NPVariantType_Bool:
            return "boolean";
        case NPVariantType_Int32:
        case NPVariantType_Double:
            return "number";
        case NPVariantType_String:
            return "string";
        default:
            return "undefined";
    }
}
}  // namespace

bool Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t argCount,
            NPVariant* result) {
    const IdentifierText methodName(name);
    const MethodRow* row = methodName.HasText() ? FindMethod(methodName.View()) : nullptr;
    const auto started = std::chrono::steady_clock::now();
    const auto origin = [&]() -> std::optional<std::string> {
        return object ? static_cast<MyScriptableNPObject*>(object)->origin : std::nullopt;
    };
    if (!row) {
        BrowserSetException(object, kInvocationException);
        LogCall(origin(), "(unknown)", "exception", 0);
        return false;
    }
    // A call that does not fit the method's signature does nothing and gives
    // page script undefined.
    if (!object || !result || !row->Accepts(args, argCount)) {
        LogCall(origin(), row->name, "wrong arguments", 0);
        return true;
    }
    try {
        row->operation(*static_cast<MyScriptableNPObject*>(object), args, *result);
    } catch (...) {
        // An operation reports failure by value, never by exception: one that
        // could not finish (out of memory) leaves the result void.
    }
    if (ActivityLogged()) {
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - started;
        LogCall(origin(), row->name, OutcomeKind(*result), took.count());
    }
    return true;
}

}  // namespace scriptable
