// The shared function table: the module-wide copy of the browser's functions
// through which the scriptable object's code calls the browser. Every call
// here tolerates an entry the browser did not provide.
#pragma once

#include <cstdint>
#include <string_view>

#include "npapi/npapi.h"
#include "npapi/progress_sink.h"

namespace scriptable {

// Overwrites the shared table with an instance's copy of the browser's table.
void ShareBrowserFunctions(const NPNetscapeFuncs& instanceFunctions);

// A buffer from NPN_MemAlloc, or null when the browser gives none.
void* BrowserMemAlloc(uint32_t size);
void BrowserMemFree(void* buffer);
NPObject* BrowserCreateObject(NPP npp, NPClass* objectClass);
void BrowserSetException(NPObject* object, const char* message);
// The instance's progress sink, when the browser follows long methods (see
// shell/progress_sink.h); false when it does not.
bool BrowserProgressSink(NPP npp, ProgressSink& sink);

// Owns the text of an identifier (from NPN_UTF8FromIdentifier) and hands it
// back with NPN_MemFree however the owner is left.
class IdentifierText {
  public:
    explicit IdentifierText(NPIdentifier identifier);
    ~IdentifierText();
    IdentifierText(const IdentifierText&) = delete;
    IdentifierText& operator=(const IdentifierText&) = delete;

    bool HasText() const { return text_ != nullptr; }
    std::string_view View() const { return text_ ? std::string_view(text_) : std::string_view(); }

  private:
    char* text_;
};

}  // namespace scriptable
