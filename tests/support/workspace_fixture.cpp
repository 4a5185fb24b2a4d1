#include "tests/support/workspace_fixture.h"

#include <windows.h>
// windows.h first: the shell's declarations build on it.
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "tests/support/long_paths.h"

namespace fs = std::filesystem;

namespace testing_support {

void WorkspaceTest::SetUp() {
    ScriptTest::SetUp();
    char appData[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, appData), S_OK);
    root_ = fs::path(appData) / "Dravenil" / "Workspaces";
    outer = "plugin-test-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount());
    ASSERT_FALSE(fs::exists(root_ / outer));
    fs::create_directories(root_ / outer);
    WriteBytes(root_ / outer / "sentinel.txt", "outside every set");
    WriteBytes(scratch.path() / "sentinel.txt", "in the current folder");

    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    previousFolder_ = current;
    ASSERT_EQ(scratch.path().string().substr(0, 2), "C:");
    ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().wstring().c_str()));
}

void WorkspaceTest::TearDown() {
    SetCurrentDirectoryW(previousFolder_.c_str());
    EXPECT_EQ(ReadBytes(scratch.path() / "sentinel.txt"), "in the current folder");
    EXPECT_EQ(ReadBytes(root_ / outer / "sentinel.txt"), "outside every set");
    // Read-only files and deep trees (tests make both) are removed too, and
    // links are removed as links, never followed.
    RemoveLongTree(root_ / outer);
    EXPECT_FALSE(fs::exists(root_ / outer)) << "the test's workspaces were not all removed";
    ScriptTest::TearDown();
}

fs::path WorkspaceTest::Set(const std::string& inner) const { return root_ / outer / inner; }

fs::path WorkspaceTest::Ws(const std::string& name, const std::string& inner) const {
    return Set(inner) / name;
}

std::string WorkspaceTest::Tree(const fs::path& folder) {
    std::vector<std::string> lines;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const auto& entry = *it;
        std::string line = fs::relative(entry.path(), folder).string();
        if (entry.is_regular_file()) line += " " + std::to_string(entry.file_size());
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string tree;
    for (const auto& line : lines) tree += line + "\n";
    return tree;
}

std::string WorkspaceTest::Surroundings() const {
    // The root is listed one level deep only: other outer names are not
    // ours, and the outer names of other test programs running beside this
    // one come and go.
    std::string snapshot;
    for (const auto& entry : fs::directory_iterator(root_)) {
        const std::string name = entry.path().filename().string();
        const bool anotherRun = name != outer && (name.rfind("plugin-test-", 0) == 0 ||
                                                  name.rfind("fault-sweep-", 0) == 0 ||
                                                  name.rfind("benchmark-", 0) == 0);
        if (!anotherRun) snapshot += name + "\n";
    }
    return snapshot + "--\n" + Tree(root_ / outer) + "--\n" + Tree(scratch.path());
}

namespace {
enum class ReadOnlyFiles { AsOnWindows, Ignored, Stuck };
ReadOnlyFiles ReadOnlyFilesHere(const fs::path& scratchFolder) {
    const std::wstring probe = LongForm(scratchFolder / "read-only probe");
    const auto opens = [&](DWORD access, DWORD creation, DWORD attributes) {
        const HANDLE file = CreateFileW(probe.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, creation, attributes, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        CloseHandle(file);
        return true;
    };
    if (!opens(GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY)) return ReadOnlyFiles::Stuck;
    const ReadOnlyFiles here = opens(GENERIC_WRITE, OPEN_EXISTING, 0) ? ReadOnlyFiles::Ignored
                               : opens(FILE_WRITE_ATTRIBUTES, OPEN_EXISTING, 0)
                                   ? ReadOnlyFiles::AsOnWindows
                                   : ReadOnlyFiles::Stuck;
    SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(probe.c_str());
    return here;
}
constexpr char kStuck[] =
    "a read-only file's attributes cannot be changed through a handle here (Wine run as an "
    "ordinary user asks Unix write permission for it, Windows does not); the Windows kit runs "
    "this";
}  // namespace

std::string WorkspaceTest::WhyNoReadOnlyFiles() const {
    return ReadOnlyFilesHere(scratch.path()) == ReadOnlyFiles::Stuck ? kStuck : "";
}

std::string WorkspaceTest::WhyReadOnlyFilesDiffer() const {
    switch (ReadOnlyFilesHere(scratch.path())) {
        case ReadOnlyFiles::Ignored:
            return "a read-only file opens for writing here (Wine run as root): nothing shows "
                   "how a read-only file is handled; the Windows kit runs this";
        case ReadOnlyFiles::Stuck:
            return kStuck;
        case ReadOnlyFiles::AsOnWindows:
            break;
    }
    return "";
}

}  // namespace testing_support
