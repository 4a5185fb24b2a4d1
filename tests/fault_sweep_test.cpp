// Every method under every failing Windows call: the test build of the module
// follows a fault plan at its platform seam. For each of the 63 methods the
// sweep counts the platform calls one run makes, then runs the method once
// per call with that call failing, with each of four errors. Every run must
// give a result the method documents (its failure result, or a success that
// really happened), leave no handle and no browser buffer behind, change
// nothing outside the method's own folders, and leave each exchange file it
// writes with its old content or its new one.
#include <windows.h>
// windows.h first: the shell's declarations build on it.
#include <shlobj.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "embedding/embedder.h"
#include "scriptable/method_table.h"
#include "tests/support/child_process.h"
#include "tests/support/long_paths.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;
using embedding::Value;
using testing_support::LongTree;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

namespace {

using PlanFunction = void(__cdecl*)(long, const char*, unsigned long);
using CallsFunction = long(__cdecl*)(const char**);
using HookFunction = void(__cdecl*)(const char*, long, void(__cdecl*)(void*), void*);

size_t HandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

const unsigned long kErrors[] = {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL,
                                 ERROR_PATH_NOT_FOUND};

struct Sweep {
    std::vector<Value> args;
    std::vector<Value> failures;  // what the method gives when the system refuses
    // Checks that a success result really happened; empty: nothing to check.
    std::function<std::string()> happened;
};

// A file's content, or "<none>".
std::string FileOrNone(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error) ? ReadBytes(path) : std::string("<none>");
}

// "" when the file holds `before` or `after`.
std::string OldOrNew(const fs::path& path, const std::string& before, const std::string& after) {
    const std::string now = FileOrNone(path);
    return now == before || now == after ? std::string()
                                         : path.filename().string() + " holds " + now;
}

// In whole seconds, which every file system keeps exactly.
const fs::file_time_type kOldCommandTime = std::chrono::floor<std::chrono::seconds>(
    fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));

class FaultSweep : public ::testing::Test {
  protected:
    void SetUp() override {
        embedding::BrowserOptions options;
        options.pluginPath = embedding::ProgramFolder() + L"npDravenilFileAccessPlugin-faults.dll";
        browser.emplace(options);
        plan = reinterpret_cast<PlanFunction>(browser->Export("PluginFaultPlan"));
        calls = reinterpret_cast<CallsFunction>(browser->Export("PluginFaultCalls"));
        ASSERT_TRUE(plan && calls) << "the test build of the module has no fault plan";
        embed.emplace(*browser);
        ASSERT_NE(embed->ScriptableObject(), nullptr);

        char appData[MAX_PATH] = {};
        ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, appData), S_OK);
        root = fs::path(appData) / "Dravenil" / "Workspaces";
        outer = "fault-sweep-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount());
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, current);
        previousFolder = current;
        ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().wstring().c_str()));
        WriteBytes(scratch.path() / "sentinel.txt", "in the current folder");
    }
    void TearDown() override {
        plan(0, nullptr, 0);
        SetCurrentDirectoryW(previousFolder.c_str());
        EXPECT_EQ(ReadBytes(scratch.path() / "sentinel.txt"), "in the current folder");
        testing_support::RemoveLongTree(Root() / outer);
        embed.reset();
        EXPECT_EQ(browser->LiveBuffers(), 0u);
        browser.reset();
    }

    fs::path Root() const { return root; }
    fs::path Ws(const std::string& name) { return Root() / outer / "In" / name; }
    fs::path Exchange() { return scratch.path() / "exchange"; }

    // The same starting point for every run.
    void Prepare() {
        testing_support::RemoveLongTree(Root() / outer);
        testing_support::RemoveLongTree(Exchange());
        testing_support::RemoveLongTree(scratch.path() / "probe");
        fs::create_directories(Ws("W") / "Calls" / "c2");
        fs::create_directories(Ws("Other"));
        fs::create_directories(Exchange());
        WriteBytes(Ws("W") / "Calls" / "c1", "call one");
        WriteBytes(Ws("W") / "Calls.dat", std::string("\x01\0\0\0\x07\0\0\0\x01\0\0\0\x03\0\0\0"
                                                      "\x02"
                                                      "ab\x03xyz",
                                                      23));
        WriteBytes(Ws("W") / "Workspace.ini",
                   "[General]\r\nCurrentView=grid\r\n[GridColWidths]\r\nC1=80\r\n"
                   "[TimelineVolumes]\r\n1=50\r\n2=60\r\n");
        WriteBytes(Ws("Other") / "keep.txt", "another workspace");
        for (const char* ws : {"", "WS"}) {
            WriteBytes(Exchange() / ("ReplayPos" + std::string(ws) + ".dat"), "12345");
            WriteBytes(Exchange() / ("ReplayUpdate" + std::string(ws) + ".dat"), "playing 5");
            WriteBytes(Exchange() / ("CurrentCall" + std::string(ws) + ".dat"), "call-7");
            WriteBytes(Exchange() / ("TimelineUpdate" + std::string(ws) + ".dat"), "st");
            // A time of its own, which a command put back must keep.
            fs::last_write_time(Exchange() / ("TimelineUpdate" + std::string(ws) + ".dat"),
                                kOldCommandTime);
        }
        // Every method that needs the object's exchange folder has it.
        plan(0, nullptr, 0);
        embed->Call("readCurrentReplayPos", {false, Exchange().string()});
    }

    // Arguments for every method that reach real files of Prepare's tree,
    // what each method documents for a refusal, and how to check that a
    // success really happened.
    std::map<std::string, Sweep> Sweeps() {
        const std::string o = outer, e = Exchange().string();
        const std::vector<Value> w = {o, std::string("W"), std::string("In")};
        auto with = [&](std::vector<Value> rest) {
            std::vector<Value> args = w;
            args.insert(args.end(), rest.begin(), rest.end());
            return args;
        };
        const Value undefined = embedding::Undefined{};
        std::map<std::string, Sweep> sweeps = {
            {"readCurrentReplayPos", {{false, e}, {undefined}, {}}},
            {"checkReplayUpdate", {{false, e}, {undefined}, {}}},
            {"getCurrentCallID", {{false}, {undefined}, {}}},
            {"setReplayPos",
             {{"100", false, e},
              {undefined},
              [this] {
                  return OldOrNew(Exchange() / "TimelineUpdate.dat", "rp 100", "rp 100") +
                         OldOrNew(Exchange() / "ReplayPos.dat", "12345", "100");
              }}},
            {"startPlayback",
             {{false},
              {undefined},
              [this] { return OldOrNew(Exchange() / "TimelineUpdate.dat", "pb", "pb"); }}},
            {"stopPlayback",
             {{false, e},
              {undefined},
              [this] { return OldOrNew(Exchange() / "TimelineUpdate.dat", "st", "st"); }}},
            {"resetSync",
             {{e},
              {false},
              [this] {
                  std::string left;
                  for (const auto& entry : fs::directory_iterator(Exchange())) {
                      left += entry.path().filename().string() + " ";
                  }
                  return left;
              }}},
            {"checkAccessRights", {{(scratch.path() / "probe" / "sub").string()}, {false}, {}}},
            {"fileExists", {{e + "\\ReplayPos.dat"}, {false}, {}}},
            {"launchExe", {{testing_support::ProgramBeside("test-helper.exe")}, {false}, {}}},
            {"getWorkspaceList",
             {{o, "In"}, {std::string(), std::string("Failed to get folder path")}, {}}},
            {"getCallDetailsForWorkspace",
             {w,
              {std::string("Failed to open file"), std::string("Failed to get folder path")},
              {}}},
            {"createWSFolder",
             {{o, "New", "In"},
              {false},
              [this] { return fs::is_directory(Ws("New") / "Calls") ? "" : "no folder"; }}},
            {"renameWS",
             {{o, "W", "Renamed", "In"},
              {false},
              [this] {
                  return fs::exists(Ws("Renamed")) && !fs::exists(Ws("W")) ? "" : "not renamed";
              }}},
            {"deleteWorkspace",
             {w,
              {false},
              [this] { return testing_support::LongExists(Ws("W")) ? "remains" : ""; }}},
            {"copyWSFolder",
             {{o, "In", "W", "Copy"},
              {false},
              [this] { return LongTree(Ws("Copy")) == LongTree(Ws("W")) ? "" : "partial copy"; }}},
            {"getWorkspaceUsage", {{o, "In"}, {0.0}, {}}},
            {"getMissingOrBufferingCalls", {with({"c1,c3"}), {std::string("c1,c3")}, {}}},
            {"getFileNamesInDir", {{e, ".dat"}, {std::string()}, {}}},
            {"isCallInWorkspace", {{o, "In", "c1"}, {false}, {}}},
            {"doesWorkspaceExist", {w, {false}, {}}},
            {"getTimelineVols", {w, {std::string("[]")}, {}}},
        };
        // The settings rows: writes are false when refused, reads "" (or
        // undefined without a local application-data folder).
        for (const scriptable::MethodRow& row : scriptable::Methods()) {
            if (!row.setting.section || sweeps.count(row.name)) continue;
            const bool keyed = !row.setting.key;
            if (row.setting.readCapacity == 0) {
                const std::string method = row.name;
                sweeps[row.name] = {keyed ? with({"C1", "7"}) : with({"7"}), {false}, {}};
            } else {
                sweeps[row.name] = {keyed ? with({"C1"}) : w, {std::string(), undefined}, {}};
            }
        }
        return sweeps;
    }

    std::string Others() { return LongTree(Ws("Other")) + LongTree(scratch.path() / "canary"); }

    std::string outer;
    testing_support::TempFolder scratch;
    std::optional<embedding::Browser> browser;
    std::optional<embedding::Embed> embed;
    PlanFunction plan = nullptr;
    CallsFunction calls = nullptr;
    std::wstring previousFolder;
    fs::path root;
};

TEST_F(FaultSweep, EveryMethodUnderEveryFailingCallGivesADocumentedResult) {
    fs::create_directories(scratch.path() / "canary");
    WriteBytes(scratch.path() / "canary" / "file.txt", "untouched");
    // The exchange files a failed write may leave only as they were or as
    // the method meant them.
    auto exchangeIntact = [&](const std::string& command, const std::string& position) {
        const fs::path commands = Exchange() / "TimelineUpdate.dat";
        const bool oldWithNewTime = command != "st" && FileOrNone(commands) == "st" &&
                                    fs::last_write_time(commands) != kOldCommandTime;
        return OldOrNew(commands, "st", command) +
               OldOrNew(Exchange() / "ReplayPos.dat", "12345", position) +
               (oldWithNewTime ? "the old command is back with another time" : "");
    };
    std::map<std::string, Sweep> sweeps = Sweeps();
    ASSERT_EQ(sweeps.size(), scriptable::Methods().size()) << "a method without a sweep";

    size_t runs = 0;
    std::map<std::string, long> callsPerMethod;
    // FAULT_SWEEP_ONLY=name runs one method's sweep, when looking into it.
    char only[128] = {};
    GetEnvironmentVariableA("FAULT_SWEEP_ONLY", only, sizeof only);
    for (const auto& [method, sweep] : sweeps) {
        if (*only && method != only) continue;
        Prepare();
        plan(0, nullptr, 0);
        const embedding::CallOutcome clean = embed->Call(method, sweep.args);
        const long count = calls(nullptr);
        callsPerMethod[method] = count;
        ASSERT_FALSE(clean.exception) << method;
        if (sweep.happened) {
            EXPECT_EQ(sweep.happened(), "") << method << " without a fault";
        }
        for (long n = 1; n <= count; ++n) {
            for (const unsigned long error : kErrors) {
                Prepare();
                const std::string others = Others();
                const size_t handles = HandleCount();
                plan(n, nullptr, error);
                const embedding::CallOutcome outcome = embed->Call(method, sweep.args);
                const char* failedName = "";
                calls(&failedName);
                const std::string failed = failedName;  // the plan owns the text
                plan(0, nullptr, 0);
                ++runs;
                const std::string where = method + ", call " + std::to_string(n) + " (" + failed +
                                          ") failing with " + std::to_string(error);
                ASSERT_FALSE(outcome.exception) << where;
                const bool documented = outcome.value == clean.value ||
                                        std::find(sweep.failures.begin(), sweep.failures.end(),
                                                  outcome.value) != sweep.failures.end();
                EXPECT_TRUE(documented) << where << " gave " << embedding::Show(outcome)
                                        << "; without a fault " << embedding::Show(clean);
                if (outcome.value == clean.value && sweep.happened &&
                    std::find(sweep.failures.begin(), sweep.failures.end(), outcome.value) ==
                        sweep.failures.end()) {
                    EXPECT_EQ(sweep.happened(), "") << where << " reported success";
                }
                if (method == "setReplayPos" || method == "startPlayback" ||
                    method == "stopPlayback") {
                    EXPECT_EQ(exchangeIntact(method == "setReplayPos"    ? "rp 100"
                                             : method == "startPlayback" ? "pb"
                                                                         : "st",
                                             "100"),
                              "")
                        << where;
                }
                EXPECT_LE(HandleCount(), handles) << where << " left a handle open";
                EXPECT_EQ(browser->LiveBuffers(), 0u) << where;
                EXPECT_EQ(Others(), others) << where << " changed what is not its own";
                if (HasFailure()) return;
            }
        }
    }
    long total = 0;
    for (const auto& [method, count] : callsPerMethod) total += count;
    std::cout << "fault sweep: " << sweeps.size() << " methods, " << total
              << " platform calls, each failing with each of 4 errors: " << runs << " runs\n";
}

// Each mend the sweep asked for, on its own: a call that fails partway gives
// the method's failure result, never part of an answer or a success that did
// not happen.
struct Mend {
    const char* method;
    std::function<std::vector<Value>()> args;
    const char* failing;  // every call of this function fails
    Value expected;
    std::function<std::string()> after;  // "" when the files are as they must be
};

TEST_F(FaultSweep, EachCallThatFailsPartwayGivesTheFailureResult) {
    const std::string o = outer;
    auto e = [&] { return Exchange().string(); };
    const Value undefined = embedding::Undefined{};
    const std::vector<Mend> mends = {
        {"getWorkspaceList",
         [&] {
             return std::vector<Value>{o, "In"};
         },
         "FindNextFileW",
         std::string(),
         {}},
        // No folder can be listed: nothing is counted, however large (a
        // walk that summed without its listings would give 12 KiB).
        {"getWorkspaceUsage",
         [&] {
             WriteBytes(Ws("W") / "Calls" / "c2" / "big", std::string(4096, 'b'));
             WriteBytes(Ws("Other") / "big", std::string(8192, 'o'));
             return std::vector<Value>{o, "In"};
         },
         "NtQueryDirectoryFile",
         0.0,
         {}},
        {"getMissingOrBufferingCalls",
         [&] {
             return std::vector<Value>{o, "W", "In", "c1,c2"};
         },
         "FindNextFileW",
         std::string("c1,c2"),
         {}},
        {"getCallDetailsForWorkspace",
         [&] {
             return std::vector<Value>{o, "W", "In"};
         },
         "fread",
         std::string("Failed to open file"),
         {}},
        {"readCurrentReplayPos",
         [&] {
             return std::vector<Value>{false, e()};
         },
         "getc",
         undefined,
         {}},
        {"copyWSFolder",
         [&] {
             return std::vector<Value>{o, "In", "W", "Copy"};
         },
         "WriteFile",
         false,
         {}},
        {"deleteWorkspace",
         [&] {
             return std::vector<Value>{o, "W", "In"};
         },
         // Nothing can be seen to be the entry listed: nothing is removed.
         "NtQueryInformationFile", false,
         [&] { return testing_support::LongExists(Ws("W") / "Calls" / "c1") ? "" : "gone"; }},
        {"deleteWorkspace",
         [&] {
             return std::vector<Value>{o, "W", "In"};
         },
         "SetFileInformationByHandle",
         false,
         {}},
        // Every write fails, the one that would put the old command back
        // too: the command file is left empty, which a player takes as
        // nothing new, and the position file is not touched.
        {"setReplayPos",
         [&] {
             return std::vector<Value>{"100", false, e()};
         },
         "_write", undefined,
         [&] {
             return ReadBytes(Exchange() / "TimelineUpdate.dat") == "" &&
                            ReadBytes(Exchange() / "ReplayPos.dat") == "12345"
                        ? ""
                        : "a file changed";
         }},
        {"setReplayPos",
         [&] {
             return std::vector<Value>{"100", false, e()};
         },
         // The file cannot be cut: nothing is written.
         "_chsize_s", undefined,
         [&] {
             return ReadBytes(Exchange() / "TimelineUpdate.dat") == "st" &&
                            ReadBytes(Exchange() / "ReplayPos.dat") == "12345"
                        ? ""
                        : "a file changed";
         }},
        // A command file made by a write that fails is not left behind.
        {"startPlayback",
         [&] {
             fs::remove(Exchange() / "TimelineUpdate.dat");
             return std::vector<Value>{false};
         },
         "_write", undefined,
         [&] { return fs::exists(Exchange() / "TimelineUpdate.dat") ? "left behind" : ""; }},
        // A close that fails after the bytes reached the file: the answer
        // is what the disk holds.
        {"startPlayback", [&] { return std::vector<Value>{false}; }, "_close", true,
         [&] { return ReadBytes(Exchange() / "TimelineUpdate.dat") == "pb" ? "" : "not written"; }},
        {"checkAccessRights",
         [&] { return std::vector<Value>{(scratch.path() / "probe").string()}; },
         "remove",
         true,
         {}},
        {"launchExe",
         [&] { return std::vector<Value>{testing_support::ProgramBeside("test-helper.exe")}; },
         "CreateProcessW",
         false,
         {}},
        {"writeWSCurrentView",
         [&] {
             return std::vector<Value>{o, "W", "In", "list"};
         },
         "WritePrivateProfileStringW",
         false,
         {}},
    };
    for (const Mend& mend : mends) {
        Prepare();
        const auto args = mend.args();
        plan(0, mend.failing, ERROR_ACCESS_DENIED);
        const embedding::CallOutcome outcome = embed->Call(mend.method, args);
        plan(0, nullptr, 0);
        EXPECT_EQ(outcome.value, mend.expected) << mend.method << " with " << mend.failing
                                                << " failing gave " << embedding::Show(outcome);
        if (mend.after) {
            EXPECT_EQ(mend.after(), "") << mend.method << " with " << mend.failing;
        }
        EXPECT_EQ(browser->LiveBuffers(), 0u);
    }
}

// A string argument holding a NUL is refused: the method never acts on the
// text before the NUL, which a narrow Windows call would read as the whole.
TEST_F(FaultSweep, AnArgumentHoldingANulIsRefusedAndNothingIsTouched) {
    const std::map<std::string, Sweep> sweeps = Sweeps();
    // What the text before the NUL names gives something worth hiding.
    auto informative = [](const Value& v) {
        if (std::holds_alternative<bool>(v)) return std::get<bool>(v);
        if (std::holds_alternative<double>(v)) return std::get<double>(v) > 0;
        if (!std::holds_alternative<std::string>(v)) return false;
        const std::string& text = std::get<std::string>(v);
        return !text.empty() && text != "[]" && text != "Failed to open file";
    };
    size_t compared = 0;
    for (const auto& [method, sweep] : sweeps) {
        for (size_t i = 0; i < sweep.args.size(); ++i) {
            if (!std::holds_alternative<std::string>(sweep.args[i])) continue;
            Prepare();
            WriteBytes(Ws("W") / "Calls" / "big", std::string(2048, 'b'));
            std::vector<Value> cut = sweep.args;
            std::get<std::string>(cut[i]) += std::string("\0 anything", 10);
            const std::string before = LongTree(Root() / outer) + LongTree(Exchange());
            const embedding::CallOutcome refused = embed->Call(method, cut);
            const std::string where = method + ", argument " + std::to_string(i + 1);
            ASSERT_FALSE(refused.exception) << where;
            EXPECT_NE(refused.value, Value(true)) << where;
            EXPECT_EQ(LongTree(Root() / outer) + LongTree(Exchange()), before) << where;
            const embedding::CallOutcome whole = embed->Call(method, sweep.args);
            if (informative(whole.value)) {
                ++compared;
                EXPECT_NE(refused.value, whole.value)
                    << where << " acted on the text before the NUL";
            }
        }
    }
    EXPECT_GT(compared, 60u) << "too few arguments named something";
}

// Usage is best effort: whichever listing fails, the folders that could be
// read are still summed, so the answer lies between 0 and the whole.
TEST_F(FaultSweep, UsageSumsWhatCanBeListedWhicheverListingFails) {
    Prepare();
    WriteBytes(Ws("W") / "Calls" / "c2" / "big", std::string(4096, 'b'));
    WriteBytes(Ws("Other") / "big", std::string(8192, 'o'));
    const std::vector<Value> args = {outer, std::string("In")};
    plan(0, nullptr, 0);
    const Value whole = embed->Call("getWorkspaceUsage", args).value;
    ASSERT_EQ(whole, Value(12.0 / 1024 / 1024));
    const long count = calls(nullptr);
    bool partial = false;
    for (long n = 1; n <= count; ++n) {
        plan(n, nullptr, ERROR_ACCESS_DENIED);
        const Value got = embed->Call("getWorkspaceUsage", args).value;
        plan(0, nullptr, 0);
        ASSERT_TRUE(std::holds_alternative<double>(got)) << "call " << n;
        const double kib = std::get<double>(got) * 1024 * 1024;
        EXPECT_TRUE(kib == 0 || kib == 4 || kib == 8 || kib == 12) << "call " << n << ": " << kib;
        partial = partial || kib == 4 || kib == 8;
    }
    EXPECT_TRUE(partial) << "no failing listing left the rest counted";
}

// Without a local application-data folder every workspace method gives its
// own answer for it, and nothing is created anywhere.
TEST_F(FaultSweep, WithoutALocalApplicationDataFolderEachWorkspaceMethodSaysSo) {
    Prepare();
    const std::string o = outer;
    const Value undefined = embedding::Undefined{};
    const std::vector<std::pair<std::string, std::pair<std::vector<Value>, Value>>> cases = {
        {"getWorkspaceList", {{o, "In"}, std::string("Failed to get folder path")}},
        {"getCallDetailsForWorkspace", {{o, "W", "In"}, std::string("Failed to get folder path")}},
        {"getMissingOrBufferingCalls", {{o, "W", "In", "a,b"}, std::string("a,b")}},
        {"getTimelineVols", {{o, "W", "In"}, std::string("[]")}},
        {"readWSCurrentView", {{o, "W", "In"}, undefined}},
        {"readWSGridColWidth", {{o, "W", "In", "C1"}, undefined}},
        {"writeWSCurrentView", {{o, "W", "In", "v"}, false}},
        {"createWSFolder", {{o, "New", "In"}, false}},
        {"renameWS", {{o, "W", "X", "In"}, false}},
        {"deleteWorkspace", {{o, "W", "In"}, false}},
        {"copyWSFolder", {{o, "In", "W", "X"}, false}},
        {"getWorkspaceUsage", {{o, "In"}, 0.0}},
        {"isCallInWorkspace", {{o, "In", "c1"}, false}},
        {"doesWorkspaceExist", {{o, "W", "In"}, false}},
    };
    const std::string before = LongTree(Root() / outer);
    for (const auto& [method, call] : cases) {
        plan(0, "SHGetFolderPathW", E_FAIL);
        const embedding::CallOutcome outcome = embed->Call(method, call.first);
        plan(0, nullptr, 0);
        EXPECT_EQ(outcome.value, call.second) << method << " gave " << embedding::Show(outcome);
        // A failed answer is never kept: the next call finds the folder.
        EXPECT_EQ(embed->Call("doesWorkspaceExist", {o, "W", "In"}).value, Value(true))
            << "after " << method;
    }
    EXPECT_EQ(LongTree(Root() / outer), before);
}

// ---- A link swapped in while a walk runs ---------------------------------------

// Someone else's folder, and a subfolder of a workspace that is swapped for
// a link to it just before the walk's first step below the workspace, after
// the walk has listed it.
struct SwapForLink {
    fs::path sub, moved, target;
    std::string before;
    testing_support::LinkKind kind = testing_support::LinkKind::Symbolic;
    bool linked = false;
    static void __cdecl Now(void* context) {
        auto& s = *static_cast<SwapForLink*>(context);
        std::error_code error;
        fs::rename(s.sub, s.moved, error);
        s.linked = !error && testing_support::MakeLink(s.sub, s.target, s.kind);
    }
};

class WalkRace : public FaultSweep {
  protected:
    void SetUp() override {
        FaultSweep::SetUp();
        hook = reinterpret_cast<HookFunction>(browser->Export("PluginFaultHook"));
        ASSERT_TRUE(hook);
        swap.target = scratch.path() / "elsewhere";
        swap.moved = scratch.path() / "moved-away";
        fs::create_directories(swap.target / "deeper");
        // Large enough that a usage that followed the link would show it.
        WriteBytes(swap.target / "precious.wav", std::string(4096, 'p'));
        WriteBytes(swap.target / "deeper" / "more.wav", std::string(4096, 'm'));
        swap.before = LongTree(swap.target);
    }
    void Fill(const fs::path& folder) {
        for (const char* name : {"a", "zsub"}) {
            fs::create_directories(folder / name);
            for (int i = 0; i < 50; ++i)
                WriteBytes(folder / name / (std::to_string(i) + ".wav"), "x");
        }
    }
    // The call, with `sub` swapped at the `open`th relative open; false when
    // no link can be made here.
    bool Race(const fs::path& sub, const char* method, const std::vector<Value>& args,
              long open = 1) {
        swap.sub = sub;
        hook("NtCreateFile", open, &SwapForLink::Now, &swap);
        outcome = embed->Call(method, args);
        hook(nullptr, 0, nullptr, nullptr);
        testing_support::RemoveLongTree(swap.moved);
        return swap.linked;
    }
    HookFunction hook = nullptr;
    SwapForLink swap;
    embedding::CallOutcome outcome;
};

// The link races run with both kinds of link, each where it can be made.
class LinkRace : public WalkRace, public ::testing::WithParamInterface<testing_support::LinkKind> {
  protected:
    void SetUp() override {
        WalkRace::SetUp();
        swap.kind = GetParam();
    }
    std::string NoLink() const {
        return std::string("no way to make a ") + testing_support::NameOf(GetParam()) + " here";
    }
};

INSTANTIATE_TEST_SUITE_P(Kinds, LinkRace, ::testing::ValuesIn(testing_support::kLinkKinds),
                         [](const auto& info) { return testing_support::TestNameOf(info.param); });

// The delete never follows the link: the folder it leads to keeps
// everything, and the link is left, so the workspace remains.
TEST_P(LinkRace, ADeleteNeverFollowsASubfolderSwappedForALink) {
    Fill(Ws("Race"));
    if (!Race(Ws("Race") / "zsub", "deleteWorkspace", {outer, "Race", "In"})) {
        GTEST_SKIP() << NoLink();
    }
    EXPECT_EQ(LongTree(swap.target), swap.before) << "the delete followed the link";
    EXPECT_EQ(outcome.value, Value(false));
}

// The copy never writes through a destination subfolder swapped for a link,
// and says the copy is not whole.
TEST_P(LinkRace, ACopyNeverWritesThroughADestinationSubfolderSwappedForALink) {
    Fill(Ws("Source"));
    Fill(Ws("Dest"));
    if (!Race(Ws("Dest") / "zsub", "copyWSFolder", {outer, "In", "Source", "Dest"})) {
        GTEST_SKIP() << NoLink();
    }
    EXPECT_EQ(LongTree(swap.target), swap.before) << "the copy wrote through the link";
    EXPECT_EQ(outcome.value, Value(false));
}

// The workspace itself swapped for a link after its folder listed it, just
// before it is first opened: neither walked, nor written, nor counted.
TEST_P(LinkRace, AWorkspaceSwappedForALinkBeforeItsFirstOpenIsNeverFollowed) {
    struct Case {
        const char* swapped;
        const char* method;
        std::vector<Value> args;
        long open;  // the relative open it comes before
        Value expected;
    };
    const Value usage = 2.0 / 1024 / 1024;  // the file beside it, all that is really there
    const std::vector<Case> cases = {
        {"Race", "deleteWorkspace", {outer, "Race", "In"}, 1, false},
        {"Source", "copyWSFolder", {outer, "In", "Source", "Dest"}, 1, false},
        {"Dest", "copyWSFolder", {outer, "In", "Source", "Dest"}, 2, false},
        {"Race", "getWorkspaceUsage", {outer, "In"}, 1, usage},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(testing_support::RemoveLongTree(Root() / outer));
        for (const char* name : {"Race", "Source", "Dest"}) Fill(Ws(name));
        WriteBytes(Ws("") / "notes.bin", std::string(2048, 'n'));
        if (!Race(Ws(c.swapped), c.method, c.args, c.open)) GTEST_SKIP() << NoLink();
        const std::string what = std::string(c.method) + " with " + c.swapped + " swapped";
        EXPECT_EQ(outcome.value, c.expected) << what;
        EXPECT_EQ(LongTree(swap.target), swap.before) << what << ": the link was followed";
        EXPECT_TRUE(testing_support::IsLink(Ws(c.swapped))) << what;
    }
}

// Between a walk's listing and its open of an entry, the name is taken by
// something else: the walk never copies, overwrites or enters what it did not
// list, and says the copy is not whole.
TEST_F(WalkRace, ANameTakenBetweenTheListingAndTheOpenIsLeftAlone) {
    struct Case {
        const char* what;
        bool destinationThere, sub;
        long open;  // the relative open it comes before
        std::function<void()> take;
        fs::path kept;       // what must hold "someone's" afterwards
        fs::path notHere{};  // what must not (empty: nothing)
    };
    const fs::path src = Ws("Src"), dst = Ws("Dst");
    bool linked = true;
    auto replace = [](const fs::path& file) {
        fs::rename(file, file.string() + ".moved");
        WriteBytes(file, "someone's");
    };
    const Case cases[] = {
        // Opens: the source, the destination, the source's file, its copy.
        {"the source file replaced", false, false, 3, [&] { replace(src / "a.wav"); },
         src / "a.wav", dst / "a.wav"},
        {"the new copy's name taken", false, false, 4,
         [&] { WriteBytes(dst / "a.wav", "someone's"); }, dst / "a.wav"},
        {"the listed destination file replaced", true, false, 4, [&] { replace(dst / "a.wav"); },
         dst / "a.wav"},
        // The same file, reached through a link put at its old name (Wine
        // opens it as the file, of the listed id, named where it now is).
        {"the source file moved and a link to it put at its name", false, false, 3,
         [&] {
             fs::rename(src / "a.wav", src / "b.wav");
             WriteBytes(src / "b.wav", "someone's");
             linked = testing_support::MakeLink(src / "a.wav", src / "b.wav",
                                                testing_support::LinkKind::Symbolic);
         },
         src / "b.wav", dst / "a.wav"},
        // Opens: the source, the destination, the source's folder, its copy.
        {"the new folder's name taken", false, true, 4,
         [&] {
             fs::create_directory(dst / "sub");
             WriteBytes(dst / "sub" / "x", "someone's");
         },
         dst / "sub" / "x"},
    };
    struct Hook {
        std::function<void()> action;
        static void __cdecl Now(void* context) { static_cast<Hook*>(context)->action(); }
    } now;
    for (const Case& c : cases) {
        ASSERT_TRUE(testing_support::RemoveLongTree(Root() / outer));
        fs::create_directories(c.sub ? src / "sub" : src);
        if (!c.sub) WriteBytes(src / "a.wav", "the source's");
        if (c.destinationThere) {
            fs::create_directories(dst);
            WriteBytes(dst / "a.wav", "the old copy");
        }
        now.action = c.take;
        hook("NtCreateFile", c.open, &Hook::Now, &now);
        const Value answer = embed->Call("copyWSFolder", {outer, "In", "Src", "Dst"}).value;
        hook(nullptr, 0, nullptr, nullptr);
        if (!linked) {
            ADD_FAILURE() << c.what << ": no symbolic link could be made";
            linked = true;
            continue;
        }
        EXPECT_EQ(answer, Value(false)) << c.what;
        EXPECT_EQ(FileOrNone(c.kept), "someone's") << c.what;
        if (!c.notHere.empty()) {
            EXPECT_NE(FileOrNone(c.notHere), "someone's") << c.what;
        }
        if (testing_support::IsLink(src / "a.wav")) testing_support::RemoveLink(src / "a.wav");
    }
}

// The reads one listing of `folder` takes, as a walk lists (64 KiB at a
// time), the last one ending it.
long ListingReads(const fs::path& folder) {
    using Query = LONG(NTAPI*)(HANDLE, HANDLE, void*, void*, void*, void*, ULONG, int, BOOLEAN,
                               void*, BOOLEAN);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryDirectoryFile")));
    const HANDLE handle =
        CreateFileW(testing_support::LongForm(folder).c_str(), FILE_LIST_DIRECTORY,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (!query || handle == INVALID_HANDLE_VALUE) return 0;
    std::vector<unsigned char> buffer(64 * 1024);
    long reads = 0;
    for (BOOLEAN restart = TRUE;; restart = FALSE) {
        ULONG_PTR status[2] = {};
        ++reads;
        if (query(handle, nullptr, nullptr, nullptr, status, buffer.data(),
                  static_cast<ULONG>(buffer.size()), 38, FALSE, nullptr, restart) != 0) {
            break;
        }
    }
    CloseHandle(handle);
    return reads;
}

// The destination's set folder listed only in part (a read of its listing
// fails): the destination's name may be in what was not read, so nothing is
// made. Once both listings are whole, it is.
TEST_F(WalkRace, ACopyMakesNoDestinationWhereItsSetFolderWasListedInPart) {
    fs::create_directories(Ws("Src") / "Calls");
    WriteBytes(Ws("Src") / "Calls" / "c1", "call");
    for (int i = 0; i < 1500; ++i)
        WriteBytes(Ws("") / (std::string(40, 'f') + std::to_string(i)), "");
    const long reads = ListingReads(Ws(""));
    ASSERT_GT(reads, 2) << "the set folder fits one read";
    struct FailFromNow {
        PlanFunction plan;
        static void __cdecl Now(void* context) {
            static_cast<FailFromNow*>(context)->plan(0, "NtQueryDirectoryFile",
                                                     ERROR_ACCESS_DENIED);
        }
    } failFromNow{plan};
    // The source's set folder is listed first, then the destination's.
    for (long at = reads + 1; at <= 2 * reads + 1; ++at) {
        hook("NtQueryDirectoryFile", at, &FailFromNow::Now, &failFromNow);
        const Value answer = embed->Call("copyWSFolder", {outer, "In", "Src", "Dst"}).value;
        hook(nullptr, 0, nullptr, nullptr);
        plan(0, nullptr, 0);
        EXPECT_EQ(answer, Value(false)) << "read " << at;
        EXPECT_EQ(testing_support::LongExists(Ws("Dst")), at == 2 * reads + 1)
            << "read " << at << " of " << reads << " per listing failing";
        testing_support::RemoveLongTree(Ws("Dst"));
    }
}

}  // namespace
