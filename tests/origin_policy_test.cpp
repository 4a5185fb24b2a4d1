// The administrator's origin policy: which pages get the scriptable object,
// through the DLL and the embedding playing a page's origin, and which
// requests the host for current browsers answers. The policy is written in
// the test's own Wine prefix and removed again; a policy someone else set is
// never touched.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "messaging/host_session.h"
#include "messaging/product_version.h"
#include "scriptable/method_table.h"
#include "shell/origin_policy.h"
#include "tests/support/plugin_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr char kKey[] = "Software\\Policies\\Dravenil\\FileAccessPlugin";
constexpr char kValue[] = "AllowedOrigins";

class OriginPolicy : public testing_support::PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) ==
            ERROR_SUCCESS) {
            const bool taken =
                RegQueryValueExA(key, kValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
            RegCloseKey(key);
            if (taken) GTEST_SKIP() << "an origin policy is already set here";
        }
        const LONG made = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0,
                                          KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key_, nullptr);
        if (made == ERROR_ACCESS_DENIED) {
            GTEST_SKIP() << "writing the machine's policy key needs an administrator";
        }
        ASSERT_EQ(made, ERROR_SUCCESS);
    }
    void TearDown() override {
        if (key_) {
            RegDeleteValueA(key_, kValue);
            RegCloseKey(key_);
            RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY, 0);
            // Its parent too, when nothing else is in it.
            RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Dravenil", KEY_WOW64_64KEY, 0);
        }
        PluginTest::TearDown();
    }
    void SetPolicy(const std::string& origins) {
        ASSERT_EQ(
            RegSetValueExA(key_, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(origins.c_str()),
                           static_cast<DWORD>(origins.size() + 1)),
            ERROR_SUCCESS);
    }
    // Whether a page with these answers about its origin gets the object.
    bool Served(std::optional<std::string> document, std::optional<std::string> window = {}) {
        browser->documentOrigin = std::move(document);
        browser->windowOrigin = std::move(window);
        embedding::Embed embed(*browser);
        const bool served = embed.ScriptableObject() != nullptr;
        if (served) {
            EXPECT_TRUE(testing_support::FlagOf(embed.Call("fileExists", {"C:\\none"})));
        }
        EXPECT_EQ(browser->PageObjectReferences(), 0u) << "the window objects were not released";
        return served;
    }

    HKEY key_ = nullptr;
};

TEST_F(OriginPolicy, OnlyTheNamedOriginsGetTheObject) {
    SetPolicy("https://calls.example; https://calls.example:8443");
    EXPECT_TRUE(Served("https://calls.example"));
    EXPECT_TRUE(Served("https://calls.example:443")) << "the default port, written out";
    EXPECT_TRUE(Served("HTTPS://Calls.Example"));
    EXPECT_TRUE(Served("https://calls.example:8443"));
    EXPECT_FALSE(Served("https://calls.example:8444"));
    EXPECT_FALSE(Served("http://calls.example"));
    EXPECT_FALSE(Served("https://calls.example.evil"));
    EXPECT_FALSE(Served("null")) << "a local file or a sandboxed frame";
    EXPECT_FALSE(Served(std::nullopt)) << "an origin the plug-in cannot learn";
    EXPECT_EQ(browser->LiveBuffers(), 0u) << "the origin strings were not freed";
}

TEST_F(OriginPolicy, ABrowserThatDoesNotTellTheDocumentOriginIsAskedForTheWindowsLocation) {
    SetPolicy("https://calls.example:8443");
    EXPECT_TRUE(Served(std::nullopt, "https://calls.example:8443"));
    EXPECT_FALSE(Served(std::nullopt, "https://elsewhere.example"));
    // The document's own answer comes first.
    EXPECT_FALSE(Served("https://elsewhere.example", "https://calls.example:8443"));
}

TEST_F(OriginPolicy, APolicyNamingNoOriginServesNoPage) {
    for (const char* unusable :
         {"", " ; ", "*;*", "https://*.example", "calls.example", "https://calls.example/"}) {
        SetPolicy(unusable);
        EXPECT_FALSE(Served("https://calls.example")) << unusable;
    }
}

TEST_F(OriginPolicy, AStarAloneServesEveryPage) {
    SetPolicy(" * ");
    EXPECT_TRUE(Served("https://anything.example"));
    EXPECT_TRUE(Served("null"));
}

// A policy that is there but cannot be read serves no page: a value of
// another type, and (through the test build's fault plan) a key that cannot
// be opened or a value whose read fails.
TEST_F(OriginPolicy, APolicyThatCannotBeReadServesNoPage) {
    // Bytes that would read as the very origin, in a value that is no text.
    const char bytes[] = "https://calls.example";
    ASSERT_EQ(RegSetValueExA(key_, kValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes),
                             sizeof bytes),
              ERROR_SUCCESS);
    EXPECT_FALSE(Served("https://calls.example"));
    SetPolicy("https://calls.example");
    EXPECT_TRUE(Served("https://calls.example"));

    browser.reset();  // one embedding at a time
    embedding::BrowserOptions options;
    options.pluginPath = embedding::ProgramFolder() + L"npDravenilFileAccessPlugin-faults.dll";
    std::optional<embedding::Browser> faultyBrowser(std::in_place, options);
    embedding::Browser& faulty = *faultyBrowser;
    using PlanFunction = void(__cdecl*)(long, const char*, unsigned long);
    const auto plan = reinterpret_cast<PlanFunction>(faulty.Export("PluginFaultPlan"));
    ASSERT_TRUE(plan);
    faulty.documentOrigin = "https://calls.example";
    for (const char* failing : {"RegOpenKeyExA", "RegQueryValueExA"}) {
        plan(0, failing, ERROR_ACCESS_DENIED);
        embedding::Embed embed(faulty);
        EXPECT_EQ(embed.ScriptableObject(), nullptr) << failing << " failing";
        plan(0, nullptr, 0);
    }
    {
        embedding::Embed embed(faulty);
        EXPECT_NE(embed.ScriptableObject(), nullptr) << "without a fault";
    }
    faultyBrowser.reset();
    browser.emplace();
}

// The administrator's log: a line per call and per refused page, never an
// argument's value, bounded by rotation, and never a cause of failure.
TEST_F(OriginPolicy, TheLogRecordsCallsAndRefusalsButNoArgumentValues) {
    testing_support::TempFolder folder;
    const std::filesystem::path log = folder.path() / "access.log";
    auto setLogFile = [&](const std::string& path) {
        ASSERT_EQ(
            RegSetValueExA(key_, "LogFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                           static_cast<DWORD>(path.size() + 1)),
            ERROR_SUCCESS);
    };
    ASSERT_NO_FATAL_FAILURE(setLogFile(log.string()));
    SetPolicy("https://calls.example");
    EXPECT_TRUE(Served("https://calls.example"));
    EXPECT_FALSE(Served("https://evil.example"));
    // An origin that would forge a field of its line is written without its blank.
    EXPECT_FALSE(Served("https://evil.example outcome=boolean"));
    const std::string text = testing_support::ReadBytes(log);
    EXPECT_NE(text.find(" route=plugin origin=https://calls.example method=fileExists "
                        "outcome=boolean "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(" origin=https://evil.example refused by the origin policy\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("none"), std::string::npos) << "an argument's value was logged: " << text;
    EXPECT_NE(text.find("origin=https://evil.example?outcome=boolean refused"), std::string::npos)
        << text;

    // An origin goes into its line no longer than an origin can be (300).
    EXPECT_FALSE(Served("https://" + std::string(400, 'a') + ".example"));
    const std::string after = testing_support::ReadBytes(log);
    const size_t field = after.find("origin=https://aaaa");
    ASSERT_NE(field, std::string::npos) << after;
    EXPECT_EQ(after.find(' ', field) - field, sizeof "origin=" - 1 + 300)
        << after.substr(field, 420);

    // Full at 1 MB: the file is renamed over the older one and a new one begun.
    testing_support::WriteBytes(log.string() + ".1", "older");
    testing_support::WriteBytes(log, std::string(1 << 20, 'x'));
    EXPECT_TRUE(Served("https://calls.example"));
    EXPECT_EQ(std::filesystem::file_size(log.string() + ".1"), 1u << 20);
    EXPECT_LT(std::filesystem::file_size(log), 1000u);

    // An older log that cannot be replaced (a folder of its name): the log
    // begins again rather than grow past its bound, and says why.
    std::filesystem::remove(log.string() + ".1");
    std::filesystem::create_directory(log.string() + ".1");
    for (int round = 0; round < 2; ++round) {
        testing_support::WriteBytes(log, std::string(1 << 20, 'x'));
        EXPECT_TRUE(Served("https://calls.example"));
        EXPECT_LT(std::filesystem::file_size(log), 1000u) << "round " << round;
    }
    EXPECT_NE(testing_support::ReadBytes(log).find("could not be replaced"), std::string::npos);

    // A log that cannot be written (a folder of that name) fails nothing.
    ASSERT_NO_FATAL_FAILURE(setLogFile(folder.Text()));
    EXPECT_TRUE(Served("https://calls.example"));
}

TEST_F(OriginPolicy, WithoutAPolicyEveryPageIsServedAndNoOriginIsAsked) {
    RegDeleteValueA(key_, kValue);
    EXPECT_TRUE(Served("http://anything.example"));
    EXPECT_TRUE(Served(std::nullopt));
    EXPECT_EQ(browser->getValueCalls, 0);
}

TEST(OriginPolicyHost, RequestsFromOtherOriginsAreRefusedBeforeTheyReachThePlugIn) {
    const shell::OriginPolicy policy = shell::PolicyFromValue(std::string("https://calls.example"));
    int calls = 0;
    auto answer = [&](const std::string& request) {
        return messaging::AnswerRequest(
                   request,
                   [](std::string_view name) -> std::optional<size_t> {
                       const auto* row = scriptable::FindMethod(name);
                       return row ? std::optional<size_t>(row->argumentCount) : std::nullopt;
                   },
                   [&](const std::string&, const std::vector<embedding::Value>&) {
                       ++calls;
                       return embedding::CallOutcome{true, std::nullopt};
                   },
                   [&](const std::optional<std::string>& origin) {
                       return shell::Allows(policy, origin);
                   },
                   [] { return std::string(R"(["https://calls.example"])"); })
            .text;
    };
    // The extension's own question, which needs no page origin.
    EXPECT_EQ(answer(R"({"id":5,"method":"#policy","args":[]})"),
              R"({"id":5,"policy":["https://calls.example"],"version":")" +
                  messaging::ProductVersion() + "\"}");
    const std::string refused =
        R"(,"error":"the administrator's origin policy does not allow this page's origin","name":"PolicyRefusedError"})";
    EXPECT_EQ(
        answer(R"({"id":1,"method":"fileExists","args":["x"],"origin":"https://calls.example"})"),
        R"({"id":1,"result":true})");
    EXPECT_EQ(
        answer(R"({"id":2,"method":"fileExists","args":["x"],"origin":"https://evil.example"})"),
        R"({"id":2)" + refused);
    EXPECT_EQ(answer(R"({"id":3,"method":"fileExists","args":["x"]})"), R"({"id":3)" + refused);
    EXPECT_EQ(answer(R"({"id":4,"method":"fileExists","args":["x"],"origin":"null"})"),
              R"({"id":4)" + refused);
    EXPECT_EQ(calls, 1);
}

}  // namespace
