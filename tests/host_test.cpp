// File probes and program launch, as page script calls them.
#include <windows.h>
// windows.h first: the access-control declarations build on it.
#include <aclapi.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/held_file.h"
#include "tests/support/plugin_fixture.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;
using testing_support::ListFolder;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

namespace {

class Host : public testing_support::ScriptTest {
  protected:
    std::optional<bool> Call(const std::string& method, const std::string& text) {
        return testing_support::FlagOf(embed->Call(method, {text}));
    }
    fs::path Path(const std::string& below) const { return folder.path() / below; }

    testing_support::TempFolder folder;
};

// ---- fileExists --------------------------------------------------------------

TEST_F(Host, FileExistsIsTrueForAReadableFileAndLeavesItAlone) {
    WriteBytes(Path("call.wav"), "RIFF....");
    const auto modified = fs::last_write_time(Path("call.wav"));
    EXPECT_EQ(Call("fileExists", folder.Text("call.wav")), true);
    EXPECT_EQ(ReadBytes(Path("call.wav")), "RIFF....");
    EXPECT_EQ(fs::last_write_time(Path("call.wav")), modified);
}

TEST_F(Host, FileExistsIsFalseForFoldersMissingFilesAndEmptyPaths) {
    EXPECT_EQ(Call("fileExists", folder.Text()), false);
    EXPECT_EQ(Call("fileExists", folder.Text("missing.wav")), false);
    EXPECT_EQ(Call("fileExists", folder.Text("missing\\deeper.wav")), false);
    EXPECT_EQ(Call("fileExists", ""), false);
}

TEST_F(Host, FileExistsIsFalseForAFileLockedAgainstReading) {
    WriteBytes(Path("locked.dat"), "x");
    testing_support::HeldFile held(folder, Path("locked.dat"), "none");
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(Call("fileExists", folder.Text("locked.dat")), false);
    held.Release();
    EXPECT_EQ(Call("fileExists", folder.Text("locked.dat")), true);
}

// Another module in the browser may switch the narrow file functions to the
// OEM code page: a name is then read in that code page, as they read it.
TEST_F(Host, FileExistsReadsANameInTheCodePageOfTheNarrowFunctions) {
    const std::string bytes = "h\xC3\xA9lper.wav";
    const auto readIn = [&](UINT codePage) {
        std::wstring wide(bytes.size(), L'\0');
        wide.resize(MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                        wide.data(), static_cast<int>(wide.size())));
        return wide;
    };
    if (readIn(CP_OEMCP) == readIn(CP_ACP))
        GTEST_SKIP() << "the OEM and the ANSI code page read these bytes alike here";
    WriteBytes(folder.path() / readIn(CP_OEMCP), "RIFF");
    SetFileApisToOEM();
    const auto asOem = Call("fileExists", folder.Text(bytes));
    SetFileApisToANSI();
    EXPECT_EQ(asOem, true);
    EXPECT_EQ(Call("fileExists", folder.Text(bytes)), false);
}

// ---- checkAccessRights -----------------------------------------------------------

TEST_F(Host, CheckAccessRightsCreatesAMissingChainAndRemovesItsProbe) {
    EXPECT_EQ(Call("checkAccessRights", folder.Text("Rec\\2026\\Ws")), true);
    EXPECT_TRUE(fs::is_directory(Path("Rec") / "2026" / "Ws"));
    EXPECT_EQ(ListFolder(Path("Rec") / "2026" / "Ws"), "");
    EXPECT_EQ(ListFolder(folder.path()), "Rec");
}

TEST_F(Host, CheckAccessRightsTakesATrailingBackslash) {
    EXPECT_EQ(Call("checkAccessRights", folder.Text("Data") + "\\"), true);
    EXPECT_TRUE(fs::is_directory(Path("Data")));
    EXPECT_EQ(ListFolder(Path("Data")), "");
}

TEST_F(Host, CheckAccessRightsEnsuresOnlyThePrefixesItsWalkReaches) {
    // Before a "/", backslashes are not stopping points: A is never ensured,
    // so A\B cannot be made and the probe fails.
    EXPECT_EQ(Call("checkAccessRights", folder.Text("A\\B/E")), false);
    EXPECT_FALSE(fs::exists(Path("A")));

    fs::create_directory(Path("A"));
    EXPECT_EQ(Call("checkAccessRights", folder.Text("A\\B/E")), true);
    EXPECT_TRUE(fs::is_directory(Path("A") / "B" / "E"));
    EXPECT_EQ(ListFolder(Path("A") / "B" / "E"), "");
}

TEST_F(Host, CheckAccessRightsIsFalseWhereNoFileCanBeMade) {
    WriteBytes(Path("plain.txt"), "a file, not a folder");
    EXPECT_EQ(Call("checkAccessRights", folder.Text("plain.txt\\sub")), false);
    EXPECT_EQ(ReadBytes(Path("plain.txt")), "a file, not a folder");
    EXPECT_EQ(ListFolder(folder.path()), "plain.txt");
}

TEST_F(Host, CheckAccessRightsLeavesAnExistingTestFileAsItWas) {
    WriteBytes(Path("TestFile.txt"), "someone's notes");
    const auto modified = fs::last_write_time(Path("TestFile.txt"));
    EXPECT_EQ(Call("checkAccessRights", folder.Text()), true);
    EXPECT_EQ(ReadBytes(Path("TestFile.txt")), "someone's notes");
    EXPECT_EQ(fs::last_write_time(Path("TestFile.txt")), modified);
}

TEST_F(Host, CheckAccessRightsIsFalseWhenTheExistingTestFileCannotBeWritten) {
    WriteBytes(Path("TestFile.txt"), "held");
    testing_support::HeldFile held(folder, Path("TestFile.txt"), "r");
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(Call("checkAccessRights", folder.Text()), false);
    held.Release();
    EXPECT_EQ(ReadBytes(Path("TestFile.txt")), "held");
}

// A folder whose access list denies adding files, to everyone: no probe can
// be made there.
TEST_F(Host, CheckAccessRightsIsFalseForAFolderWhoseAclDeniesWriting) {
    fs::create_directory(Path("denied"));
    const std::wstring denied = Path("denied").wstring();
    PACL old = nullptr, acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(denied.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &old, nullptr, &descriptor),
              ERROR_SUCCESS);
    BYTE world[SECURITY_MAX_SID_SIZE];
    DWORD worldSize = sizeof world;
    ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, world, &worldSize));
    EXPLICIT_ACCESS_W deny{};
    deny.grfAccessPermissions = FILE_ADD_FILE | FILE_WRITE_DATA;
    deny.grfAccessMode = DENY_ACCESS;
    deny.grfInheritance = NO_INHERITANCE;
    BuildTrusteeWithSidW(&deny.Trustee, world);
    ASSERT_EQ(SetEntriesInAclW(1, &deny, old, &acl), ERROR_SUCCESS);
    const DWORD set =
        SetNamedSecurityInfoW(const_cast<wchar_t*>(denied.c_str()), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr);
    // Whether the system enforces it here (Wine run as root does not).
    const HANDLE probe = CreateFileW((denied + L"\\probe").c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    const bool enforced = set == ERROR_SUCCESS && probe == INVALID_HANDLE_VALUE;
    if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
    const std::optional<bool> answer =
        enforced ? Call("checkAccessRights", folder.Text("denied")) : std::nullopt;
    SetNamedSecurityInfoW(const_cast<wchar_t*>(denied.c_str()), SE_FILE_OBJECT,
                          DACL_SECURITY_INFORMATION, nullptr, nullptr, old, nullptr);
    LocalFree(acl);
    LocalFree(descriptor);
    if (!enforced) GTEST_SKIP() << "a folder's access list is not enforced here (Wine run as root)";
    EXPECT_EQ(answer, false);
}

// ---- launchExe ------------------------------------------------------------------

class Launch : public Host {
  protected:
    // Runs the test helper through launchExe; it writes its command line into
    // the marker file.
    std::optional<bool> LaunchMarker(const std::string& extra) {
        return Call("launchExe", "\"" + testing_support::ProgramBeside("test-helper.exe") +
                                     "\" mark \"" + folder.Text("marker.txt") + "\"" + extra);
    }
    std::string Marker() {
        testing_support::WaitUntil([&] { return fs::exists(Path("marker.txt")); }, 10000);
        std::string text;
        testing_support::WaitUntil(
            [&] {
                try {
                    text = ReadBytes(Path("marker.txt"));
                } catch (...) {
                }
                return !text.empty();
            },
            5000);
        return text;
    }
};

TEST_F(Launch, StartsTheNamedProgram) {
    EXPECT_EQ(LaunchMarker(" first second"), true);
    const std::string seen = Marker();
    EXPECT_NE(seen.find("test-helper.exe"), std::string::npos) << seen;
    EXPECT_NE(seen.find(" first second"), std::string::npos) << seen;
}

TEST_F(Launch, PassesALongCommandLineWhole) {
    const std::string tail = " " + std::string(400, 'x') + " end-of-line";
    EXPECT_EQ(LaunchMarker(tail), true);
    const std::string seen = Marker();
    EXPECT_NE(seen.find(tail), std::string::npos) << seen.size() << " bytes: " << seen;
}

// Process and thread handles open in this process, found by probing the
// handle table (Wine's GetProcessHandleCount answers 0). Other handles come
// and go with Wine's own bookkeeping.
std::set<uintptr_t> ProcessAndThreadHandles() {
    std::set<uintptr_t> found;
    DWORD flags = 0;
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        const auto handle = reinterpret_cast<HANDLE>(value);
        if (GetHandleInformation(handle, &flags) &&
            (GetProcessId(handle) != 0 || GetThreadId(handle) != 0)) {
            found.insert(value);
        }
    }
    return found;
}

TEST_F(Launch, LeavesNoHandleOpen) {
    const auto before = ProcessAndThreadHandles();
    EXPECT_EQ(LaunchMarker(" counted"), true);
    EXPECT_NE(Marker().find(" counted"), std::string::npos);
    EXPECT_EQ(ProcessAndThreadHandles(), before);
}

TEST_F(Launch, FindsANonAsciiNameAsFileExistsDoes) {
    // The bytes page script sends are read in the ANSI code page by both.
    const std::string copy = folder.Text("h\xC3\xA9lper.exe");
    ASSERT_TRUE(
        CopyFileA(testing_support::ProgramBeside("test-helper.exe").c_str(), copy.c_str(), TRUE));
    EXPECT_EQ(Call("fileExists", copy), true);
    EXPECT_EQ(Call("launchExe", "\"" + copy + "\" mark \"" + folder.Text("marker.txt") + "\""),
              true);
    EXPECT_NE(Marker().find("mark"), std::string::npos);
}

TEST_F(Launch, IsFalseForAProgramThatCannotBeStarted) {
    EXPECT_EQ(Call("launchExe", folder.Text("no-such-program.exe")), false);
    EXPECT_EQ(Call("launchExe", "no-such-program-anywhere-7c1f.exe"), false);
    EXPECT_EQ(Call("launchExe", ""), false);
}

TEST_F(Launch, RefusesACommandLineLongerThanWindowsTakes) {
    const std::string tooLong = "\"" + testing_support::ProgramBeside("test-helper.exe") +
                                "\" mark \"" + folder.Text("marker.txt") + "\" ";
    EXPECT_EQ(Call("launchExe", tooLong + std::string(32767 - tooLong.size(), 'y')), false);
    testing_support::SleepMilliseconds(300);
    EXPECT_FALSE(fs::exists(Path("marker.txt")));
}

TEST_F(Launch, RefusesAHugeCommandLineBeforeConvertingIt) {
    // Converted whole, 300 million characters would not fit beside their
    // copies in a 32-bit process: refused by length, the answer is false.
    std::vector<embedding::Value> args;
    args.emplace_back(std::string(300'000'000, 'z'));
    EXPECT_EQ(testing_support::FlagOf(embed->Call("launchExe", args)), false);
}

}  // namespace
