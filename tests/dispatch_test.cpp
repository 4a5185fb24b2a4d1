// The method dispatch as page script meets it: every name of the script API
// with exactly its signature, and every call that does not fit.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "scriptable/method_table.h"
#include "tests/support/plugin_fixture.h"
#include "tests/support/temp_folder.h"

using embedding::CallOutcome;
using embedding::Value;
using testing_support::IsUndefined;

namespace {

struct Signature {
    const char* name;
    const char* types;  // B for Bool, S for String, in order
};

// The script API, written out independently of the plug-in's own table.
const Signature kApi[] = {
    {"readCurrentReplayPos", "BS"},
    {"checkReplayUpdate", "BS"},
    {"setReplayPos", "SBS"},
    {"startPlayback", "B"},
    {"stopPlayback", "BS"},
    {"resetSync", "S"},
    {"checkAccessRights", "S"},
    {"getTimelineVols", "SSS"},
    {"getCurrentCallID", "B"},
    {"fileExists", "S"},
    {"getWorkspaceList", "SS"},
    {"getCallDetailsForWorkspace", "SSS"},
    {"createWSFolder", "SSS"},
    {"renameWS", "SSSS"},
    {"writeWSGridColOrder", "SSSS"},
    {"readWSGridColOrder", "SSS"},
    {"writeWSGridColWidth", "SSSSS"},
    {"readWSGridColWidth", "SSSS"},
    {"writeWSGridColHidden", "SSSSS"},
    {"readWSGridColHidden", "SSSS"},
    {"writeWSTimelineZoomLevel", "SSSS"},
    {"readWSTimelineZoomLevel", "SSS"},
    {"writeWSTimelineYAxisField", "SSSS"},
    {"readWSTimelineYAxisField", "SSS"},
    {"writeWSTimelineNavVisible", "SSSS"},
    {"readWSTimelineNavVisible", "SSS"},
    {"writeWSCurrentView", "SSSS"},
    {"readWSCurrentView", "SSS"},
    {"writeWSCurrentReplayMode", "SSSS"},
    {"readWSCurrentReplayMode", "SSS"},
    {"writeWSYAxisOrder", "SSSS"},
    {"readWSYAxisOrder", "SSS"},
    {"writeWSTimelineLicensed", "SSSSS"},
    {"readWSTimelineLicensed", "SSSS"},
    {"writeWSCreatedRecID", "SSSS"},
    {"readWSCreatedRecID", "SSS"},
    {"writeWSHighPrecision", "SSSS"},
    {"readWSHighPrecision", "SSS"},
    {"writeWSTimelineConcurrentLicenses", "SSSS"},
    {"readWSTimelineConcurrentLicenses", "SSS"},
    {"writeWSNavPosition", "SSSS"},
    {"readWSNavPosition", "SSS"},
    {"writeWSTimelineVol", "SSSSS"},
    {"writeWSGridSortColumn", "SSSS"},
    {"readWSGridSortColumn", "SSS"},
    {"writeWSGridColumnSortOrder", "SSSS"},
    {"readWSGridColumnSortOrder", "SSS"},
    {"writeWSGridLastPage", "SSSS"},
    {"readWSGridLastPage", "SSS"},
    {"writeWSExtendedCallsOpen", "SSSS"},
    {"readWSExtendedCallsOpen", "SSS"},
    {"launchExe", "S"},
    {"deleteWorkspace", "SSS"},
    {"copyWSFolder", "SSSS"},
    {"getWorkspaceUsage", "SS"},
    {"getMissingOrBufferingCalls", "SSSS"},
    {"getFileNamesInDir", "SS"},
    {"isCallInWorkspace", "SSS"},
    {"doesWorkspaceExist", "SSS"},
    {"setWorkspaceState", "SSSS"},
    {"isWorkspaceOpen", "SSS"},
    {"workspaceChanged", "SSSS"},
    {"hasWorkspaceChanged", "SSS"},
};

class Dispatch : public testing_support::ScriptTest {
  protected:
    void TearDown() override {
        // Nothing a refused call could have done may show in the folder.
        EXPECT_EQ(testing_support::ListFolder(scratch.path()), "");
        ScriptTest::TearDown();
    }

    // A well-typed value for `type`; strings name a harmless path in the
    // scratch folder, so a call that wrongly ran would leave a trace there.
    Value Good(char type) const {
        if (type == 'B') return true;
        return scratch.Text("should-not-exist");
    }

    std::vector<Value> GoodArgs(const std::string& types) const {
        std::vector<Value> args;
        for (char t : types) args.push_back(Good(t));
        return args;
    }

    testing_support::TempFolder scratch;
};

// This test's own list of signatures names exactly the methods of the table,
// each once: a method added to the table needs its signature written here.
TEST_F(Dispatch, TheApiListsEachMethodOfTheTableOnce) {
    std::set<std::string> names, table;
    for (const auto& m : kApi) names.insert(m.name);
    for (const scriptable::MethodRow& row : scriptable::Methods()) table.insert(row.name);
    EXPECT_EQ(std::size(kApi), names.size()) << "a method listed twice";
    EXPECT_EQ(names, table);
}

TEST_F(Dispatch, EveryMethodRefusesTooFewAndTooManyArguments) {
    for (const auto& m : kApi) {
        const std::string types = m.types;
        std::vector<Value> args = GoodArgs(types);
        args.pop_back();
        EXPECT_TRUE(IsUndefined(embed->Call(m.name, args))) << m.name << " with one too few";
        args = GoodArgs(types);
        args.push_back(Good('S'));
        EXPECT_TRUE(IsUndefined(embed->Call(m.name, args))) << m.name << " with one too many";
        args.push_back(Good('B'));
        EXPECT_TRUE(IsUndefined(embed->Call(m.name, args))) << m.name << " with two too many";
        EXPECT_TRUE(IsUndefined(embed->Call(m.name, {}))) << m.name << " with none";
    }
}

TEST_F(Dispatch, EveryMethodRefusesExtraUndefinedOrNullArgumentsAndSixOrMore) {
    // Unused signature slots must not make an extra undefined look like a fit.
    for (const auto& m : kApi) {
        for (const bool null : {false, true}) {
            const Value extra = null ? Value(embedding::Null{}) : Value(embedding::Undefined{});
            std::vector<Value> args = GoodArgs(m.types);
            args.push_back(extra);
            EXPECT_TRUE(IsUndefined(embed->Call(m.name, args)))
                << m.name << " with an extra " << embedding::Show(extra);
        }
        std::vector<Value> args = GoodArgs(m.types);
        if (args.size() < 6) args.resize(6);  // padded with undefined
        for (int more = 0; more < 3; ++more, args.push_back(Good('S'))) {
            EXPECT_TRUE(IsUndefined(embed->Call(m.name, args)))
                << m.name << " with " << args.size() << " arguments";
        }
    }
}

TEST_F(Dispatch, EveryMethodRefusesEachWrongTypeInEachPosition) {
    for (const auto& m : kApi) {
        const std::string types = m.types;
        for (size_t position = 0; position < types.size(); ++position) {
            const Value swapped = types[position] == 'B' ? Good('S') : Value(true);
            const std::vector<Value> wrong = {int32_t{5},
                                              int32_t{0},
                                              2.5,
                                              1.0,
                                              embedding::Null{},
                                              embedding::Undefined{},
                                              embedding::ObjectRef{},
                                              swapped};
            for (const Value& bad : wrong) {
                std::vector<Value> args = GoodArgs(types);
                args[position] = bad;
                const CallOutcome outcome = embed->Call(m.name, args);
                EXPECT_TRUE(IsUndefined(outcome))
                    << m.name << " with " << embedding::Show(bad) << " as argument " << position + 1
                    << " gave " << embedding::Show(outcome);
            }
        }
    }
}

TEST_F(Dispatch, NamesOutsideTheApiRaiseTheInvocationException) {
    for (const char* name : {"FileExists", "fileexists", "FILEEXISTS", "setWorkspaceOpen",
                             "fileExists ", " fileExists", "", "toString", "readWSGridColOrde",
                             "getWorkspaceListX", "fileExists\xC3\xA9"}) {
        const CallOutcome outcome = embed->Call(name, {Good('S')});
        ASSERT_TRUE(outcome.exception.has_value()) << "'" << name << "'";
        EXPECT_EQ(*outcome.exception, "exception during invocation");
        EXPECT_TRUE(std::holds_alternative<embedding::Undefined>(outcome.value));
    }
}

TEST_F(Dispatch, IntegerIdentifiersRaiseTheInvocationException) {
    for (int32_t id : {0, 1, 10, -1}) {
        const CallOutcome outcome = embed->Call(browser->IntIdentifier(id), {});
        ASSERT_TRUE(outcome.exception.has_value());
        EXPECT_EQ(*outcome.exception, "exception during invocation");
    }
}

TEST_F(Dispatch, TheMethodNameIsFreedOnEveryPath) {
    const size_t before = browser->pluginFrees;
    embed->Call("NoSuchMethod");                              // refused name
    embed->Call("fileExists", {});                            // wrong count
    embed->Call("fileExists", {int32_t{1}});                  // wrong type
    embed->Call("getWorkspaceList", {Good('S'), Good('S')});  // fits
    EXPECT_EQ(browser->pluginFrees - before, 4u);
    EXPECT_EQ(browser->LiveBuffers(), 0u);
}

TEST_F(Dispatch, ARefusedNameLeavesTheResultAsTheBrowserPassedIt) {
    NPObject* object = embed->ScriptableObject();
    NPVariant result{};
    result.type = NPVariantType_Int32;
    result.value.intValue = 7;
    EXPECT_FALSE(
        object->_class->invoke(object, browser->StringIdentifier("nope"), nullptr, 0, &result));
    EXPECT_EQ(result.type, NPVariantType_Int32);
    EXPECT_EQ(result.value.intValue, 7);
    browser->TakeException();
}

TEST_F(Dispatch, ACallWithNullArgumentsButACountIsRefused) {
    NPObject* object = embed->ScriptableObject();
    NPVariant result{};
    result.type = NPVariantType_Void;
    EXPECT_TRUE(object->_class->invoke(object, browser->StringIdentifier("fileExists"), nullptr, 1,
                                       &result));
    EXPECT_EQ(result.type, NPVariantType_Void);
}

}  // namespace
