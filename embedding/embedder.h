// The embedding: it treats the plug-in exactly as an NPAPI browser does
// and reaches it only through the module's exports. It loads the DLL, calls
// NP_GetEntryPoints then NP_Initialize, creates instances, asks each for its
// scriptable object and invokes methods through the class record. It keeps
// account of every buffer and object it hands out or is handed, so that a
// test can see that each was freed once by its rightful owner.
//
// A browser calls a plug-in on one thread. The native-messaging host also
// calls it from threads of its own, each through an embed of its own: the
// browser's accounts are therefore kept under one lock, and an exception a
// call sets belongs to the thread that made the call.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "embedding/value.h"
#include "npapi/npapi.h"
#include "npapi/progress_sink.h"

namespace embedding {

struct BrowserOptions {
    std::wstring pluginPath;  // empty: the plug-in beside the running program
    // What the browser's function table declares of itself.
    uint16_t tableSize = sizeof(NPNetscapeFuncs);
    uint16_t tableVersion = NP_VERSION_MINOR;
    bool initialize = true;  // call NP_GetEntryPoints and NP_Initialize
};

class Browser {
  public:
    explicit Browser(BrowserOptions options = {});
    ~Browser();
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    // The module's exports, found by their plain names.
    NP_GetEntryPointsFunc getEntryPoints = nullptr;
    NP_InitializeFunc initialize = nullptr;
    NP_ShutdownFunc shutdown = nullptr;
    NP_GetMIMEDescriptionFunc getMimeDescription = nullptr;
    void* Export(const char* name) const;

    NPError initializeResult = NPERR_GENERIC_ERROR;
    NPPluginFuncs pluginFuncs{};     // filled by NP_GetEntryPoints
    NPNetscapeFuncs browserFuncs{};  // handed to NP_Initialize

    NPIdentifier StringIdentifier(const std::string& name);
    NPIdentifier IntIdentifier(int32_t value);

    // Fault switches.
    bool failAllocations = false;  // NPN_MemAlloc gives no buffer
    // NPN_MemAlloc gives fresh pages from the system every time, never
    // memory a freed buffer had, as a browser's allocator does for large
    // strings.
    bool freshBuffers = false;
    // String results are checked and freed but not copied out: what a
    // browser must at least do with one (read it once), for timing.
    bool discardStringResults = false;
    bool failObjectCreation = false;  // NPN_CreateObject gives no object

    // The page's origin, as the browser tells it: the answer to
    // NPNVdocumentOrigin, and the window's location.origin (NPNVWindowNPObject
    // then NPN_GetProperty). Nothing: the browser declines that question.
    std::optional<std::string> documentOrigin;
    std::optional<std::string> windowOrigin;
    int getValueCalls = 0;
    // References to the window and location objects the plug-in still holds.
    size_t PageObjectReferences() const;
    NPError GetValue(NPP npp, NPNVariable variable, void* value);
    // What NPN_GetValue gives the instance for kProgressSinkVariable; none
    // (the default) answers an error, as browsers do.
    void SetProgressSink(NPP npp, std::optional<ProgressSink> sink);
    void SetDocumentOrigin(std::optional<std::string> origin);
    bool GetProperty(NPObject* object, NPIdentifier name, NPVariant* result);
    void ReleaseVariantValue(NPVariant* variant);

    // Accounts.
    size_t LiveBuffers() const;
    size_t LiveObjects() const;
    std::vector<uint32_t> allocationSizes;     // every NPN_MemAlloc request, in order
    size_t pluginFrees = 0;                    // NPN_MemFree calls with a buffer
    std::vector<std::string> unexpectedCalls;  // browser functions the plug-in must not use
    std::vector<std::string> faults;           // bad frees, leaks, malformed results
    // NPN_SetException's message for the call running on the calling
    // thread: set, read and cleared by that thread.
    void SetException(std::string message);
    std::optional<std::string> TakeException();

    // Frees a string result as a browser does once it has read it; records a
    // fault when the buffer is not a live NPN_MemAlloc buffer holding the text
    // and a NUL.
    std::string TakeStringResult(const NPVariant& result);

    // For the browser function table's entries.
    static Browser& Current();
    void Fault(std::string what);
    void Unexpected(const char* entry);
    void* Allocate(uint32_t size, bool forPlugin);
    void Free(void* buffer, bool byPlugin);
    NPObject* CreateObject(NPP npp, NPClass* objectClass);
    NPObject* Retain(NPObject* object);
    void Release(NPObject* object);
    const std::string* IdentifierName(NPIdentifier identifier) const;
    std::optional<int32_t> IdentifierInt(NPIdentifier identifier) const;

  private:
    struct Identifier {
        bool isString;
        std::string name;
        int32_t value;
    };
    void FillFunctionTable(const BrowserOptions& options);

    friend class Embed;
    mutable std::recursive_mutex lock_;
    int callsRunning_ = 0;
    std::map<NPP, ProgressSink> progressSinks_;
    std::map<std::thread::id, std::string> exceptions_;
    void* module_ = nullptr;
    std::map<void*, uint32_t> buffers_;
    std::set<void*> freshPages_;  // buffers that came straight from the system
    std::set<NPObject*> objects_;
    NPObject window_;  // the browser's own: not among objects_
    NPObject location_;
    std::map<std::string, std::unique_ptr<Identifier>> stringIds_;
    std::map<int32_t, std::unique_ptr<Identifier>> intIds_;
};

// One embedded object on a page.
class Embed {
  public:
    explicit Embed(Browser& browser, int16_t argc = 0, char* argn[] = nullptr,
                   char* argv[] = nullptr);
    ~Embed();
    Embed(const Embed&) = delete;
    Embed& operator=(const Embed&) = delete;

    NPError newResult;
    NPP npp() { return &instance_; }

    // NPP_GetValue for the scriptable object; the page keeps the reference
    // it is given until the embed goes away.
    NPObject* ScriptableObject();
    NPError GetValue(NPPVariable variable, void* value);

    CallOutcome Call(const std::string& method, const std::vector<Value>& args = {});
    CallOutcome Call(NPIdentifier name, const std::vector<Value>& args = {});

    // Drops the page's references and calls NPP_Destroy.
    NPError Destroy();

  private:
    Browser& browser_;
    NPP_t instance_{};
    NPObject* object_ = nullptr;
    uint32_t pageReferences_ = 0;
    bool destroyed_ = false;
};

// The folder of the running program, with its trailing separator.
std::wstring ProgramFolder();
std::wstring DefaultPluginPath();

}  // namespace embedding
