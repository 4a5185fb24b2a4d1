// The native-messaging host as a browser runs it: framed requests on a pipe,
// framed answers back, with the host's peak memory read while it runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "browser/host_process.h"
#include "messaging/json.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/workspace_fixture.h"

namespace {

using standin::Frame;

// The host as a browser starts it, with a mark on its command line (where a
// browser names the caller) by which the Linux process that runs it is found
// (see PeakBytes).
class PipedHost : public standin::HostProcess {
  public:
    PipedHost() : PipedHost(NewMark()) {}
    // The most memory the host has held so far. Wine's own peak counters
    // report current use, so the figure is read where Linux keeps it: VmHWM
    // of the process whose command line holds this host's mark, through
    // Wine's Z: drive. 0 when it cannot be read here.
    size_t PeakBytes() const {
        const std::string needle = mark_ + '\0';
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
        if (search == INVALID_HANDLE_VALUE) return 0;
        size_t peak = 0;
        do {
            const std::string pid = entry.cFileName;
            if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
            const std::string folder = "Z:\\proc\\" + pid + "\\";
            if (ReadProcFile(folder + "cmdline").find(needle) == std::string::npos) continue;
            const std::string status = ReadProcFile(folder + "status");
            const size_t at = status.find("VmHWM:");
            if (at != std::string::npos)
                peak = std::strtoull(status.c_str() + at + 6, nullptr, 10) * 1024;
            break;
        } while (FindNextFileA(search, &entry));
        FindClose(search);
        return peak;
    }

  private:
    explicit PipedHost(std::string mark)
        : HostProcess(testing_support::ProgramBeside("npDravenilFileAccessHost.exe") + " " + mark),
          mark_(std::move(mark)) {}
    static std::string NewMark() {
        static int hosts = 0;
        return "chrome-extension://host-test-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(GetTickCount()) + "-" + std::to_string(++hosts) + "/";
    }
    static std::string ReadProcFile(const std::string& path) {
        std::string content;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return content;
        char chunk[4096];
        DWORD read = 0;
        while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) {
            content.append(chunk, read);
        }
        CloseHandle(file);
        return content;
    }

    std::string mark_;
};

std::string Member(const std::string& message, const char* name) {
    const auto parsed = messaging::ParseJson(message);
    if (!std::holds_alternative<messaging::Json>(parsed)) return "<not JSON>";
    const messaging::Json* member = std::get<messaging::Json>(parsed).Member(name);
    if (!member) return "<none>";
    if (const auto* d = std::get_if<double>(&member->value)) return std::to_string(*d);
    if (const auto* s = std::get_if<std::string>(&member->value)) return *s;
    if (std::holds_alternative<std::nullptr_t>(member->value)) return "null";
    return "<other>";
}

constexpr size_t kMiB = 1024 * 1024;

// Each request gets one answer, and the host's peak stays within four times
// the request plus 32 MiB over what it used before.
void ExpectAnsweredWithinMemory(const std::string& request, const std::string& expectedAnswer) {
    PipedHost host;
    ASSERT_TRUE(host.Started());
    host.Send(Frame(R"({"id":0,"method":"fileExists","args":["C:\\nothing"]})"));
    ASSERT_EQ(host.Receive(), R"({"id":0,"result":false})");
    const size_t before = host.PeakBytes();
    if (before == 0) GTEST_SKIP() << "the host's peak memory cannot be read here (no /proc)";
    host.Send(Frame(request));
    EXPECT_EQ(host.Receive(), expectedAnswer);
    const size_t peak = host.PeakBytes();
    EXPECT_LE(peak, before + 4 * request.size() + 32 * kMiB)
        << "peak " << peak / kMiB << " MiB, " << before / kMiB << " MiB before, request "
        << request.size() / kMiB << " MiB";
    EXPECT_EQ(host.WaitForExitCode(), 0u);
}

TEST(HostMemory, ArgumentsThatAreArraysAreNeverBuilt) {
    std::string args = "[0";
    while (args.size() < 16 * kMiB) args += ",0";
    ExpectAnsweredWithinMemory(R"({"id":1,"method":"fileExists","args":[)" + args + "]]}",
                               R"({"id":1})");
}

// A copy names three folders: the keys that order it repeat its names, and
// count within the bound too.
TEST(HostMemory, ACopyWithASixtyMegabyteOuterNameStaysWithinTheBound) {
    ExpectAnsweredWithinMemory(R"({"id":1,"method":"copyWSFolder","args":[")" +
                                   std::string(60 * kMiB, 'o') + R"(","In","A","B"]})",
                               R"({"id":1,"result":false})");
}

TEST(HostMemory, ManyArgumentsAreCountedNotKept) {
    std::string args = "0";
    while (args.size() < 16 * kMiB) args += ",0";
    ExpectAnsweredWithinMemory(R"({"id":2,"method":"fileExists","args":[)" + args + "]}",
                               R"({"id":2})");
}

TEST(HostMemory, AStringOfTwentyFourMegabytesIsAnsweredByEveryKindOfMethod) {
    // Paths, command lines and names alike: one longer than any Windows path
    // is refused before anything is made of it.
    const std::string huge = "\"" + std::string(24 * kMiB, 'a') + "\"";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"("fileExists","args":[)" + huge + "]", R"("result":false)"},
        {R"("checkAccessRights","args":[)" + huge + "]", R"("result":false)"},
        {R"("launchExe","args":[)" + huge + "]", R"("result":false)"},
        {R"("getFileNamesInDir","args":[)" + huge + R"(,".wav"])", R"("result":"")"},
        {R"("resetSync","args":[)" + huge + "]", R"("result":false)"},
        {R"("stopPlayback","args":[false,)" + huge + "]", ""},
        {R"("getWorkspaceList","args":[)" + huge + R"(,"In"])", R"("result":"")"},
    };
    for (const auto& [call, result] : cases) {
        SCOPED_TRACE(call.substr(0, 24));
        ExpectAnsweredWithinMemory(R"({"id":3,"method":)" + call + "}",
                                   R"({"id":3)" + (result.empty() ? "" : "," + result) + "}");
        if (IsSkipped()) return;
    }
}

TEST(HostMemory, ADeepFolderTextIsWalkedInLinearMemory) {
    // 100,000 levels below a folder of the test's own: the first levels are
    // made (and removed with it), the rest are too long for any path.
    testing_support::TempFolder folder;
    std::string json;
    for (const char c : folder.Text()) json += c == '\\' ? std::string("\\\\") : std::string(1, c);
    for (int level = 0; level < 100000; ++level) json += "\\\\a";
    ExpectAnsweredWithinMemory(R"({"id":4,"method":"checkAccessRights","args":[")" + json + "\"]}",
                               R"({"id":4,"result":false})");
}

TEST(HostMemory, UnknownNamesAreNeverKept) {
    PipedHost host;
    ASSERT_TRUE(host.Started());
    host.Send(Frame(R"({"id":0,"method":"fileExists","args":["C:\\nothing"]})"));
    ASSERT_TRUE(host.Receive());
    const size_t before = host.PeakBytes();
    if (before == 0) GTEST_SKIP() << "the host's peak memory cannot be read here (no /proc)";
    for (int i = 0; i < 50; ++i) {
        const std::string name = std::to_string(i) + std::string(4 * kMiB, 'n');
        host.Send(
            Frame(R"({"id":)" + std::to_string(i) + R"(,"method":")" + name + R"(","args":[]})"));
        const auto answer = host.Receive();
        ASSERT_TRUE(answer);
        EXPECT_EQ(Member(*answer, "error"), "exception during invocation");
    }
    EXPECT_LE(host.PeakBytes(), before + 4 * 4 * kMiB + 32 * kMiB);
    EXPECT_EQ(host.WaitForExitCode(), 0u);
}

TEST(HostProgram, RunsInAnEmptyFolderOfItsOwnNotWhereItWasStarted) {
    testing_support::TempFolder started;
    testing_support::WriteBytes(started.path() / "marker.txt", "beside the manifest");
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(started.path().wstring().c_str()));
    PipedHost host;
    SetCurrentDirectoryW(previous);
    ASSERT_TRUE(host.Started());
    host.Send(Frame(R"({"id":1,"method":"fileExists","args":["marker.txt"]})"));
    EXPECT_EQ(host.Receive(), R"({"id":1,"result":false})");
    host.Send(Frame(R"({"id":2,"method":"getFileNamesInDir","args":[".",".txt"]})"));
    EXPECT_EQ(host.Receive(), R"({"id":2,"result":""})") << "its own folder is empty";
    EXPECT_EQ(host.WaitForExitCode(), 0u);
}

// ---- Long calls on workers ---------------------------------------------------

class HostLongCalls : public testing_support::WorkspaceTest {
  protected:
    static constexpr int kFolders = 20, kFiles = 60;  // 1,220 entries below Calls
    void SetUp() override {
        WorkspaceTest::SetUp();
        for (int d = 0; d < kFolders; ++d) {
            const auto folder = Ws("Long") / "Calls" / ("d" + std::to_string(d));
            std::filesystem::create_directories(folder);
            for (int f = 0; f < kFiles; ++f) {
                testing_support::WriteBytes(folder / ("f" + std::to_string(f) + ".wav"),
                                            std::string(1000, 'a'));
            }
        }
    }
    std::string Copy(int id, const std::string& to) const {
        return Frame("{\"id\":" + std::to_string(id) + R"(,"method":"copyWSFolder","args":[")" +
                     outer + R"(","In","Long",")" + to + "\"]}");
    }
    // The files below `folder` that can be listed (a folder being deleted
    // may not list).
    static size_t Files(const std::filesystem::path& folder) {
        size_t count = 0;
        std::error_code error;
        for (std::filesystem::recursive_directory_iterator entry(folder, error), end;
             !error && entry != end; entry.increment(error)) {
            count += entry->is_regular_file(error);
        }
        return count;
    }
    // Nothing when the call just sent is reporting progress, else why not:
    // what the host sent instead.
    static std::optional<std::string> NotRunning(PipedHost& host) {
        const auto first = host.Receive();
        if (!first) return "the host ended";
        if (first->find("\"progress\"") != std::string::npos) return std::nullopt;
        return "the copy ended before anything could wait for it: " + *first;
    }
    // Whether `done` holds within 30 s.
    static bool Eventually(const std::function<bool()>& done) {
        for (int wait = 0; wait < 3000 && !done(); ++wait) Sleep(10);
        return done();
    }
    // Closes a gate on the host's output: a long call (id 9) whose answer is
    // larger than the pipe holds, left unread. A long call then runs until
    // it reports or answers, and waits there, still running, until the test
    // reads the answers.
    void CloseGate(PipedHost& host) const {
        std::string details("\x01\0\0\0\x07\0\0\0\x20\x03\0\0", 12);  // one call, 800 details
        for (int d = 0; d < 800; ++d) {
            details += std::string("\x03\0\0\0\xFF", 5) + std::string(255, 'a') + '\x64' +
                       std::string(100, 'b');
        }
        std::filesystem::create_directories(Ws("Gate"));
        testing_support::WriteBytes(Ws("Gate") / "Calls.dat", details);
        host.Send(Frame("{\"id\":9,\"method\":\"getCallDetailsForWorkspace\",\"args\":[\"" + outer +
                        R"(","Gate","In"]})"));
        ASSERT_TRUE(Eventually([&] { return host.Pending() >= (1u << 16); }))
            << "the gate never closed";
    }
    // The messages up to the answer of `id`, progress included.
    static std::vector<std::string> Until(PipedHost& host, const std::string& id) {
        std::vector<std::string> messages;
        while (auto message = host.Receive()) {
            messages.push_back(*message);
            if (Member(*message, "id") == id && message->find("\"progress\"") == std::string::npos)
                break;
        }
        return messages;
    }
};

// A quick call is answered while a copy runs; the copy reports how far it is,
// growing, always with the totals, ends its reports with the whole count and
// never reports after its answer; a rename of the copy waits for it.
TEST_F(HostLongCalls, AnswersAQuickCallDuringACopyAndKeepsTheWorkspaceOrder) {
    PipedHost host;
    ASSERT_TRUE(host.Started());
    host.Send(Copy(1, "Copy") +
              Frame(R"({"id":2,"method":"fileExists","args":["C:\\windows\\win.ini"]})") +
              Frame("{\"id\":3,\"method\":\"renameWS\",\"args\":[\"" + outer +
                    R"(","Copy","Moved","In"]})"));
    const auto messages = Until(host, "3.000000");
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages.front(), R"({"id":2,"result":true})");
    uint64_t lastDone = 0;
    size_t progress = 0, answeredAt = 0;
    for (size_t i = 0; i < messages.size(); ++i) {
        if (messages[i].find("\"progress\"") == std::string::npos) {
            if (Member(messages[i], "id") == "1.000000") answeredAt = i;
            continue;
        }
        ++progress;
        EXPECT_EQ(answeredAt, 0u) << "progress after the answer: " << messages[i];
        const size_t at = messages[i].find("\"entriesDone\":") + 14;
        const uint64_t done = std::strtoull(messages[i].c_str() + at, nullptr, 10);
        EXPECT_GE(done, lastDone) << messages[i];
        lastDone = done;
        EXPECT_NE(messages[i].find(R"("entriesTotal":1221,"bytesTotal":1200000})"),
                  std::string::npos)
            << messages[i];
    }
    EXPECT_EQ(messages[answeredAt], R"({"id":1,"result":true})");
    ASSERT_GE(answeredAt, 1u);
    EXPECT_EQ(messages[answeredAt - 1],
              R"({"id":1,"progress":{"entriesDone":1221,"bytesDone":1200000,)"
              R"("entriesTotal":1221,"bytesTotal":1200000}})")
        << "the last report before the answer carries the whole count";
    EXPECT_EQ(messages.back(), R"({"id":3,"result":true})") << "the rename waited for the copy";
    EXPECT_EQ(Files(Ws("Moved")), size_t(kFolders * kFiles));
    RecordProperty("progress messages", std::to_string(progress));
    EXPECT_EQ(host.WaitForExitCode(), 0u);
}

// A cancelled copy stops and says so, leaving what it copied; a host whose
// input closes (its tab closed) stops what still runs and ends.
TEST_F(HostLongCalls, ACancelledCopyStopsAndAClosedInputEndsTheHost) {
    PipedHost host;
    ASSERT_TRUE(host.Started());
    host.Send(Copy(1, "Part"));
    // Once some bytes are copied (the first reports may come while the copy
    // still counts what it will do, or has made only folders).
    for (;;) {
        const auto message = host.Receive();
        ASSERT_TRUE(message);
        if (message->find("\"progress\"") == std::string::npos) {
            GTEST_SKIP() << "the copy ended before anything could stop it: " << *message;
        }
        if (message->find("\"bytesDone\":0") == std::string::npos) break;
    }
    host.Send(Frame(R"({"id":1,"method":"#cancel","args":[]})"));
    const auto messages = Until(host, "1.000000");
    EXPECT_EQ(messages.back(), R"({"id":1,"error":"the call was cancelled","name":"AbortError"})");
    const size_t copied = Files(Ws("Part"));
    EXPECT_GT(copied, 0u);
    EXPECT_LT(copied, size_t(kFolders * kFiles));

    host.Send(Copy(2, "Left"));
    const auto running = host.Receive();
    ASSERT_TRUE(running);
    const DWORD closed = GetTickCount();
    EXPECT_EQ(host.WaitForExitCode(), 0u);
    if (running->find("\"progress\"") != std::string::npos) {
        EXPECT_LT(Files(Ws("Left")), size_t(kFolders * kFiles))
            << "the copy ran on after the input closed";
    }
    RecordProperty("ended after (ms)", std::to_string(GetTickCount() - closed));
}

// A copy that waits behind another on its workspace and is cancelled while
// it waits is answered AbortError and never runs.
TEST_F(HostLongCalls, ACallCancelledBeforeItStartsNeverRuns) {
    PipedHost host;
    ASSERT_TRUE(host.Started());
    host.Send(Copy(1, "First"));
    if (const auto why = NotRunning(host)) GTEST_SKIP() << *why;
    host.Send(Copy(2, "Second") + Frame(R"({"id":2,"method":"#cancel","args":[]})"));
    const auto messages = Until(host, "2.000000");
    EXPECT_EQ(messages.back(), R"({"id":2,"error":"the call was cancelled","name":"AbortError"})");
    EXPECT_FALSE(std::filesystem::exists(Ws("Second"))) << "the cancelled copy ran";
}

// Every request the host answers has its line in the administrator's log,
// with how it ended: those refused before a call, the extension's own
// question, and a cancelled copy.
TEST_F(HostLongCalls, TheLogHasALineForEveryRequestAnswered) {
    constexpr char kKey[] = "Software\\Policies\\Dravenil\\FileAccessPlugin";
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG made = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0,
                                      KEY_SET_VALUE | KEY_QUERY_VALUE | KEY_WOW64_64KEY, nullptr,
                                      &key, &disposition);
    if (made == ERROR_ACCESS_DENIED)
        GTEST_SKIP() << "writing the machine's policy key needs an administrator";
    ASSERT_EQ(made, ERROR_SUCCESS);
    if (RegQueryValueExA(key, "LogFile", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
        GTEST_SKIP() << "a log is already set here";
    }
    testing_support::TempFolder folder;
    const std::string log = (folder.path() / "access.log").string();
    RegSetValueExA(key, "LogFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(log.c_str()),
                   static_cast<DWORD>(log.size() + 1));
    {
        PipedHost host;
        ASSERT_TRUE(host.Started());
        host.Send(Copy(5, "Part"));
        if (const auto why = NotRunning(host)) {
            RegDeleteValueA(key, "LogFile");
            RegCloseKey(key);
            GTEST_SKIP() << *why;
        }
        host.Send(Frame(R"({"id":1,"method":"fileExists","args":[]})") +
                  Frame(R"({"id":2,"method":"fileExist","args":["x"]})") +
                  Frame(R"({"id":3,"method":"fileExists","args":[true]})") +
                  Frame(R"({"id":4,"method":"#policy","args":[]})") +
                  Frame(R"({"id":6,"method":"fileExists","args":["C:\\nothing"]})") +
                  // A copy that waits behind the first, cancelled before it starts.
                  Copy(7, "Part2") + Frame(R"({"id":7,"method":"#cancel","args":[]})") +
                  Frame(R"({"id":5,"method":"#cancel","args":[]})"));
        Until(host, "7.000000");
    }
    RegDeleteValueA(key, "LogFile");
    RegCloseKey(key);
    // The machine as it was: a key made here goes again, and its parent
    // when nothing else is in it.
    if (disposition == REG_CREATED_NEW_KEY) {
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY, 0);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Dravenil", KEY_WOW64_64KEY, 0);
    }
    const std::string text = testing_support::ReadBytes(log);
    const auto lines = [&](const std::string& part) {
        size_t count = 0;
        for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; ++at) ++count;
        return count;
    };
    const struct {
        const char* part;
        size_t lines;
        const char* why;
    } expected[] = {
        {"method=fileExists outcome=wrong arguments", 2, "a wrong count and a wrong type"},
        {"outcome=wrong arguments", 2, "and no other call"},
        {"method=(unknown) outcome=exception", 1, "an unknown method"},
        {"method=#policy outcome=policy", 1, "the policy question"},
        {"method=copyWSFolder outcome=cancelled", 2,
         "the running copy and the one cancelled before it started"},
        {"outcome=boolean", 1, "the one call answered"},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(lines(e.part), e.lines) << e.part << ", " << e.why << ", in\n" << text;
    }
}

// Cancels that come at any moment of a short copy: a copy that copied
// everything keeps its answer, true; one that was stopped is answered
// AbortError and is not whole. Nothing else is ever answered.
TEST_F(HostLongCalls, ACancelThatLosesTheRaceKeepsTheAnswer) {
    for (int d = 0; d < 3; ++d) {
        const auto folder = Ws("Short") / "Calls" / ("d" + std::to_string(d));
        std::filesystem::create_directories(folder);
        for (int f = 0; f < 5; ++f) {
            testing_support::WriteBytes(folder / ("f" + std::to_string(f)), "abc");
        }
    }
    PipedHost host;
    ASSERT_TRUE(host.Started());
    std::mt19937 random(GetTickCount());
    size_t whole = 0, stopped = 0;
    for (int i = 1; i <= 60; ++i) {
        const std::string to = "S" + std::to_string(i);
        host.Send(Frame("{\"id\":" + std::to_string(i) + R"(,"method":"copyWSFolder","args":[")" +
                        outer + R"(","In","Short",")" + to + "\"]}"));
        Sleep(std::uniform_int_distribution<DWORD>(0, 30)(random));
        host.Send(Frame("{\"id\":" + std::to_string(i) + R"(,"method":"#cancel","args":[]})"));
        const auto messages = Until(host, std::to_string(i) + ".000000");
        ASSERT_FALSE(messages.empty());
        const size_t copied = Files(Ws(to));
        if (messages.back() == "{\"id\":" + std::to_string(i) + ",\"result\":true}") {
            EXPECT_EQ(copied, 15u) << "answered true, not whole";
            ++whole;
        } else {
            EXPECT_EQ(messages.back(),
                      "{\"id\":" + std::to_string(i) +
                          R"(,"error":"the call was cancelled","name":"AbortError"})");
            EXPECT_LT(copied, 15u) << "a whole copy answered " << messages.back();
            ++stopped;
        }
    }
    RecordProperty("whole", std::to_string(whole));
    RecordProperty("stopped", std::to_string(stopped));
    EXPECT_EQ(host.WaitForExitCode(), 0u);
}

// A page that queues more than its host keeps waiting: behind a copy, 64
// calls on the copy's workspace wait; the rest are refused at once by name,
// and the host's peak memory stays within its bound. (The bound in bytes is
// the pool's own test.)
TEST_F(HostLongCalls, WaitingCallsAreBoundedAndTheExcessIsRefusedByName) {
    PipedHost host;
    ASSERT_TRUE(host.Started());
    ASSERT_NO_FATAL_FAILURE(CloseGate(host));
    host.Send(Copy(1, "Copy"));
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(Ws("Copy")); }))
        << "the copy never started";
    const size_t before = host.PeakBytes();
    const std::string big(12 * kMiB, 'v');
    const auto write = [&](int id, const std::string& value) {
        return Frame("{\"id\":" + std::to_string(id) +
                     R"(,"method":"writeWSCurrentView","args":[")" + outer + R"(","Copy","In",")" +
                     value + "\"]}");
    };
    // Behind the copy, copies of long names wait too: what they hold, the
    // keys that order them included, counts toward the bound.
    const auto longCopy = [&](int id) {
        return Frame("{\"id\":" + std::to_string(id) + R"(,"method":"copyWSFolder","args":[")" +
                     outer + R"(","In","Copy",")" + std::string(kMiB / 32, 'n') + "\"]}");
    };
    std::string waiting;
    for (int id = 10; id < 40; ++id) waiting += longCopy(id);
    for (int id = 40; id < 74; ++id) waiting += write(id, "grid");
    host.Send(waiting);  // 64 wait
    // The large call is refused, and not kept; the host's reading then waits
    // for the output, so the calls after it stay in the pipe until then.
    host.Send(write(2, big));
    std::string excess;
    for (int id = 74; id < 80; ++id) excess += write(id, "grid");
    host.Send(excess);
    std::vector<std::string> refused;
    size_t answered = 0;
    while (answered < 73) {
        const auto message = host.Receive();
        ASSERT_TRUE(message);
        if (message->find("\"progress\"") != std::string::npos) continue;
        ++answered;
        const std::string id = Member(*message, "id");
        const int number = std::stoi(id);
        if (Member(*message, "name") == "QueueFullError") {
            refused.push_back(id.substr(0, id.find('.')));
            EXPECT_NE(Member(*message, "error").find("at most 64 calls or 32 MB"),
                      std::string::npos)
                << *message;
        } else if (number >= 10) {
            const bool copy = number < 40;  // each refused as a name
            EXPECT_EQ(*message, "{\"id\":" + std::to_string(number) +
                                    ",\"result\":" + (copy ? "false}" : "true}"));
        } else {
            EXPECT_EQ(message->substr(0, 10), number == 1 ? "{\"id\":1,\"r" : "{\"id\":9,\"r")
                << message->substr(0, 80);
        }
    }
    EXPECT_EQ(refused, (std::vector<std::string>{"2", "74", "75", "76", "77", "78", "79"}));
    const size_t peak = host.PeakBytes();
    if (before > 0) {
        EXPECT_LE(peak, before + 4 * big.size() + 32 * kMiB)
            << "peak " << peak / kMiB << " MiB, " << before / kMiB << " MiB before";
    }
    EXPECT_EQ(host.WaitForExitCode(), 0u);
}

// Calls on one workspace never run side by side, whatever name each gives
// it: a setting's read and a delete by the copy's short 8.3 name, or by a
// spelling that the ANSI code page reads as the same name in another case,
// wait for the copy (held running by a gate on the output); then the delete
// removes the whole of it.
TEST_F(HostLongCalls, ADeleteByAnotherNameOfTheFolderWaitsForTheCopy) {
    struct Case {
        const char* destination;
        std::string other;  // empty: its short name
    } cases[] = {{"LongDestinationName", ""},
                 // U+00CA and U+00DA in UTF-8: the code page 1252 reads their
                 // second bytes as S and s with caron.
                 {"\xC3\x8A", GetACP() == 1252 ? "\xC3\x9A" : "-"}};
    for (const Case& c : cases) {
        if (c.other == "-") {
            ADD_FAILURE() << "the folded spelling needs the ANSI code page 1252, not " << GetACP();
            continue;
        }
        SCOPED_TRACE(c.destination);
        PipedHost host;
        ASSERT_TRUE(host.Started());
        ASSERT_NO_FATAL_FAILURE(CloseGate(host));
        host.Send(Copy(1, c.destination));
        // The folder as the plug-in names it: the bytes through the narrow
        // functions.
        std::wstring name(std::strlen(c.destination), L'\0');
        name.resize(MultiByteToWideChar(CP_ACP, 0, c.destination, static_cast<int>(name.size()),
                                        name.data(), static_cast<int>(name.size())));
        const std::filesystem::path made = Set() / name;
        // The copy makes its folder first; it may be held before its first
        // file.
        ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(made); }))
            << "the copy never started";
        std::string other = c.other;
        if (other.empty()) {
            wchar_t shortPath[MAX_PATH] = {};
            ASSERT_GT(GetShortPathNameW(made.c_str(), shortPath, MAX_PATH), 0u);
            other = std::filesystem::path(shortPath).filename().string();
            ASSERT_NE(other, c.destination) << "the file system gave the folder no short name";
        }
        // By the other name, a quick call (a setting read) and a long one
        // (the delete); then a call the host runs at once. Once that one's
        // folder is there, the host has taken the two: a quick call run
        // beside the copy would have been run at once (and the host would
        // still be answering it), a delete would have begun.
        const size_t copied = Files(made);
        host.Send(Frame("{\"id\":2,\"method\":\"readWSCurrentView\",\"args\":[\"" + outer +
                        "\",\"" + other + R"(","In"]})") +
                  Frame("{\"id\":4,\"method\":\"deleteWorkspace\",\"args\":[\"" + outer + "\",\"" +
                        other + R"(","In"]})") +
                  Frame("{\"id\":3,\"method\":\"createWSFolder\",\"args\":[\"" + outer +
                        R"(","Marker","In"]})"));
        ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(Ws("Marker")); }))
            << "the host never came to the call after those by " << other
            << ": it is still answering one it ran beside the copy";
        EXPECT_TRUE(std::filesystem::exists(made) && Files(made) >= copied)
            << "the delete by " << other << " ran beside the copy";
        // Nothing of theirs, not even progress, comes before the copy's
        // answer.
        std::vector<std::string> answers;
        bool copyAnswered = false;
        for (const std::string& m : Until(host, "4.000000")) {
            const std::string id = Member(m, "id");
            const bool progress = m.find("\"progress\"") != std::string::npos;
            EXPECT_FALSE((id == "2.000000" || id == "4.000000") && !copyAnswered)
                << "a call by " << other << " ran beside the copy: " << m;
            copyAnswered = copyAnswered || (id == "1.000000" && !progress);
            if (!progress && (id == "1.000000" || id == "4.000000")) answers.push_back(m);
        }
        EXPECT_EQ(answers, (std::vector<std::string>{R"({"id":1,"result":true})",
                                                     R"({"id":4,"result":true})"}));
        EXPECT_FALSE(std::filesystem::exists(made));
        EXPECT_EQ(host.WaitForExitCode(), 0u);
        std::filesystem::remove_all(Ws("Marker"));
    }
}

}  // namespace
