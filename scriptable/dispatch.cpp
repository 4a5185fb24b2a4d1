#include "scriptable/browser_functions.h"
#include "scriptable/method_table.h"
#include "scriptable/scriptable_object.h"

namespace scriptable {

namespace {
constexpr char kInvocationException[] = "exception during invocation";
}

bool Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t argCount,
            NPVariant* result) {
    const IdentifierText methodName(name);
    const MethodRow* row = methodName.HasText() ? FindMethod(methodName.View()) : nullptr;
    if (!row) {
        BrowserSetException(object, kInvocationException);
        return false;
    }
    // A call that does not fit the method's signature does nothing and gives
    // page script undefined.
    if (!object || !result || !row->Accepts(args, argCount)) return true;
    try {
        row->operation(*static_cast<MyScriptableNPObject*>(object), args, *result);
    } catch (...) {
        // An operation reports failure by value, never by exception: one that
        // could not finish (out of memory) leaves the result void.
    }
    return true;
}

}  // namespace scriptable
