// One PluginInstance per embedded object: it owns the instance's copy of the
// browser's functions and one reference to the instance's scriptable object.
#pragma once

#include <optional>
#include <string>

#include "npapi/npapi.h"

namespace shell {

// The instance's copy of the browser's table. Entries the browser's declared
// `size` does not cover stay null, as do getJavaEnv, getJavaPeer and every
// entry after `construct`, which nothing reads.
NPNetscapeFuncs CopyBrowserFunctions(const NPNetscapeFuncs& browser);

class PluginInstance {
  public:
    explicit PluginInstance(NPP npp);
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    NPError NpapiNew(NPMIMEType pluginType, uint16_t mode, int16_t argc, char* argn[], char* argv[],
                     NPSavedData* saved);
    NPError NpapiDestroy(NPSavedData** save);
    NPError NpapiGetValue(NPPVariable variable, void* value);

    // The scriptable object, created on first request, with one new
    // reference for the caller. Null when the browser could not create it;
    // the next request tries again.
    NPObject* GetScriptableObject();

    void SetBrowserFunctions(const NPNetscapeFuncs& functions) { functions_ = functions; }

  private:
    // Whether the administrator's origin policy lets this page have the
    // object; the refusal goes to the trace hook.
    bool OriginAllowed();
    // The embedding document's origin as the browser tells it: the answer to
    // NPNVdocumentOrigin, else the window's location.origin; nothing when the
    // browser gives neither.
    std::optional<std::string> DocumentOrigin();
    // Turns the administrator's log on or off, as the policy says now.
    void ConfigureActivityLog();
    std::optional<std::string> origin_;  // the page's, when it was asked

    NPNetscapeFuncs functions_{};
    NPObject* scriptableObject_ = nullptr;
    NPP npp_;
};

}  // namespace shell
