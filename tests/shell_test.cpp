// What a browser sees of the module: its exports, version resource, entry
// points, instances and the scriptable object's lifetime.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "embedding/embedder.h"
#include "tests/support/plugin_fixture.h"
#include "tests/support/stack_probe.h"

using embedding::Browser;
using embedding::BrowserOptions;
using embedding::Embed;
using testing_support::PluginTest;

namespace {

BrowserOptions Uninitialised() {
    BrowserOptions options;
    options.initialize = false;
    return options;
}

// ---- Exports ----------------------------------------------------------------

TEST(Exports, AreFoundByTheirPlainNamesOnly) {
    Browser browser(Uninitialised());
    for (const char* name :
         {"NP_GetEntryPoints", "NP_Initialize", "NP_Shutdown", "NP_GetMIMEDescription"}) {
        EXPECT_NE(browser.Export(name), nullptr) << name;
    }
    for (const char* decorated : {"NP_Initialize@4", "_NP_Initialize@4", "NP_GetEntryPoints@4",
                                  "NP_Shutdown@0", "NPP_New", "DllMain"}) {
        EXPECT_EQ(browser.Export(decorated), nullptr) << decorated;
    }
}

TEST(Exports, StdcallEntryPointsLeaveTheStackBalanced) {
#if defined(_WIN64)
    GTEST_SKIP() << "x86-64 has one calling convention: the caller owns the stack";
#else
    Browser browser(Uninitialised());
    NPPluginFuncs pluginFuncs{};
    pluginFuncs.size = sizeof pluginFuncs;
    auto call =
        testing_support::CallWithOneArgument(browser.Export("NP_GetEntryPoints"), &pluginFuncs);
    EXPECT_EQ(call.stackChange, 0);
    EXPECT_EQ(call.returned & 0xFFFF, NPERR_NO_ERROR);

    call = testing_support::CallWithOneArgument(browser.Export("NP_Initialize"),
                                                &browser.browserFuncs);
    EXPECT_EQ(call.stackChange, 0);
    EXPECT_EQ(call.returned & 0xFFFF, NPERR_NO_ERROR);

    call = testing_support::CallWithNoArgument(browser.Export("NP_Shutdown"));
    EXPECT_EQ(call.stackChange, 0);
    EXPECT_EQ(call.returned & 0xFFFF, NPERR_NO_ERROR);
#endif
}

TEST(Exports, MimeDescriptionNamesTheTypeAndItsExtension) {
    Browser browser(Uninitialised());
    const std::string description = browser.getMimeDescription();
    const std::string prefix = "application/x-dravenilfileaccessplugin:.tolvex:";
    ASSERT_EQ(description.substr(0, prefix.size()), prefix);
    EXPECT_GT(description.size(), prefix.size()) << "a short description follows";
    EXPECT_EQ(description.find(':', prefix.size()), std::string::npos);
}

// ---- Version resource -------------------------------------------------------

class VersionResource : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::wstring path = embedding::DefaultPluginPath();
        DWORD handle = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
        ASSERT_GT(size, 0u);
        data_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data_.data()));
    }

    std::string String(const char* key) {
        const std::string query = std::string("\\StringFileInfo\\040904e4\\") + key;
        const std::wstring wide(query.begin(), query.end());
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), wide.c_str(), &value, &length) || !value) {
            return "<missing>";
        }
        const std::wstring text(static_cast<const wchar_t*>(value));
        return std::string(text.begin(), text.end());
    }

    std::vector<char> data_;
};

TEST_F(VersionResource, HoldsTheStringsABrowserRegistersThePluginBy) {
    EXPECT_EQ(String("MIMEType"), "application/x-dravenilfileaccessplugin");
    EXPECT_EQ(String("FileExtents"), "tolvex");
    EXPECT_EQ(String("FileOpenName"), "Dravenil File Access Plugin");
    EXPECT_EQ(String("FileDescription"), "0.3");
    EXPECT_EQ(String("FileVersion"), "5.3.0.39, 0, 0, 0");
    EXPECT_EQ(String("ProductVersion"), "5.3.0.39, 0, 0, 0");
    EXPECT_EQ(String("ProductName"), "Dravenil File Access Plugin");
    EXPECT_EQ(String("InternalName"), "DravenilFileAccessPlugin");
    EXPECT_EQ(String("OriginalFilename"), "DravenilFileAccessPlugin.dll");
}

TEST_F(VersionResource, HasTheTranslationPairAndFixedInformation) {
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    const auto* pair = static_cast<const WORD*>(value);
    EXPECT_EQ(pair[0], 0x0409);
    EXPECT_EQ(pair[1], 1252);

    ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\", &value, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00050003u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000027u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00050003u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000027u);
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
}

// ---- NP_GetEntryPoints and NP_Initialize ------------------------------------

TEST(EntryPoints, FillOnlyTheirSixFieldsOfThePluginRecord) {
    Browser browser(Uninitialised());
    NPPluginFuncs funcs;
    std::memset(&funcs, 0xAB, sizeof funcs);
    NPPluginFuncs before = funcs;
    ASSERT_EQ(browser.getEntryPoints(&funcs), NPERR_NO_ERROR);

    EXPECT_EQ(funcs.version, 22);
    EXPECT_NE(reinterpret_cast<void*>(funcs.newp), reinterpret_cast<void*>(before.newp));
    EXPECT_NE(funcs.newp, nullptr);
    EXPECT_NE(funcs.destroy, nullptr);
    EXPECT_NE(funcs.getvalue, nullptr);
    EXPECT_NE(funcs.event, nullptr);
    EXPECT_NE(funcs.setwindow, nullptr);
    // Everything else keeps the browser's bytes.
    funcs.version = before.version;
    funcs.newp = before.newp;
    funcs.destroy = before.destroy;
    funcs.getvalue = before.getvalue;
    funcs.event = before.event;
    funcs.setwindow = before.setwindow;
    EXPECT_EQ(std::memcmp(&funcs, &before, sizeof funcs), 0);
}

TEST(EntryPoints, NullRecordsAreRefused) {
    Browser browser(Uninitialised());
    EXPECT_EQ(browser.getEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    EXPECT_EQ(browser.initialize(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
}

TEST(EntryPoints, InitializeAcceptsEveryMinorVersionOfMajorZero) {
    Browser browser(Uninitialised());
    browser.browserFuncs.version = 0x00FF;
    EXPECT_EQ(browser.initialize(&browser.browserFuncs), NPERR_NO_ERROR);
    browser.browserFuncs.version = 0;
    EXPECT_EQ(browser.initialize(&browser.browserFuncs), NPERR_NO_ERROR);
}

TEST(EntryPoints, InitializeRefusesALaterMajorVersionAndStoresNothing) {
    Browser browser(Uninitialised());
    browser.pluginFuncs.size = sizeof(NPPluginFuncs);
    ASSERT_EQ(browser.getEntryPoints(&browser.pluginFuncs), NPERR_NO_ERROR);
    browser.browserFuncs.version = 0x0100;
    EXPECT_EQ(browser.initialize(&browser.browserFuncs), NPERR_INCOMPATIBLE_VERSION_ERROR);
    // No table was stored, so no instance can be made from it.
    NPP_t instance{};
    EXPECT_EQ(browser.pluginFuncs.newp(nullptr, &instance, 1, 0, nullptr, nullptr, nullptr),
              NPERR_INVALID_FUNCTABLE_ERROR);
    EXPECT_EQ(instance.pdata, nullptr);
}

TEST(EntryPoints, NewBeforeInitializeCreatesNoInstance) {
    Browser browser(Uninitialised());
    browser.pluginFuncs.size = sizeof(NPPluginFuncs);
    ASSERT_EQ(browser.getEntryPoints(&browser.pluginFuncs), NPERR_NO_ERROR);
    NPP_t instance{};
    EXPECT_EQ(browser.pluginFuncs.newp(nullptr, &instance, 1, 0, nullptr, nullptr, nullptr),
              NPERR_INVALID_FUNCTABLE_ERROR);
    EXPECT_EQ(instance.pdata, nullptr);
}

// ---- Instances ----------------------------------------------------------------

using Instances = PluginTest;

TEST_F(Instances, NullInstancesAndMissingInstanceDataAreRefused) {
    const NPPluginFuncs& f = browser->pluginFuncs;
    EXPECT_EQ(f.newp(nullptr, nullptr, 1, 0, nullptr, nullptr, nullptr),
              NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(f.destroy(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    const char* text = nullptr;
    EXPECT_EQ(f.getvalue(nullptr, NPPVpluginNameString, &text), NPERR_INVALID_INSTANCE_ERROR);

    NPP_t bare{};
    EXPECT_EQ(f.destroy(&bare, nullptr), NPERR_GENERIC_ERROR);
    EXPECT_EQ(f.getvalue(&bare, NPPVpluginNameString, &text), NPERR_GENERIC_ERROR);
    EXPECT_EQ(text, nullptr);
}

TEST_F(Instances, AnswerTheirNameAndDescriptionAndRefuseOtherVariables) {
    Embed embed(*browser);
    ASSERT_EQ(embed.newResult, NPERR_NO_ERROR);
    ASSERT_NE(embed.npp()->pdata, nullptr);
    const char* text = nullptr;
    ASSERT_EQ(embed.GetValue(NPPVpluginNameString, &text), NPERR_NO_ERROR);
    EXPECT_STREQ(text, "DravenilFileAccessPlugin");
    ASSERT_EQ(embed.GetValue(NPPVpluginDescriptionString, &text), NPERR_NO_ERROR);
    EXPECT_STREQ(text, "Dravenil File Access Plugin");

    void* untouched = &text;
    for (int variable : {0, 3, 14, 16, 18, 0x7FFFFFFF}) {
        EXPECT_EQ(embed.GetValue(static_cast<NPPVariable>(variable), &untouched),
                  NPERR_GENERIC_ERROR)
            << variable;
        EXPECT_EQ(untouched, &text);
    }
}

TEST_F(Instances, GetValueWithoutAPlaceForTheValueIsRefused) {
    Embed embed(*browser);
    for (NPPVariable variable :
         {NPPVpluginNameString, NPPVpluginDescriptionString, NPPVpluginScriptableNPObject}) {
        EXPECT_EQ(browser->pluginFuncs.getvalue(embed.npp(), variable, nullptr),
                  NPERR_GENERIC_ERROR)
            << variable;
    }
    EXPECT_EQ(browser->LiveObjects(), 0u) << "no scriptable object was made for nobody";
}

TEST_F(Instances, WindowAndEventFunctionsOnlySucceed) {
    Embed embed(*browser);
    EXPECT_EQ(browser->pluginFuncs.setwindow(embed.npp(), nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(browser->pluginFuncs.setwindow(nullptr, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(browser->pluginFuncs.event(embed.npp(), nullptr), 0);
}

TEST_F(Instances, IgnoreTheirEmbedAttributes) {
    char name[] = "src", value[] = "x.tolvex", marker[] = "PARAM";
    char* argn[] = {name, marker, name};
    char* argv[] = {value, nullptr, value};
    Embed embed(*browser, 3, argn, argv);
    EXPECT_EQ(embed.newResult, NPERR_NO_ERROR);
    EXPECT_NE(embed.ScriptableObject(), nullptr);
}

TEST_F(Instances, DestroyClearsTheInstanceData) {
    Embed embed(*browser);
    ASSERT_NE(embed.npp()->pdata, nullptr);
    EXPECT_EQ(embed.Destroy(), NPERR_NO_ERROR);
    EXPECT_EQ(embed.npp()->pdata, nullptr);
    EXPECT_EQ(browser->pluginFuncs.destroy(embed.npp(), nullptr), NPERR_GENERIC_ERROR);
}

// ---- The scriptable object's lifetime ----------------------------------------

using ScriptableObject = PluginTest;

TEST_F(ScriptableObject, IsCreatedOnceAndCountsAReferencePerRequest) {
    Embed embed(*browser);
    NPObject* first = nullptr;
    NPObject* second = nullptr;
    ASSERT_EQ(embed.GetValue(NPPVpluginScriptableNPObject, &first), NPERR_NO_ERROR);
    ASSERT_EQ(embed.GetValue(NPPVpluginScriptableNPObject, &second), NPERR_NO_ERROR);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->referenceCount, 3u);  // the instance's and one per request
    EXPECT_EQ(browser->LiveObjects(), 1u);

    browser->Release(first);
    browser->Release(second);
    EXPECT_EQ(first->referenceCount, 1u);
    embed.Destroy();
    EXPECT_EQ(browser->LiveObjects(), 0u);
}

TEST_F(ScriptableObject, OutlivesItsInstanceWhileThePageHoldsIt) {
    Embed embed(*browser);
    NPObject* object = nullptr;
    ASSERT_EQ(embed.GetValue(NPPVpluginScriptableNPObject, &object), NPERR_NO_ERROR);
    ASSERT_EQ(browser->pluginFuncs.destroy(embed.npp(), nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(browser->LiveObjects(), 1u);
    EXPECT_EQ(object->referenceCount, 1u);
    browser->Release(object);
    EXPECT_EQ(browser->LiveObjects(), 0u);
}

TEST_F(ScriptableObject, AnInstanceThatNeverHandedItOutReleasesNothing) {
    {
        Embed embed(*browser);
        EXPECT_EQ(embed.Destroy(), NPERR_NO_ERROR);
    }
    EXPECT_EQ(browser->LiveObjects(), 0u);
    EXPECT_TRUE(browser->faults.empty());
}

TEST_F(ScriptableObject, TwoEmbedsGetTwoObjects) {
    Embed one(*browser), two(*browser);
    NPObject* a = one.ScriptableObject();
    NPObject* b = two.ScriptableObject();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_NE(one.npp()->pdata, two.npp()->pdata);
    EXPECT_EQ(a->referenceCount, 2u);
    EXPECT_EQ(b->referenceCount, 2u);
    one.Destroy();
    EXPECT_EQ(browser->LiveObjects(), 1u);
    // The other embed's object still answers.
    EXPECT_TRUE(two.Call("NoSuchMethod").exception.has_value());
    two.Destroy();
    EXPECT_EQ(browser->LiveObjects(), 0u);
}

TEST_F(ScriptableObject, ThatCannotBeCreatedIsNullAndIsTriedAgain) {
    Embed embed(*browser);
    browser->failObjectCreation = true;
    NPObject* object = reinterpret_cast<NPObject*>(&embed);
    EXPECT_EQ(embed.GetValue(NPPVpluginScriptableNPObject, &object), NPERR_NO_ERROR);
    EXPECT_EQ(object, nullptr);
    browser->failObjectCreation = false;
    EXPECT_NE(embed.ScriptableObject(), nullptr);
}

TEST_F(ScriptableObject, HasNoPropertiesAndIsNoConstructor) {
    Embed embed(*browser);
    NPObject* object = embed.ScriptableObject();
    ASSERT_NE(object, nullptr);
    const NPClass& c = *object->_class;
    EXPECT_EQ(c.structVersion, 3u);
    NPIdentifier name = browser->StringIdentifier("anything");
    EXPECT_TRUE(c.hasMethod(object, name));
    EXPECT_TRUE(c.hasMethod(object, browser->IntIdentifier(7)));
    EXPECT_FALSE(c.hasProperty(object, name));

    NPVariant value{};
    value.type = NPVariantType_Int32;
    value.value.intValue = 42;
    EXPECT_FALSE(c.getProperty(object, name, &value));
    EXPECT_EQ(value.type, NPVariantType_Int32);
    EXPECT_EQ(value.value.intValue, 42);
    EXPECT_FALSE(c.setProperty(object, name, &value));
    EXPECT_FALSE(c.removeProperty(object, name));

    NPIdentifier* names = reinterpret_cast<NPIdentifier*>(&value);
    uint32_t count = 99;
    EXPECT_FALSE(c.enumerate(object, &names, &count));
    EXPECT_EQ(names, reinterpret_cast<NPIdentifier*>(&value));
    EXPECT_EQ(count, 99u);

    NPVariant result{};
    result.type = NPVariantType_Void;
    EXPECT_TRUE(c.invokeDefault(object, nullptr, 0, &result));
    EXPECT_EQ(result.type, NPVariantType_Void);
    EXPECT_FALSE(c.construct(object, nullptr, 0, &result));
    EXPECT_EQ(result.type, NPVariantType_Void);
    c.invalidate(object);
    EXPECT_TRUE(embed.Call("NoSuchMethod").exception.has_value()) << "still usable";
    c.deallocate(nullptr);  // harmless
}

// ---- Older browsers ------------------------------------------------------------

TEST(OlderBrowsers, ATableEndingAtConstructIsEnough) {
    BrowserOptions options;
    options.tableSize = offsetof(NPNetscapeFuncs, construct) + sizeof(void*);
    Browser browser(options);
    ASSERT_EQ(browser.initializeResult, NPERR_NO_ERROR);
    Embed embed(browser);
    const auto outcome = embed.Call("NoSuchMethod");
    ASSERT_TRUE(outcome.exception.has_value());
    EXPECT_EQ(*outcome.exception, "exception during invocation");
    embed.Destroy();
    EXPECT_EQ(browser.LiveObjects(), 0u);
    EXPECT_TRUE(browser.faults.empty());
}

TEST(OlderBrowsers, ATableEndingAtSetExceptionStillCarriesTheException) {
    BrowserOptions options;
    options.tableSize = offsetof(NPNetscapeFuncs, setexception) + sizeof(void*);  // the last entry
    Browser browser(options);
    Embed embed(browser);
    const auto outcome = embed.Call("NoSuchMethod");
    ASSERT_TRUE(outcome.exception.has_value());
    EXPECT_EQ(*outcome.exception, "exception during invocation");
}

TEST(OlderBrowsers, EntriesBeyondTheDeclaredSizeAreNeverCalled) {
    BrowserOptions options;
    options.tableSize = offsetof(NPNetscapeFuncs, setexception);  // ends just before it
    Browser browser(options);
    Embed embed(browser);
    const auto outcome = embed.Call("NoSuchMethod");
    // Refused without NPN_SetException: page script sees the browser's own error.
    ASSERT_TRUE(outcome.exception.has_value());
    EXPECT_EQ(*outcome.exception, "Error calling method on NPObject");
    EXPECT_EQ(browser.LiveBuffers(), 0u);
}

TEST(OlderBrowsers, WithoutObjectFunctionsThereIsNoScriptableObject) {
    BrowserOptions options;
    options.tableSize = offsetof(NPNetscapeFuncs, createobject);  // ends before it
    Browser browser(options);
    Embed embed(browser);
    NPObject* object = reinterpret_cast<NPObject*>(&embed);
    EXPECT_EQ(embed.GetValue(NPPVpluginScriptableNPObject, &object), NPERR_NO_ERROR);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(browser.LiveObjects(), 0u);
}

}  // namespace
