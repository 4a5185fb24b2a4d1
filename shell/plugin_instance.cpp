#include "shell/plugin_instance.h"

#include <cwchar>

#include "platform/log_file.h"
#include "platform/registry.h"
#include "scriptable/activity_log.h"

#include <cstring>

#include "platform/trace.h"
#include "scriptable/scriptable_object.h"
#include "shell/identity.h"
#include "shell/machine_policy.h"

namespace shell {
namespace {

// Copies the entry at `offset` when the browser's record reaches that far.
template <class Entry>
void CopyEntry(const NPNetscapeFuncs& from, NPNetscapeFuncs& to, Entry NPNetscapeFuncs::*entry) {
    const size_t offset =
        reinterpret_cast<const char*>(&(from.*entry)) - reinterpret_cast<const char*>(&from);
    if (offset + sizeof(Entry) <= from.size) to.*entry = from.*entry;
}

}  // namespace

NPNetscapeFuncs CopyBrowserFunctions(const NPNetscapeFuncs& browser) {
    NPNetscapeFuncs copy{};
    copy.size = browser.size;
    copy.version = browser.version;
    // Entries geturl through reloadplugins, then geturlnotify through
    // construct: everything but the Java entries and the later additions.
#define COPY(entry) CopyEntry(browser, copy, &NPNetscapeFuncs::entry)
    COPY(geturl), COPY(posturl), COPY(requestread), COPY(newstream), COPY(write);
    COPY(destroystream), COPY(status), COPY(uagent), COPY(memalloc), COPY(memfree);
    COPY(memflush), COPY(reloadplugins);
    COPY(geturlnotify), COPY(posturlnotify), COPY(getvalue), COPY(setvalue);
    COPY(invalidaterect), COPY(invalidateregion), COPY(forceredraw), COPY(getstringidentifier);
    COPY(getstringidentifiers), COPY(getintidentifier), COPY(identifierisstring);
    COPY(utf8fromidentifier), COPY(intfromidentifier), COPY(createobject), COPY(retainobject);
    COPY(releaseobject), COPY(invoke), COPY(invokeDefault), COPY(evaluate), COPY(getproperty);
    COPY(setproperty), COPY(removeproperty), COPY(hasproperty), COPY(hasmethod);
    COPY(releasevariantvalue), COPY(setexception), COPY(pushpopupsenabledstate);
    COPY(poppopupsenabledstate), COPY(enumerate), COPY(pluginthreadasynccall), COPY(construct);
#undef COPY
    return copy;
}

PluginInstance::PluginInstance(NPP npp) : npp_(npp) {}

NPError PluginInstance::NpapiNew(NPMIMEType /*pluginType*/, uint16_t /*mode*/, int16_t /*argc*/,
                                 char* /*argn*/[], char* /*argv*/[], NPSavedData* /*saved*/) {
    Trace("PluginInstance::NpapiNew");
    return NPERR_NO_ERROR;
}

NPError PluginInstance::NpapiDestroy(NPSavedData** /*save*/) {
    TraceScope trace("PluginInstance::NpapiDestroy");
    if (scriptableObject_ && functions_.releaseobject) functions_.releaseobject(scriptableObject_);
    scriptableObject_ = nullptr;
    return NPERR_NO_ERROR;
}

NPError PluginInstance::NpapiGetValue(NPPVariable variable, void* value) {
    switch (variable) {
        case NPPVpluginNameString:
            *static_cast<const char**>(value) = PLUGIN_NAME;
            return NPERR_NO_ERROR;
        case NPPVpluginDescriptionString:
            *static_cast<const char**>(value) = PLUGIN_DESCRIPTION;
            return NPERR_NO_ERROR;
        case NPPVpluginScriptableNPObject:
            if (!OriginAllowed()) return NPERR_GENERIC_ERROR;
            *static_cast<NPObject**>(value) = GetScriptableObject();
            return NPERR_NO_ERROR;
    }
    return NPERR_GENERIC_ERROR;
}

bool PluginInstance::OriginAllowed() {
    ConfigureActivityLog();
    const OriginPolicy policy = ReadMachineOriginPolicy();
    if (policy.kind == OriginPolicy::Kind::None || policy.kind == OriginPolicy::Kind::EveryPage) {
        // The page's origin is asked only for the log.
        if (scriptable::ActivityLogged()) origin_ = DocumentOrigin();
        return true;
    }
    if (policy.kind == OriginPolicy::Kind::Unusable || policy.kind == OriginPolicy::Kind::Missing) {
        Trace(policy.kind == OriginPolicy::Kind::Missing
                  ? "PluginInstance: the package requires an origin policy and none is set; no "
                    "page is served"
                  : "PluginInstance: the origin policy names no origin; no page is served");
        scriptable::LogRefusal(DocumentOrigin());
        return false;
    }
    origin_ = DocumentOrigin();
    if (Allows(policy, origin_)) return true;
    const std::string refusal =
        "PluginInstance: the origin policy refused the page of " + origin_.value_or("(unknown)");
    Trace(refusal.c_str());
    scriptable::LogRefusal(origin_);
    return false;
}

void PluginInstance::ConfigureActivityLog() {
    const platform::MachineValue file =
        platform::ReadMachineString(kPolicyKey, scriptable::kLogFileValue);
    // Inside the host the host logs each call, knowing its page.
    const std::wstring program = platform::ProgramPath();
    const std::wstring host = L"npDravenilFileAccessHost.exe";
    const bool inHost = program.size() >= host.size() &&
                        _wcsicmp(program.c_str() + program.size() - host.size(), host.c_str()) == 0;
    scriptable::SetActivityLog(file.kind == platform::MachineValue::Kind::Text
                                   ? std::optional<std::string>(file.text)
                                   : std::nullopt,
                               "plugin", !inHost);
}

std::optional<std::string> PluginInstance::DocumentOrigin() {
    const NPNetscapeFuncs& f = functions_;
    if (!f.getvalue) return std::nullopt;
    char* answer = nullptr;
    if (f.getvalue(npp_, NPNVdocumentOrigin, &answer) == NPERR_NO_ERROR && answer) {
        // The browser's own copy, NUL-terminated; never read far past an
        // origin's length.
        std::string origin(answer, strnlen(answer, 4096));
        if (f.memfree) f.memfree(answer);
        return origin;
    }
    // A browser that does not answer: the window's location.origin.
    if (!f.getproperty || !f.getstringidentifier || !f.releaseobject || !f.releasevariantvalue) {
        return std::nullopt;
    }
    NPObject* window = nullptr;
    if (f.getvalue(npp_, NPNVWindowNPObject, &window) != NPERR_NO_ERROR || !window) {
        return std::nullopt;
    }
    std::optional<std::string> origin;
    NPVariant location{};
    location.type = NPVariantType_Void;
    if (f.getproperty(npp_, window, f.getstringidentifier("location"), &location)) {
        if (location.type == NPVariantType_Object && location.value.objectValue) {
            NPVariant text{};
            text.type = NPVariantType_Void;
            if (f.getproperty(npp_, location.value.objectValue, f.getstringidentifier("origin"),
                              &text)) {
                if (text.type == NPVariantType_String && text.value.stringValue.UTF8Characters) {
                    origin.emplace(text.value.stringValue.UTF8Characters,
                                   text.value.stringValue.UTF8Length);
                }
                f.releasevariantvalue(&text);
            }
        }
        f.releasevariantvalue(&location);
    }
    f.releaseobject(window);
    return origin;
}

NPObject* PluginInstance::GetScriptableObject() {
    if (!scriptableObject_) {
        scriptableObject_ = scriptable::NewObject(npp_, functions_);
        if (scriptableObject_) {
            static_cast<scriptable::MyScriptableNPObject*>(scriptableObject_)->origin = origin_;
        }
    }
    if (scriptableObject_ && functions_.retainobject) functions_.retainobject(scriptableObject_);
    return scriptableObject_;
}

}  // namespace shell
