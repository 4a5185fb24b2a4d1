// Our declarations of the published NPAPI records and entry points, the
// browser's ABI, as 32-bit and 64-bit Windows browsers lay them out. Every
// room may use them. The static_asserts at the end hold every record to the
// layout browsers use on each architecture; a change that breaks one of them
// breaks the plug-in in every browser.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN64)
// x86-64 has one calling convention: the entry points and every callback
// use it.
#define NPAPI_CALLBACK
#define NPAPI_EXPORT_CALL
#elif defined(_WIN32)
// On x86 the three NP_ entry points are __stdcall (WINAPI); NP_GetMIMEDescription,
// the NPP and NPN functions and the class callbacks are __cdecl.
#define NPAPI_CALLBACK __cdecl
#define NPAPI_EXPORT_CALL __stdcall
#else
// The native build of the portable pieces, for sanitizers and fuzzing: the
// calling conventions and the 32-bit layout below do not apply there.
#define NPAPI_CALLBACK
#define NPAPI_EXPORT_CALL
#define NPAPI_NATIVE_BUILD
#endif

using NPError = int16_t;
using NPBool = unsigned char;
using NPUTF8 = char;
using NPMIMEType = char*;
using NPIdentifier = void*;

constexpr NPError NPERR_NO_ERROR = 0;
constexpr NPError NPERR_GENERIC_ERROR = 1;
constexpr NPError NPERR_INVALID_INSTANCE_ERROR = 2;
constexpr NPError NPERR_INVALID_FUNCTABLE_ERROR = 3;
constexpr NPError NPERR_OUT_OF_MEMORY_ERROR = 5;
constexpr NPError NPERR_INCOMPATIBLE_VERSION_ERROR = 8;

// The NPAPI version the plug-in declares: major 0, minor 22.
constexpr uint16_t NP_VERSION_MAJOR = 0;
constexpr uint16_t NP_VERSION_MINOR = 22;

struct NPP_t {
    void* pdata;  // the plug-in's per-instance data
    void* ndata;  // the browser's
};
using NPP = NPP_t*;

struct NPSavedData {
    int32_t len;
    void* buf;
};

struct NPWindow;  // never looked at

enum NPPVariable : int32_t {
    NPPVpluginNameString = 1,
    NPPVpluginDescriptionString = 2,
    NPPVpluginScriptableNPObject = 15,
};

// What the plug-in asks the browser (NPN_GetValue).
enum NPNVariable : int32_t {
    NPNVWindowNPObject = 15,
    NPNVdocumentOrigin = 22,
};

enum NPVariantType : int32_t {
    NPVariantType_Void = 0,
    NPVariantType_Null = 1,
    NPVariantType_Bool = 2,
    NPVariantType_Int32 = 3,
    NPVariantType_Double = 4,
    NPVariantType_String = 5,
    NPVariantType_Object = 6,
};

struct NPString {
    const NPUTF8* UTF8Characters;  // not NUL-terminated in general
    uint32_t UTF8Length;
};

struct NPObject;

struct NPVariant {
    NPVariantType type;
    union {
        bool boolValue;
        int32_t intValue;
        double doubleValue;
        NPString stringValue;
        NPObject* objectValue;
    } value;
};

struct NPClass;

struct NPObject {
    NPClass* _class;
    uint32_t referenceCount;
};

// The class record version that has `enumerate` and `construct`.
constexpr uint32_t NP_CLASS_STRUCT_VERSION_CTOR = 3;

struct NPClass {
    uint32_t structVersion;
    NPObject*(NPAPI_CALLBACK* allocate)(NPP npp, NPClass* aClass);
    void(NPAPI_CALLBACK* deallocate)(NPObject* npobj);
    void(NPAPI_CALLBACK* invalidate)(NPObject* npobj);
    bool(NPAPI_CALLBACK* hasMethod)(NPObject* npobj, NPIdentifier name);
    bool(NPAPI_CALLBACK* invoke)(NPObject* npobj, NPIdentifier name, const NPVariant* args,
                                 uint32_t argCount, NPVariant* result);
    bool(NPAPI_CALLBACK* invokeDefault)(NPObject* npobj, const NPVariant* args, uint32_t argCount,
                                        NPVariant* result);
    bool(NPAPI_CALLBACK* hasProperty)(NPObject* npobj, NPIdentifier name);
    bool(NPAPI_CALLBACK* getProperty)(NPObject* npobj, NPIdentifier name, NPVariant* result);
    bool(NPAPI_CALLBACK* setProperty)(NPObject* npobj, NPIdentifier name, const NPVariant* value);
    bool(NPAPI_CALLBACK* removeProperty)(NPObject* npobj, NPIdentifier name);
    bool(NPAPI_CALLBACK* enumerate)(NPObject* npobj, NPIdentifier** value, uint32_t* count);
    bool(NPAPI_CALLBACK* construct)(NPObject* npobj, const NPVariant* args, uint32_t argCount,
                                    NPVariant* result);
};

// Functions the plug-in hands the browser.
using NPP_NewProcPtr = NPError(NPAPI_CALLBACK*)(NPMIMEType pluginType, NPP instance, uint16_t mode,
                                                int16_t argc, char* argn[], char* argv[],
                                                NPSavedData* saved);
using NPP_DestroyProcPtr = NPError(NPAPI_CALLBACK*)(NPP instance, NPSavedData** save);
using NPP_SetWindowProcPtr = NPError(NPAPI_CALLBACK*)(NPP instance, NPWindow* window);
using NPP_HandleEventProcPtr = int16_t(NPAPI_CALLBACK*)(NPP instance, void* event);
using NPP_GetValueProcPtr = NPError(NPAPI_CALLBACK*)(NPP instance, NPPVariable variable,
                                                     void* value);
// An entry the plug-in neither fills nor calls; only its size matters here.
using NPAnyProcPtr = void(NPAPI_CALLBACK*)();

struct NPPluginFuncs {
    uint16_t size;
    uint16_t version;
    NPP_NewProcPtr newp;
    NPP_DestroyProcPtr destroy;
    NPP_SetWindowProcPtr setwindow;
    NPAnyProcPtr newstream;
    NPAnyProcPtr destroystream;
    NPAnyProcPtr asfile;
    NPAnyProcPtr writeready;
    NPAnyProcPtr write;
    NPAnyProcPtr print;
    NPP_HandleEventProcPtr event;
    NPAnyProcPtr urlnotify;
    void* javaClass;
    NPP_GetValueProcPtr getvalue;
    NPAnyProcPtr setvalue;
    NPAnyProcPtr gotfocus;
    NPAnyProcPtr lostfocus;
    NPAnyProcPtr urlredirectnotify;
    NPAnyProcPtr clearsitedata;
    NPAnyProcPtr getsiteswithdata;
    NPAnyProcPtr didComposite;
};

// Browser functions the system calls, or that the embedding implements.
using NPN_MemAllocProcPtr = void*(NPAPI_CALLBACK*)(uint32_t size);
using NPN_MemFreeProcPtr = void(NPAPI_CALLBACK*)(void* ptr);
using NPN_GetStringIdentifierProcPtr = NPIdentifier(NPAPI_CALLBACK*)(const NPUTF8* name);
using NPN_GetIntIdentifierProcPtr = NPIdentifier(NPAPI_CALLBACK*)(int32_t intid);
using NPN_IdentifierIsStringProcPtr = bool(NPAPI_CALLBACK*)(NPIdentifier identifier);
using NPN_UTF8FromIdentifierProcPtr = NPUTF8*(NPAPI_CALLBACK*)(NPIdentifier identifier);
using NPN_IntFromIdentifierProcPtr = int32_t(NPAPI_CALLBACK*)(NPIdentifier identifier);
using NPN_CreateObjectProcPtr = NPObject*(NPAPI_CALLBACK*)(NPP npp, NPClass* aClass);
using NPN_RetainObjectProcPtr = NPObject*(NPAPI_CALLBACK*)(NPObject* obj);
using NPN_ReleaseObjectProcPtr = void(NPAPI_CALLBACK*)(NPObject* obj);
using NPN_GetValueProcPtr = NPError(NPAPI_CALLBACK*)(NPP instance, NPNVariable variable,
                                                     void* value);
using NPN_GetPropertyProcPtr = bool(NPAPI_CALLBACK*)(NPP instance, NPObject* obj,
                                                     NPIdentifier propertyName, NPVariant* result);
using NPN_ReleaseVariantValueProcPtr = void(NPAPI_CALLBACK*)(NPVariant* variant);
using NPN_SetExceptionProcPtr = void(NPAPI_CALLBACK*)(NPObject* obj, const NPUTF8* message);

// The browser's function table up to and including `getauthenticationinfo`
// (minor version 22). Later browsers append entries the system never reads.
struct NPNetscapeFuncs {
    uint16_t size;
    uint16_t version;
    NPAnyProcPtr geturl;
    NPAnyProcPtr posturl;
    NPAnyProcPtr requestread;
    NPAnyProcPtr newstream;
    NPAnyProcPtr write;
    NPAnyProcPtr destroystream;
    NPAnyProcPtr status;
    NPAnyProcPtr uagent;
    NPN_MemAllocProcPtr memalloc;
    NPN_MemFreeProcPtr memfree;
    NPAnyProcPtr memflush;
    NPAnyProcPtr reloadplugins;
    NPAnyProcPtr getJavaEnv;
    NPAnyProcPtr getJavaPeer;
    NPAnyProcPtr geturlnotify;
    NPAnyProcPtr posturlnotify;
    NPN_GetValueProcPtr getvalue;
    NPAnyProcPtr setvalue;
    NPAnyProcPtr invalidaterect;
    NPAnyProcPtr invalidateregion;
    NPAnyProcPtr forceredraw;
    NPN_GetStringIdentifierProcPtr getstringidentifier;
    NPAnyProcPtr getstringidentifiers;
    NPN_GetIntIdentifierProcPtr getintidentifier;
    NPN_IdentifierIsStringProcPtr identifierisstring;
    NPN_UTF8FromIdentifierProcPtr utf8fromidentifier;
    NPN_IntFromIdentifierProcPtr intfromidentifier;
    NPN_CreateObjectProcPtr createobject;
    NPN_RetainObjectProcPtr retainobject;
    NPN_ReleaseObjectProcPtr releaseobject;
    NPAnyProcPtr invoke;
    NPAnyProcPtr invokeDefault;
    NPAnyProcPtr evaluate;
    NPN_GetPropertyProcPtr getproperty;
    NPAnyProcPtr setproperty;
    NPAnyProcPtr removeproperty;
    NPAnyProcPtr hasproperty;
    NPAnyProcPtr hasmethod;
    NPN_ReleaseVariantValueProcPtr releasevariantvalue;
    NPN_SetExceptionProcPtr setexception;
    NPAnyProcPtr pushpopupsenabledstate;
    NPAnyProcPtr poppopupsenabledstate;
    NPAnyProcPtr enumerate;
    NPAnyProcPtr pluginthreadasynccall;
    NPAnyProcPtr construct;
    NPAnyProcPtr getvalueforurl;
    NPAnyProcPtr setvalueforurl;
    NPAnyProcPtr getauthenticationinfo;
};

// The module's exports.
using NP_GetEntryPointsFunc = NPError(NPAPI_EXPORT_CALL*)(NPPluginFuncs* pFuncs);
using NP_InitializeFunc = NPError(NPAPI_EXPORT_CALL*)(NPNetscapeFuncs* bFuncs);
using NP_ShutdownFunc = NPError(NPAPI_EXPORT_CALL*)();
using NP_GetMIMEDescriptionFunc = const char*(NPAPI_CALLBACK*)();

#if defined(_WIN64)
static_assert(sizeof(void*) == 8);
static_assert(sizeof(bool) == 1);

static_assert(sizeof(NPP_t) == 16);
static_assert(offsetof(NPP_t, pdata) == 0 && offsetof(NPP_t, ndata) == 8);
static_assert(sizeof(NPObject) == 16);
static_assert(offsetof(NPObject, _class) == 0 && offsetof(NPObject, referenceCount) == 8);
static_assert(sizeof(NPString) == 16);
static_assert(offsetof(NPString, UTF8Characters) == 0 && offsetof(NPString, UTF8Length) == 8);
static_assert(sizeof(NPVariantType) == 4);
static_assert(sizeof(NPVariant) == 24);
static_assert(offsetof(NPVariant, type) == 0 && offsetof(NPVariant, value) == 8);
static_assert(sizeof(NPPVariable) == 4);

static_assert(sizeof(NPClass) == 104);
static_assert(offsetof(NPClass, allocate) == 8 && offsetof(NPClass, invoke) == 40);
static_assert(offsetof(NPClass, enumerate) == 88 && offsetof(NPClass, construct) == 96);

static_assert(sizeof(NPPluginFuncs) == 168);
static_assert(offsetof(NPPluginFuncs, newp) == 8 && offsetof(NPPluginFuncs, destroy) == 16);
static_assert(offsetof(NPPluginFuncs, setwindow) == 24 && offsetof(NPPluginFuncs, newstream) == 32);
static_assert(offsetof(NPPluginFuncs, print) == 72 && offsetof(NPPluginFuncs, event) == 80);
static_assert(offsetof(NPPluginFuncs, javaClass) == 96 && offsetof(NPPluginFuncs, getvalue) == 104);
static_assert(offsetof(NPPluginFuncs, setvalue) == 112);

static_assert(sizeof(NPNetscapeFuncs) == 392);
static_assert(offsetof(NPNetscapeFuncs, version) == 2 && offsetof(NPNetscapeFuncs, geturl) == 8);
static_assert(offsetof(NPNetscapeFuncs, memalloc) == 72 &&
              offsetof(NPNetscapeFuncs, memfree) == 80);
static_assert(offsetof(NPNetscapeFuncs, reloadplugins) == 96);
static_assert(offsetof(NPNetscapeFuncs, getJavaEnv) == 104);
static_assert(offsetof(NPNetscapeFuncs, getJavaPeer) == 112);
static_assert(offsetof(NPNetscapeFuncs, geturlnotify) == 120);
static_assert(offsetof(NPNetscapeFuncs, utf8fromidentifier) == 208);
static_assert(offsetof(NPNetscapeFuncs, createobject) == 224);
static_assert(offsetof(NPNetscapeFuncs, retainobject) == 232);
static_assert(offsetof(NPNetscapeFuncs, releaseobject) == 240);
static_assert(offsetof(NPNetscapeFuncs, setexception) == 320);
static_assert(offsetof(NPNetscapeFuncs, construct) == 360);
static_assert(offsetof(NPNetscapeFuncs, getvalueforurl) == 368);
static_assert(offsetof(NPNetscapeFuncs, getauthenticationinfo) == 384);
#elif !defined(NPAPI_NATIVE_BUILD)
static_assert(sizeof(void*) == 4);
static_assert(sizeof(bool) == 1);

static_assert(sizeof(NPP_t) == 8);
static_assert(offsetof(NPP_t, pdata) == 0 && offsetof(NPP_t, ndata) == 4);
static_assert(sizeof(NPObject) == 8);
static_assert(offsetof(NPObject, _class) == 0 && offsetof(NPObject, referenceCount) == 4);
static_assert(sizeof(NPString) == 8);
static_assert(offsetof(NPString, UTF8Characters) == 0 && offsetof(NPString, UTF8Length) == 4);
static_assert(sizeof(NPVariantType) == 4);
static_assert(sizeof(NPVariant) == 16);
static_assert(offsetof(NPVariant, type) == 0 && offsetof(NPVariant, value) == 8);
static_assert(sizeof(NPPVariable) == 4);

static_assert(sizeof(NPClass) == 52);
static_assert(offsetof(NPClass, allocate) == 4 && offsetof(NPClass, invoke) == 20);
static_assert(offsetof(NPClass, enumerate) == 44 && offsetof(NPClass, construct) == 48);

static_assert(sizeof(NPPluginFuncs) == 84);
static_assert(offsetof(NPPluginFuncs, newp) == 4 && offsetof(NPPluginFuncs, destroy) == 8);
static_assert(offsetof(NPPluginFuncs, setwindow) == 12 && offsetof(NPPluginFuncs, newstream) == 16);
static_assert(offsetof(NPPluginFuncs, print) == 36 && offsetof(NPPluginFuncs, event) == 40);
static_assert(offsetof(NPPluginFuncs, javaClass) == 48 && offsetof(NPPluginFuncs, getvalue) == 52);
static_assert(offsetof(NPPluginFuncs, setvalue) == 56);

static_assert(sizeof(NPNetscapeFuncs) == 196);
static_assert(offsetof(NPNetscapeFuncs, version) == 2 && offsetof(NPNetscapeFuncs, geturl) == 4);
static_assert(offsetof(NPNetscapeFuncs, memalloc) == 36 &&
              offsetof(NPNetscapeFuncs, memfree) == 40);
static_assert(offsetof(NPNetscapeFuncs, reloadplugins) == 48);
static_assert(offsetof(NPNetscapeFuncs, getJavaEnv) == 52);
static_assert(offsetof(NPNetscapeFuncs, getJavaPeer) == 56);
static_assert(offsetof(NPNetscapeFuncs, geturlnotify) == 60);
static_assert(offsetof(NPNetscapeFuncs, utf8fromidentifier) == 104);
static_assert(offsetof(NPNetscapeFuncs, createobject) == 112);
static_assert(offsetof(NPNetscapeFuncs, retainobject) == 116);
static_assert(offsetof(NPNetscapeFuncs, releaseobject) == 120);
static_assert(offsetof(NPNetscapeFuncs, setexception) == 160);
static_assert(offsetof(NPNetscapeFuncs, construct) == 180);
static_assert(offsetof(NPNetscapeFuncs, getvalueforurl) == 184);
static_assert(offsetof(NPNetscapeFuncs, getauthenticationinfo) == 192);
#endif
