#include "scriptable/browser_functions.h"

namespace scriptable {
namespace {

// Written when an object is created and never cleared; with several
// instances it holds the table of the one that created the latest object.
NPNetscapeFuncs sharedFunctions{};

}  // namespace

void ShareBrowserFunctions(const NPNetscapeFuncs& instanceFunctions) {
    sharedFunctions = instanceFunctions;
}

void* BrowserMemAlloc(uint32_t size) {
    return sharedFunctions.memalloc ? sharedFunctions.memalloc(size) : nullptr;
}

void BrowserMemFree(void* buffer) {
    if (buffer && sharedFunctions.memfree) sharedFunctions.memfree(buffer);
}

NPObject* BrowserCreateObject(NPP npp, NPClass* objectClass) {
    return sharedFunctions.createobject ? sharedFunctions.createobject(npp, objectClass) : nullptr;
}

void BrowserSetException(NPObject* object, const char* message) {
    if (sharedFunctions.setexception) sharedFunctions.setexception(object, message);
}

bool BrowserProgressSink(NPP npp, ProgressSink& sink) {
    sink = ProgressSink{};
    return sharedFunctions.getvalue &&
           sharedFunctions.getvalue(npp, kProgressSinkVariable, &sink) == NPERR_NO_ERROR &&
           sink.report != nullptr;
}

IdentifierText::IdentifierText(NPIdentifier identifier)
    : text_(sharedFunctions.utf8fromidentifier ? sharedFunctions.utf8fromidentifier(identifier)
                                               : nullptr) {}

IdentifierText::~IdentifierText() { BrowserMemFree(text_); }

}  // namespace scriptable
