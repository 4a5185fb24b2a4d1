// MyScriptableNPObject: the one object page script gets from the plug-in,
// and the class record through which the browser drives it.
#pragma once

#include <optional>
#include <string>

#include "exchange/exchange_files.h"
#include "npapi/npapi.h"

namespace scriptable {

// Starts with the NPObject header the browser keeps; the browser reaches the
// rest only through the class record's callbacks.
struct MyScriptableNPObject : NPObject {
    explicit MyScriptableNPObject(NPP instance);

    NPP npp;
    exchange::ExchangeFiles exchange;
    std::optional<std::string> origin;  // the page's, for the log, when it is known
};

// Makes `instanceFunctions` the shared function table and creates a new
// object through the browser. Null when the browser gives no object.
NPObject* NewObject(NPP npp, const NPNetscapeFuncs& instanceFunctions);

// The method dispatch behind the class record's `invoke`.
bool Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t argCount,
            NPVariant* result);

}  // namespace scriptable
