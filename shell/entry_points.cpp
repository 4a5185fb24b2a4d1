// The module's exports and the NPP functions it hands the browser. Each is a
// firewall: it checks what the browser handed in and lets no C++ exception
// cross back into the browser.
#include <new>

#include "npapi/npapi.h"
#include "platform/trace.h"
#include "shell/identity.h"
#include "shell/plugin_instance.h"

namespace {

// The table the browser passed to NP_Initialize. The browser keeps it valid
// while the module is loaded; NPP_New copies from it.
const NPNetscapeFuncs* browserFunctions = nullptr;

const char kMimeDescription[] = PLUGIN_MIME_DESCRIPTION;

shell::PluginInstance* InstanceOf(NPP instance) {
    return static_cast<shell::PluginInstance*>(instance->pdata);
}

NPError NPAPI_CALLBACK NPP_New(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc,
                               char* argn[], char* argv[], NPSavedData* saved) {
    TraceScope trace("nevv");
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    // Without NP_Initialize there are no browser functions to copy.
    if (!browserFunctions) return NPERR_INVALID_FUNCTABLE_ERROR;
    try {
        auto* plugin = new (std::nothrow) shell::PluginInstance(instance);
        if (!plugin) return NPERR_OUT_OF_MEMORY_ERROR;
        instance->pdata = plugin;
        const NPError result = plugin->NpapiNew(pluginType, mode, argc, argn, argv, saved);
        plugin->SetBrowserFunctions(shell::CopyBrowserFunctions(*browserFunctions));
        return result;
    } catch (...) {
        return NPERR_GENERIC_ERROR;
    }
}

NPError NPAPI_CALLBACK NPP_Destroy(NPP instance, NPSavedData** save) {
    TraceScope trace("destroy");
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    if (!instance->pdata) return NPERR_GENERIC_ERROR;
    try {
        shell::PluginInstance* plugin = InstanceOf(instance);
        const NPError result = plugin->NpapiDestroy(save);
        delete plugin;
        instance->pdata = nullptr;
        return result;
    } catch (...) {
        return NPERR_GENERIC_ERROR;
    }
}

NPError NPAPI_CALLBACK NPP_SetWindow(NPP /*instance*/, NPWindow* /*window*/) {
    TraceScope trace("setWindow");
    return NPERR_NO_ERROR;
}

int16_t NPAPI_CALLBACK NPP_HandleEvent(NPP /*instance*/, void* /*event*/) {
    TraceScope trace("handleEvent");
    return 0;  // not handled
}

NPError NPAPI_CALLBACK NPP_GetValue(NPP instance, NPPVariable variable, void* value) {
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    if (!instance->pdata || !value) return NPERR_GENERIC_ERROR;
    try {
        return InstanceOf(instance)->NpapiGetValue(variable, value);
    } catch (...) {
        return NPERR_GENERIC_ERROR;
    }
}

}  // namespace

extern "C" {

NPError NPAPI_EXPORT_CALL NP_GetEntryPoints(NPPluginFuncs* pFuncs) {
    TraceScope trace("NP_GetEntryPoints");
    if (!pFuncs) return NPERR_INVALID_FUNCTABLE_ERROR;
    // Only these six fields: `size` and everything else stay as the browser
    // set them.
    pFuncs->version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    pFuncs->newp = NPP_New;
    pFuncs->destroy = NPP_Destroy;
    pFuncs->getvalue = NPP_GetValue;
    pFuncs->event = NPP_HandleEvent;
    pFuncs->setwindow = NPP_SetWindow;
    return NPERR_NO_ERROR;
}

NPError NPAPI_EXPORT_CALL NP_Initialize(NPNetscapeFuncs* bFuncs) {
    Trace("NP_Initialize");
    if (!bFuncs) return NPERR_INVALID_FUNCTABLE_ERROR;
    if ((bFuncs->version >> 8) > NP_VERSION_MAJOR) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    browserFunctions = bFuncs;
    Trace("NP_Initialize - end");
    return NPERR_NO_ERROR;
}

NPError NPAPI_EXPORT_CALL NP_Shutdown() { return NPERR_NO_ERROR; }

const char* NPAPI_CALLBACK NP_GetMIMEDescription() { return kMimeDescription; }

}  // extern "C"
