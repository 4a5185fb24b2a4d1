#include "embedding/embedder.h"

#include "platform/log_file.h"
#include "workspace/list_texts.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace embedding {
namespace {

Browser* current = nullptr;

// A plain script object of the page, handed to the plug-in as an Object
// argument.
NPClass pageObjectClass = [] {
    NPClass c{};
    c.structVersion = NP_CLASS_STRUCT_VERSION_CTOR;
    return c;
}();
NPObject pageObject{&pageObjectClass, 1};

// The page's window and its location, which the browser owns: a last
// release by the plug-in would be a fault the accounts show, never a free.
void NPAPI_CALLBACK KeepBrowserObject(NPObject*) {}
NPClass browserObjectClass = [] {
    NPClass c{};
    c.structVersion = NP_CLASS_STRUCT_VERSION_CTOR;
    c.deallocate = KeepBrowserObject;
    return c;
}();

// The browser functions a browser gives every plug-in.
void* NPAPI_CALLBACK NpnMemAlloc(uint32_t size) { return Browser::Current().Allocate(size, false); }
void NPAPI_CALLBACK NpnMemFree(void* buffer) { Browser::Current().Free(buffer, true); }

NPIdentifier NPAPI_CALLBACK NpnGetStringIdentifier(const NPUTF8* name) {
    return name ? Browser::Current().StringIdentifier(name) : nullptr;
}
NPIdentifier NPAPI_CALLBACK NpnGetIntIdentifier(int32_t value) {
    return Browser::Current().IntIdentifier(value);
}
bool NPAPI_CALLBACK NpnIdentifierIsString(NPIdentifier identifier) {
    return Browser::Current().IdentifierName(identifier) != nullptr;
}
NPUTF8* NPAPI_CALLBACK NpnUTF8FromIdentifier(NPIdentifier identifier) {
    Browser& browser = Browser::Current();
    const std::string* name = browser.IdentifierName(identifier);
    if (!name) return nullptr;
    // The caller owns the copy and frees it with NPN_MemFree.
    auto* copy = static_cast<char*>(browser.Allocate(name->size() + 1, true));
    if (copy) std::memcpy(copy, name->c_str(), name->size() + 1);
    return copy;
}
int32_t NPAPI_CALLBACK NpnIntFromIdentifier(NPIdentifier identifier) {
    return Browser::Current().IdentifierInt(identifier).value_or(INT32_MIN);
}
NPObject* NPAPI_CALLBACK NpnCreateObject(NPP npp, NPClass* objectClass) {
    return Browser::Current().CreateObject(npp, objectClass);
}
NPObject* NPAPI_CALLBACK NpnRetainObject(NPObject* object) {
    return Browser::Current().Retain(object);
}
void NPAPI_CALLBACK NpnReleaseObject(NPObject* object) { Browser::Current().Release(object); }
NPError NPAPI_CALLBACK NpnGetValue(NPP npp, NPNVariable variable, void* value) {
    return Browser::Current().GetValue(npp, variable, value);
}
bool NPAPI_CALLBACK NpnGetProperty(NPP /*npp*/, NPObject* object, NPIdentifier name,
                                   NPVariant* result) {
    return Browser::Current().GetProperty(object, name, result);
}
void NPAPI_CALLBACK NpnReleaseVariantValue(NPVariant* variant) {
    Browser::Current().ReleaseVariantValue(variant);
}
void NPAPI_CALLBACK NpnSetException(NPObject* /*object*/, const NPUTF8* message) {
    Browser::Current().SetException(message ? message : "");
}

// Every other entry: the plug-in has no business calling it.
// clang-format off
#define STANDIN_UNUSED_ENTRIES(X)                                                         \
    X(geturl) X(posturl) X(requestread) X(newstream) X(write) X(destroystream)           \
    X(status) X(uagent) X(memflush) X(reloadplugins) X(getJavaEnv) X(getJavaPeer)        \
    X(geturlnotify) X(posturlnotify) X(setvalue) X(invalidaterect)                       \
    X(invalidateregion) X(forceredraw) X(getstringidentifiers) X(invoke)                 \
    X(invokeDefault) X(evaluate) X(setproperty) X(removeproperty)                        \
    X(hasproperty) X(hasmethod) X(pushpopupsenabledstate)                                \
    X(poppopupsenabledstate) X(enumerate) X(pluginthreadasynccall) X(construct)          \
    X(getvalueforurl) X(setvalueforurl) X(getauthenticationinfo)
// clang-format on

#define STANDIN_UNEXPECTED(entry) \
    void NPAPI_CALLBACK Unexpected_##entry() { Browser::Current().Unexpected(#entry); }
STANDIN_UNUSED_ENTRIES(STANDIN_UNEXPECTED)
#undef STANDIN_UNEXPECTED

// Holds the bytes of a string argument; deliberately not NUL-terminated, so
// that a plug-in that looks past UTF8Length reads filler, not a terminator.
std::unique_ptr<char[]> ArgumentBuffer(const std::string& bytes) {
    auto buffer = std::make_unique<char[]>(bytes.size() + 8);
    std::memcpy(buffer.get(), bytes.data(), bytes.size());
    std::memset(buffer.get() + bytes.size(), '#', 8);
    return buffer;
}

}  // namespace

std::wstring ProgramFolder() {
    std::wstring path = platform::ProgramPath();
    path.resize(path.find_last_of(L"\\/") + 1);
    return path;
}

std::wstring DefaultPluginPath() { return ProgramFolder() + L"npDravenilFileAccessPlugin.dll"; }

Browser::Browser(BrowserOptions options)
    : window_{&browserObjectClass, 1}, location_{&browserObjectClass, 1} {
    if (current) throw std::logic_error("one embedding at a time");
    const std::wstring path = options.pluginPath.empty() ? DefaultPluginPath() : options.pluginPath;
    module_ = LoadLibraryW(path.c_str());
    if (!module_) throw std::runtime_error("cannot load the plug-in DLL");
    current = this;
    getEntryPoints = reinterpret_cast<NP_GetEntryPointsFunc>(Export("NP_GetEntryPoints"));
    initialize = reinterpret_cast<NP_InitializeFunc>(Export("NP_Initialize"));
    shutdown = reinterpret_cast<NP_ShutdownFunc>(Export("NP_Shutdown"));
    getMimeDescription =
        reinterpret_cast<NP_GetMIMEDescriptionFunc>(Export("NP_GetMIMEDescription"));
    FillFunctionTable(options);
    if (options.initialize && getEntryPoints && initialize) {
        pluginFuncs.size = sizeof(NPPluginFuncs);
        getEntryPoints(&pluginFuncs);
        initializeResult = initialize(&browserFuncs);
    }
}

Browser::~Browser() {
    if (shutdown) shutdown();
    FreeLibrary(static_cast<HMODULE>(module_));
    for (auto& [buffer, size] : buffers_) std::free(buffer);
    current = nullptr;
}

Browser& Browser::Current() {
    if (!current) std::abort();
    return *current;
}

void* Browser::Export(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module_), name));
}

void Browser::FillFunctionTable(const BrowserOptions& options) {
    NPNetscapeFuncs& f = browserFuncs;
    f.size = options.tableSize;
    f.version = options.tableVersion;
    f.memalloc = NpnMemAlloc;
    f.memfree = NpnMemFree;
    f.getstringidentifier = NpnGetStringIdentifier;
    f.getintidentifier = NpnGetIntIdentifier;
    f.identifierisstring = NpnIdentifierIsString;
    f.utf8fromidentifier = NpnUTF8FromIdentifier;
    f.intfromidentifier = NpnIntFromIdentifier;
    f.createobject = NpnCreateObject;
    f.retainobject = NpnRetainObject;
    f.releaseobject = NpnReleaseObject;
    f.setexception = NpnSetException;
    f.getvalue = NpnGetValue;
    f.getproperty = NpnGetProperty;
    f.releasevariantvalue = NpnReleaseVariantValue;
#define STANDIN_FILL(entry) f.entry = Unexpected_##entry;
    STANDIN_UNUSED_ENTRIES(STANDIN_FILL)
#undef STANDIN_FILL
}

NPIdentifier Browser::StringIdentifier(const std::string& name) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    auto& slot = stringIds_[name];
    if (!slot) slot.reset(new Identifier{true, name, 0});
    return slot.get();
}

NPIdentifier Browser::IntIdentifier(int32_t value) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    auto& slot = intIds_[value];
    if (!slot) slot.reset(new Identifier{false, {}, value});
    return slot.get();
}

const std::string* Browser::IdentifierName(NPIdentifier identifier) const {
    const auto* id = static_cast<const Identifier*>(identifier);
    return id && id->isString ? &id->name : nullptr;
}

std::optional<int32_t> Browser::IdentifierInt(NPIdentifier identifier) const {
    const auto* id = static_cast<const Identifier*>(identifier);
    if (!id || id->isString) return std::nullopt;
    return id->value;
}

void* Browser::Allocate(uint32_t size, bool forPlugin) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    if (!forPlugin) {
        allocationSizes.push_back(size);
        if (failAllocations) return nullptr;
    }
    void* buffer = nullptr;
    if (!forPlugin && freshBuffers) {
        buffer = VirtualAlloc(nullptr, size ? size : 1, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (buffer) freshPages_.insert(buffer);
    } else {
        buffer = std::malloc(size ? size : 1);
    }
    if (buffer) buffers_[buffer] = size;
    return buffer;
}

void Browser::Free(void* buffer, bool byPlugin) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    if (!buffer) return;
    if (byPlugin) ++pluginFrees;
    const auto it = buffers_.find(buffer);
    if (it == buffers_.end()) {
        faults.push_back(byPlugin ? "NPN_MemFree of a buffer that is not allocated"
                                  : "a result buffer that is not allocated");
        return;
    }
    buffers_.erase(it);
    if (freshPages_.erase(buffer)) {
        VirtualFree(buffer, 0, MEM_RELEASE);
    } else {
        std::free(buffer);
    }
}

NPObject* Browser::CreateObject(NPP npp, NPClass* objectClass) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    if (failObjectCreation || !objectClass) return nullptr;
    NPObject* object = objectClass->allocate
                           ? objectClass->allocate(npp, objectClass)
                           : static_cast<NPObject*>(std::malloc(sizeof(NPObject)));
    if (!object) return nullptr;
    object->_class = objectClass;
    object->referenceCount = 1;
    objects_.insert(object);
    return object;
}

NPError Browser::GetValue(NPP npp, NPNVariable variable, void* value) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    if (variable == kProgressSinkVariable) {
        const auto sink = progressSinks_.find(npp);
        if (sink == progressSinks_.end()) return NPERR_GENERIC_ERROR;
        *static_cast<ProgressSink*>(value) = sink->second;
        return NPERR_NO_ERROR;
    }
    ++getValueCalls;
    if (variable == NPNVdocumentOrigin && documentOrigin) {
        auto* copy = static_cast<char*>(Allocate(uint32_t(documentOrigin->size() + 1), true));
        if (!copy) return NPERR_OUT_OF_MEMORY_ERROR;
        std::memcpy(copy, documentOrigin->c_str(), documentOrigin->size() + 1);
        *static_cast<char**>(value) = copy;
        return NPERR_NO_ERROR;
    }
    if (variable == NPNVWindowNPObject && windowOrigin) {
        *static_cast<NPObject**>(value) = Retain(&window_);
        return NPERR_NO_ERROR;
    }
    return NPERR_GENERIC_ERROR;
}

bool Browser::GetProperty(NPObject* object, NPIdentifier name, NPVariant* result) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    const std::string* property = IdentifierName(name);
    if (!property || !result) return false;
    if (object == &window_ && *property == "location") {
        result->type = NPVariantType_Object;
        result->value.objectValue = Retain(&location_);
        return true;
    }
    if (object == &location_ && *property == "origin" && windowOrigin) {
        auto* copy = static_cast<char*>(Allocate(uint32_t(windowOrigin->size() + 1), true));
        if (!copy) return false;
        std::memcpy(copy, windowOrigin->c_str(), windowOrigin->size() + 1);
        result->type = NPVariantType_String;
        result->value.stringValue = {copy, uint32_t(windowOrigin->size())};
        return true;
    }
    return false;
}

void Browser::ReleaseVariantValue(NPVariant* variant) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    if (!variant) return;
    if (variant->type == NPVariantType_String) {
        Free(const_cast<char*>(variant->value.stringValue.UTF8Characters), true);
    } else if (variant->type == NPVariantType_Object) {
        Release(variant->value.objectValue);
    }
    variant->type = NPVariantType_Void;
}

void Browser::SetException(std::string message) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    exceptions_[std::this_thread::get_id()] = std::move(message);
}

std::optional<std::string> Browser::TakeException() {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    const auto it = exceptions_.find(std::this_thread::get_id());
    if (it == exceptions_.end()) return std::nullopt;
    std::optional<std::string> message = std::move(it->second);
    exceptions_.erase(it);
    return message;
}

size_t Browser::LiveBuffers() const {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    return buffers_.size();
}

size_t Browser::LiveObjects() const {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    return objects_.size();
}

void Browser::Fault(std::string what) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    faults.push_back(std::move(what));
}

void Browser::Unexpected(const char* entry) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    unexpectedCalls.push_back(entry);
}

void Browser::SetProgressSink(NPP npp, std::optional<ProgressSink> sink) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    if (sink) {
        progressSinks_[npp] = *sink;
    } else {
        progressSinks_.erase(npp);
    }
}

void Browser::SetDocumentOrigin(std::optional<std::string> origin) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    documentOrigin = std::move(origin);
}

size_t Browser::PageObjectReferences() const {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    return window_.referenceCount + location_.referenceCount - 2;
}

NPObject* Browser::Retain(NPObject* object) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    if (object) ++object->referenceCount;
    return object;
}

void Browser::Release(NPObject* object) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    if (!object) return;
    if (object == &window_ || object == &location_) {
        // The browser keeps its own reference: the plug-in may not drop it.
        if (object->referenceCount <= 1) {
            faults.push_back("NPN_ReleaseObject of a page object once too often");
        } else {
            --object->referenceCount;
        }
        return;
    }
    if (!objects_.count(object) || object->referenceCount == 0) {
        faults.push_back("NPN_ReleaseObject of an object that is not alive");
        return;
    }
    if (--object->referenceCount > 0) return;
    objects_.erase(object);
    if (object->_class->deallocate) {
        object->_class->deallocate(object);
    } else {
        std::free(object);
    }
}

std::string Browser::TakeStringResult(const NPVariant& result) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    const NPString& s = result.value.stringValue;
    auto* buffer = const_cast<char*>(s.UTF8Characters);
    const auto it = buffers_.find(buffer);
    if (!buffer || it == buffers_.end()) {
        faults.push_back("a string result whose buffer is not from NPN_MemAlloc");
        return {};
    }
    if (s.UTF8Length >= it->second || buffer[s.UTF8Length] != '\0' ||
        workspace::FindNul(buffer, s.UTF8Length) != s.UTF8Length) {
        faults.push_back("a string result whose length does not end at its NUL");
    }
    std::string text;
    if (!discardStringResults)
        text.assign(buffer, s.UTF8Length < it->second ? s.UTF8Length : it->second);
    Free(buffer, false);
    return text;
}

Embed::Embed(Browser& browser, int16_t argc, char* argn[], char* argv[]) : browser_(browser) {
    char mimeType[] = "application/x-dravenilfileaccessplugin";
    newResult = browser_.pluginFuncs.newp
                    ? browser_.pluginFuncs.newp(mimeType, &instance_, 1 /* embedded */, argc, argn,
                                                argv, nullptr)
                    : NPERR_INVALID_FUNCTABLE_ERROR;
}

Embed::~Embed() { Destroy(); }

NPError Embed::GetValue(NPPVariable variable, void* value) {
    return browser_.pluginFuncs.getvalue(&instance_, variable, value);
}

NPObject* Embed::ScriptableObject() {
    if (object_) return object_;
    NPObject* object = nullptr;
    if (GetValue(NPPVpluginScriptableNPObject, &object) != NPERR_NO_ERROR || !object) {
        return nullptr;
    }
    object_ = object;
    pageReferences_ = 1;
    return object_;
}

CallOutcome Embed::Call(const std::string& method, const std::vector<Value>& args) {
    return Call(browser_.StringIdentifier(method), args);
}

CallOutcome Embed::Call(NPIdentifier name, const std::vector<Value>& args) {
    NPObject* object = ScriptableObject();
    if (!object) return {Undefined{}, "the plug-in gave no scriptable object"};

    std::vector<std::unique_ptr<char[]>> buffers;
    std::vector<NPVariant> variants(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        NPVariant& v = variants[i];
        struct Convert {
            NPVariant& v;
            std::vector<std::unique_ptr<char[]>>& buffers;
            void operator()(Undefined) { v.type = NPVariantType_Void; }
            void operator()(Null) { v.type = NPVariantType_Null; }
            void operator()(bool b) {
                v.type = NPVariantType_Bool;
                v.value.boolValue = b;
            }
            void operator()(int32_t n) {
                v.type = NPVariantType_Int32;
                v.value.intValue = n;
            }
            void operator()(double d) {
                v.type = NPVariantType_Double;
                v.value.doubleValue = d;
            }
            void operator()(const std::string& s) { (*this)(RawString{s, uint32_t(s.size())}); }
            void operator()(const RawString& s) {
                buffers.push_back(ArgumentBuffer(s.bytes));
                v.type = NPVariantType_String;
                v.value.stringValue = {buffers.back().get(), s.length};
            }
            void operator()(ObjectRef) {
                v.type = NPVariantType_Object;
                v.value.objectValue = &pageObject;
            }
        };
        std::visit(Convert{v, buffers}, args[i]);
    }

    browser_.TakeException();
    NPVariant result{};
    result.type = NPVariantType_Void;
    {
        const std::lock_guard<std::recursive_mutex> hold(browser_.lock_);
        ++browser_.callsRunning_;
    }
    const bool ok = object->_class->invoke(object, name, variants.data(),
                                           static_cast<uint32_t>(variants.size()), &result);
    CallOutcome outcome{Undefined{}, std::nullopt};
    if (!ok) {
        outcome.exception = browser_.TakeException().value_or("Error calling method on NPObject");
    }
    switch (result.type) {
        case NPVariantType_Void:
            break;
        case NPVariantType_Null:
            outcome.value = Null{};
            break;
        case NPVariantType_Bool:
            outcome.value = result.value.boolValue;
            break;
        case NPVariantType_Int32:
            outcome.value = result.value.intValue;
            break;
        case NPVariantType_Double:
            outcome.value = result.value.doubleValue;
            break;
        case NPVariantType_String:
            outcome.value = browser_.TakeStringResult(result);
            break;
        case NPVariantType_Object:
            outcome.value = ObjectRef{};
            browser_.Release(result.value.objectValue);
            break;
        default:
            browser_.Fault("a result of an unknown type");
    }
    if (!ok && result.type != NPVariantType_Void) {
        browser_.Fault("a result set by a call that threw");
    }
    {
        // Buffers of calls running on other threads are theirs.
        const std::lock_guard<std::recursive_mutex> hold(browser_.lock_);
        if (--browser_.callsRunning_ == 0 && !browser_.buffers_.empty()) {
            browser_.faults.push_back("buffers still allocated after a call");
        }
    }
    browser_.TakeException();
    return outcome;
}

NPError Embed::Destroy() {
    if (destroyed_) return NPERR_NO_ERROR;
    destroyed_ = true;
    for (; pageReferences_ > 0; --pageReferences_) browser_.Release(object_);
    if (newResult != NPERR_NO_ERROR || !browser_.pluginFuncs.destroy) return NPERR_NO_ERROR;
    NPSavedData* saved = nullptr;
    return browser_.pluginFuncs.destroy(&instance_, &saved);
}

}  // namespace embedding
