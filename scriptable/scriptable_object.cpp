#include "scriptable/scriptable_object.h"

#include <new>

#include "platform/trace.h"
#include "scriptable/browser_functions.h"

namespace scriptable {
namespace {

// Every callback is a firewall: no C++ exception reaches the browser.

NPObject* NPAPI_CALLBACK Allocate(NPP npp, NPClass* /*objectClass*/) {
    Trace("MyScriptableNPObject::Allocate");
    try {
        return new (std::nothrow) MyScriptableNPObject(npp);
    } catch (...) {
        return nullptr;
    }
}

void NPAPI_CALLBACK Deallocate(NPObject* object) {
    TraceScope trace("MyScriptableNPObject::Deallocate");
    delete static_cast<MyScriptableNPObject*>(object);
}

void NPAPI_CALLBACK Invalidate(NPObject* /*object*/) {}

bool NPAPI_CALLBACK HasMethod(NPObject* /*object*/, NPIdentifier /*name*/) {
    // Names that are not methods are refused by Invoke.
    return true;
}

bool NPAPI_CALLBACK InvokeCallback(NPObject* object, NPIdentifier name, const NPVariant* args,
                                   uint32_t argCount, NPVariant* result) {
    try {
        return Invoke(object, name, args, argCount, result);
    } catch (...) {
        return false;
    }
}

bool NPAPI_CALLBACK InvokeDefault(NPObject* /*object*/, const NPVariant* /*args*/,
                                  uint32_t /*argCount*/, NPVariant* /*result*/) {
    return true;
}

bool NPAPI_CALLBACK HasProperty(NPObject* /*object*/, NPIdentifier /*name*/) { return false; }

bool NPAPI_CALLBACK GetProperty(NPObject* /*object*/, NPIdentifier /*name*/,
                                NPVariant* /*result*/) {
    return false;
}

bool NPAPI_CALLBACK SetProperty(NPObject* /*object*/, NPIdentifier /*name*/,
                                const NPVariant* /*value*/) {
    return false;
}

bool NPAPI_CALLBACK RemoveProperty(NPObject* /*object*/, NPIdentifier /*name*/) { return false; }

bool NPAPI_CALLBACK Enumerate(NPObject* /*object*/, NPIdentifier** /*names*/, uint32_t* /*count*/) {
    return false;
}

// `new` on the object is refused: it is not a constructor. Handing the call to
// NPN_Construct would only bring it straight back here.
bool NPAPI_CALLBACK Construct(NPObject* /*object*/, const NPVariant* /*args*/,
                              uint32_t /*argCount*/, NPVariant* /*result*/) {
    Trace("MyScriptableNPObject::Construct");
    return false;
}

NPClass scriptableObjectClass = {
    NP_CLASS_STRUCT_VERSION_CTOR,
    Allocate,
    Deallocate,
    Invalidate,
    HasMethod,
    InvokeCallback,
    InvokeDefault,
    HasProperty,
    GetProperty,
    SetProperty,
    RemoveProperty,
    Enumerate,
    Construct,
};

}  // namespace

MyScriptableNPObject::MyScriptableNPObject(NPP instance) : NPObject{}, npp(instance) {
    Trace("MyScriptableNPObject::MyScriptableNPObject");
}

NPObject* NewObject(NPP npp, const NPNetscapeFuncs& instanceFunctions) {
    TraceScope trace("MyScriptableNPObject::NewObject");
    ShareBrowserFunctions(instanceFunctions);
    return BrowserCreateObject(npp, &scriptableObjectClass);
}

}  // namespace scriptable
