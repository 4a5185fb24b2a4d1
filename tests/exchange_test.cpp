// Replay control through the exchange folder, as page script drives it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/held_file.h"
#include "tests/support/plugin_fixture.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;
using embedding::CallOutcome;
using embedding::Value;
using testing_support::IsUndefined;
using testing_support::ListFolder;
using testing_support::ReadBytes;
using testing_support::TextOf;
using testing_support::WriteBytes;

namespace {

bool IsTrue(const CallOutcome& o) { return testing_support::FlagOf(o) == true; }

class Exchange : public testing_support::ScriptTest {
  protected:
    fs::path File(const std::string& name) const { return folder.path() / name; }
    std::string F() const { return folder.Text(); }

    testing_support::TempFolder folder;
};

// ---- Writes -----------------------------------------------------------------

TEST_F(Exchange, SetReplayPosWritesTheCommandAndThePositionWithoutLineEnds) {
    EXPECT_TRUE(IsTrue(Call("setReplayPos", {"100", false, F()})));
    EXPECT_EQ(ReadBytes(File("TimelineUpdate.dat")), "rp 100");
    EXPECT_EQ(ReadBytes(File("ReplayPos.dat")), "100");
    EXPECT_EQ(ListFolder(folder.path()), "ReplayPos.dat TimelineUpdate.dat");
}

TEST_F(Exchange, TheWsFlagSelectsTheWsPairOnly) {
    WriteBytes(File("ReplayPos.dat"), "plain");
    EXPECT_TRUE(IsTrue(Call("setReplayPos", {"250", true, F()})));
    EXPECT_EQ(ReadBytes(File("TimelineUpdateWS.dat")), "rp 250");
    EXPECT_EQ(ReadBytes(File("ReplayPosWS.dat")), "250");
    EXPECT_EQ(ReadBytes(File("ReplayPos.dat")), "plain");
    EXPECT_FALSE(fs::exists(File("TimelineUpdate.dat")));
    EXPECT_EQ(TextOf(Call("readCurrentReplayPos", {true, F()})), "250");
    EXPECT_EQ(TextOf(Call("readCurrentReplayPos", {false, F()})), "plain");
}

TEST_F(Exchange, AnEmptyPositionGivesABareCommandAndAnEmptyPositionFile) {
    EXPECT_TRUE(IsTrue(Call("setReplayPos", {"", false, F()})));
    EXPECT_EQ(ReadBytes(File("TimelineUpdate.dat")), "rp ");
    EXPECT_EQ(ReadBytes(File("ReplayPos.dat")), "");
    EXPECT_EQ(TextOf(Call("readCurrentReplayPos", {false, F()})), "");
}

TEST_F(Exchange, PositionBytesPassUnchangedAndALineFeedBecomesCrLf) {
    const std::string utf8 = "12\xC3\xA9";
    EXPECT_TRUE(IsTrue(Call("setReplayPos", {utf8, false, F()})));
    EXPECT_EQ(ReadBytes(File("ReplayPos.dat")), utf8);
    EXPECT_EQ(TextOf(Call("readCurrentReplayPos", {false, F()})), utf8);
    EXPECT_TRUE(IsTrue(Call("setReplayPos", {"1\n2", false, F()})));
    EXPECT_EQ(ReadBytes(File("TimelineUpdate.dat")), "rp 1\r\n2");
}

TEST_F(Exchange, EachCommandReplacesThePreviousOne) {
    EXPECT_TRUE(IsTrue(Call("setReplayPos", {"123456", false, F()})));
    EXPECT_TRUE(IsTrue(Call("startPlayback", {false})));
    EXPECT_EQ(ReadBytes(File("TimelineUpdate.dat")), "pb");
    EXPECT_TRUE(IsTrue(Call("stopPlayback", {false, F()})));
    EXPECT_EQ(ReadBytes(File("TimelineUpdate.dat")), "st");
    EXPECT_TRUE(IsTrue(Call("startPlayback", {false})));
    EXPECT_EQ(ReadBytes(File("TimelineUpdate.dat")), "pb");
    EXPECT_TRUE(IsTrue(Call("stopPlayback", {true, F()})));
    EXPECT_EQ(ReadBytes(File("TimelineUpdateWS.dat")), "st");
    EXPECT_EQ(ReadBytes(File("TimelineUpdate.dat")), "pb");
}

TEST_F(Exchange, AStopWithAnotherFolderMovesEveryLaterCallThere) {
    const std::string other = folder.Text("other");
    fs::create_directory(other);
    WriteBytes(fs::path(other) / "CurrentCall.dat", "C-9\r\n");
    EXPECT_TRUE(IsTrue(Call("setReplayPos", {"1", false, F()})));
    EXPECT_TRUE(IsTrue(Call("stopPlayback", {false, other})));
    EXPECT_EQ(ReadBytes(fs::path(other) / "TimelineUpdate.dat"), "st");
    EXPECT_EQ(TextOf(Call("getCurrentCallID", {false})), "C-9");
    EXPECT_TRUE(IsTrue(Call("startPlayback", {false})));
    EXPECT_EQ(ReadBytes(fs::path(other) / "TimelineUpdate.dat"), "pb");
    EXPECT_EQ(ReadBytes(File("TimelineUpdate.dat")), "rp 1");
}

TEST_F(Exchange, WsStartAndStopWriteOnlyTheWsCommandFile) {
    EXPECT_TRUE(IsTrue(Call("resetSync", {F()})));
    EXPECT_TRUE(IsTrue(Call("startPlayback", {true})));
    EXPECT_EQ(ListFolder(folder.path()), "TimelineUpdateWS.dat");
    EXPECT_EQ(ReadBytes(File("TimelineUpdateWS.dat")), "pb");
    EXPECT_TRUE(IsTrue(Call("stopPlayback", {true, F()})));
    EXPECT_EQ(ListFolder(folder.path()), "TimelineUpdateWS.dat");
    EXPECT_EQ(ReadBytes(File("TimelineUpdateWS.dat")), "st");
}

TEST_F(Exchange, WritesIntoAMissingFolderGiveUndefinedAndCreateNothing) {
    const std::string missing = folder.Text("missing");
    EXPECT_TRUE(IsUndefined(Call("setReplayPos", {"1", false, missing})));
    EXPECT_TRUE(IsUndefined(Call("stopPlayback", {false, missing})));
    EXPECT_TRUE(IsUndefined(Call("startPlayback", {true})));
    EXPECT_EQ(ListFolder(folder.path()), "");
}

TEST_F(Exchange, AFailedCommandLeavesThePreviousPositionInPlace) {
    WriteBytes(File("ReplayPos.dat"), "777");
    fs::create_directory(File("TimelineUpdate.dat"));  // the command file cannot be opened
    EXPECT_TRUE(IsUndefined(Call("setReplayPos", {"100", false, F()})));
    EXPECT_EQ(ReadBytes(File("ReplayPos.dat")), "777");
}

// The command reached the player: a page that tried again would send it
// twice.
TEST_F(Exchange, AGivenCommandIsTrueWhateverBecameOfThePosition) {
    fs::create_directory(File("ReplayPos.dat"));  // the position file cannot be opened
    EXPECT_TRUE(IsTrue(Call("setReplayPos", {"100", false, F()})));
    EXPECT_EQ(ReadBytes(File("TimelineUpdate.dat")), "rp 100");
}

TEST_F(Exchange, ANewObjectHasNoFolderSoItsFolderlessCallsDoNothing) {
    EXPECT_TRUE(IsUndefined(Call("startPlayback", {false})));
    EXPECT_TRUE(IsUndefined(Call("startPlayback", {true})));
    EXPECT_TRUE(IsUndefined(Call("getCurrentCallID", {false})));
    EXPECT_FALSE(fs::exists("C:\\TimelineUpdate.dat"));
    EXPECT_FALSE(fs::exists("\\TimelineUpdate.dat"));
}

// ---- Reads -------------------------------------------------------------------

TEST_F(Exchange, AReadGivesTheFirstLineWithoutItsLineEnd) {
    struct Case {
        std::string bytes, firstLine;
    } cases[] = {
        {"42\r\nmore\r\nlines", "42"},
        {"42\nmore", "42"},
        {"a\rb\r\n", "a\rb"},  // a lone carriage return stays
        {"x\r", "x\r"},
        {"no line end", "no line end"},
        {"", ""},
        {"\r\nsecond", ""},
        {"caf\xC3\xA9\n", "caf\xC3\xA9"},
        {std::string(100000, 'p') + "\nq", std::string(100000, 'p')},
    };
    for (const Case& c : cases) {
        WriteBytes(File("ReplayUpdate.dat"), c.bytes);
        EXPECT_EQ(TextOf(Call("checkReplayUpdate", {false, F()})), c.firstLine)
            << testing::PrintToString(c.bytes.substr(0, 20));
        EXPECT_EQ(ReadBytes(File("ReplayUpdate.dat")), c.bytes) << "reading leaves the file";
    }
}

TEST_F(Exchange, ARepeatedReadGivesTheSameUpdate) {
    WriteBytes(File("ReplayUpdate.dat"), "playing 10\r\n");
    EXPECT_EQ(TextOf(Call("checkReplayUpdate", {false, F()})), "playing 10");
    EXPECT_EQ(browser->allocationSizes.back(), 11u) << "the text and its NUL";
    EXPECT_EQ(TextOf(Call("checkReplayUpdate", {false, F()})), "playing 10");
}

TEST_F(Exchange, AMissingFileReadsAsUndefinedEvenWhenTheOtherVariantExists) {
    WriteBytes(File("ReplayPos.dat"), "5");
    WriteBytes(File("CurrentCall.dat"), "call");
    EXPECT_TRUE(IsUndefined(Call("readCurrentReplayPos", {true, F()})));
    EXPECT_TRUE(IsUndefined(Call("checkReplayUpdate", {false, F()})));
    EXPECT_TRUE(IsUndefined(Call("getCurrentCallID", {true})));
    EXPECT_EQ(TextOf(Call("getCurrentCallID", {false})), "call");
}

TEST_F(Exchange, TheFolderIsKeptEvenWhenTheFileWorkFails) {
    const std::string later = folder.Text("later");
    EXPECT_TRUE(IsUndefined(Call("readCurrentReplayPos", {false, later})));
    fs::create_directory(later);
    WriteBytes(fs::path(later) / "CurrentCall.dat", "C-1\r\n");
    EXPECT_EQ(TextOf(Call("getCurrentCallID", {false})), "C-1");
    EXPECT_TRUE(IsTrue(Call("startPlayback", {false})));
    EXPECT_EQ(ReadBytes(fs::path(later) / "TimelineUpdate.dat"), "pb");
}

TEST_F(Exchange, AFolderWithATrailingBackslashIsUsedAsGiven) {
    WriteBytes(File("CurrentCall.dat"), "C-2");
    EXPECT_TRUE(IsUndefined(Call("checkReplayUpdate", {false, F() + "\\"})));
    EXPECT_EQ(TextOf(Call("getCurrentCallID", {false})), "C-2");
}

TEST_F(Exchange, AWrongWsFlagTypeChangesNothingNotEvenTheFolder) {
    WriteBytes(File("CurrentCall.dat"), "C-3");
    EXPECT_TRUE(IsUndefined(Call("checkReplayUpdate", {false, F()})));
    const std::string other = folder.Text("other");
    fs::create_directory(other);
    EXPECT_TRUE(IsUndefined(Call("setReplayPos", {"1", "false", other})));
    EXPECT_EQ(ListFolder(other), "");
    EXPECT_EQ(TextOf(Call("getCurrentCallID", {false})), "C-3");
}

TEST_F(Exchange, AReadWithoutABufferFromTheBrowserGivesUndefined) {
    WriteBytes(File("ReplayPos.dat"), "9");
    browser->failAllocations = true;
    EXPECT_TRUE(IsUndefined(Call("readCurrentReplayPos", {false, F()})));
    browser->failAllocations = false;
    EXPECT_EQ(TextOf(Call("readCurrentReplayPos", {false, F()})), "9");
}

TEST_F(Exchange, FilesStayInTextModeWhenTheProcessDefaultIsBinary) {
    // A browser, or another module in its process, may switch the runtime's
    // default file mode.
    const int saved = *__p__fmode();
    *__p__fmode() = _O_BINARY;
    WriteBytes(File("ReplayUpdate.dat"), "playing 10\r\n");
    const auto update = TextOf(Call("checkReplayUpdate", {false, F()}));
    const auto written = Call("setReplayPos", {"1\n2", false, F()});
    *__p__fmode() = saved;
    EXPECT_EQ(update, "playing 10");
    EXPECT_TRUE(IsTrue(written));
    EXPECT_EQ(ReadBytes(File("TimelineUpdate.dat")), "rp 1\r\n2");
}

// ---- resetSync ----------------------------------------------------------------

TEST_F(Exchange, ResetSyncRemovesTheEightExchangeFilesAndNothingElse) {
    for (const char* name :
         {"ReplayPos.dat", "ReplayPosWS.dat", "ReplayUpdate.dat", "ReplayUpdateWS.dat",
          "CurrentCall.dat", "CurrentCallWS.dat", "TimelineUpdate.dat", "TimelineUpdateWS.dat",
          "Other.dat", "ReplayPos.txt", "replaypos.dat.bak"}) {
        WriteBytes(File(name), "x");
    }
    fs::create_directory(File("Sub"));
    WriteBytes(File("Sub") / "ReplayPos.dat", "kept");
    EXPECT_TRUE(IsTrue(Call("resetSync", {F()})));
    EXPECT_EQ(ListFolder(folder.path()), "Other.dat ReplayPos.txt Sub replaypos.dat.bak");
    EXPECT_EQ(ReadBytes(File("Sub") / "ReplayPos.dat"), "kept");
}

TEST_F(Exchange, ResetSyncIsTrueExactlyWhenNoExchangeFileIsLeft) {
    EXPECT_TRUE(IsTrue(Call("resetSync", {F()})));
    EXPECT_TRUE(IsTrue(Call("resetSync", {folder.Text("missing")})));
    fs::create_directory(File("CurrentCall.dat"));  // a folder of that name is no file
    EXPECT_TRUE(IsTrue(Call("resetSync", {F()})));
    EXPECT_TRUE(fs::is_directory(File("CurrentCall.dat")));
    // A file held open without sharing deletion cannot go: the others do.
    WriteBytes(File("ReplayPos.dat"), "1");
    WriteBytes(File("ReplayUpdate.dat"), "2");
    {
        testing_support::HeldFile held(folder, File("ReplayPos.dat"), "rw");
        ASSERT_TRUE(held.Holding());
        EXPECT_EQ(testing_support::FlagOf(Call("resetSync", {F()})), false);
        held.Release();
    }
    EXPECT_EQ(ListFolder(folder.path()), "CurrentCall.dat ReplayPos.dat");
    EXPECT_TRUE(IsTrue(Call("resetSync", {F()})));
    EXPECT_EQ(ListFolder(folder.path()), "CurrentCall.dat");
}

// ---- Files held open by another process ------------------------------------------

TEST_F(Exchange, AFileOpenElsewhereWithSharingIsStillReadAndRewritten) {
    WriteBytes(File("ReplayPos.dat"), "31\r\n");
    testing_support::HeldFile held(folder, File("ReplayPos.dat"), "rw");
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(TextOf(Call("readCurrentReplayPos", {false, F()})), "31");
    EXPECT_TRUE(IsTrue(Call("setReplayPos", {"64", false, F()})));
    held.Release();
    EXPECT_EQ(ReadBytes(File("ReplayPos.dat")), "64");
}

TEST_F(Exchange, AFileLockedAgainstWritingIsLeftAlone) {
    WriteBytes(File("TimelineUpdate.dat"), "st");
    testing_support::HeldFile held(folder, File("TimelineUpdate.dat"), "r");
    ASSERT_TRUE(held.Holding());
    EXPECT_TRUE(IsUndefined(Call("startPlayback", {false})));
    EXPECT_TRUE(IsUndefined(Call("stopPlayback", {false, F()})));
    held.Release();
    EXPECT_EQ(ReadBytes(File("TimelineUpdate.dat")), "st");
}

// A player may share its command file for writing alone: the command is
// written, and nothing is read of it.
TEST_F(Exchange, AFileSharedForWritingOnlyIsStillRewritten) {
    WriteBytes(File("TimelineUpdate.dat"), "rp 5");
    testing_support::HeldFile held(folder, File("TimelineUpdate.dat"), "w");
    ASSERT_TRUE(held.Holding());
    EXPECT_TRUE(IsTrue(Call("stopPlayback", {false, F()})));
    EXPECT_TRUE(IsTrue(Call("startPlayback", {false})));
    held.Release();
    EXPECT_EQ(ReadBytes(File("TimelineUpdate.dat")), "pb");
}

// A player polling in another process sees each file empty, with its old
// command or with its new one: never the new one over the tail of the old.
TEST_F(Exchange, APollingPlayerNeverSeesAMixOfTwoCommands) {
    const std::string ready = folder.Text("ready"), stop = folder.Text("stop"),
                      report = folder.Text("report");
    const std::string command = F() + "\\TimelineUpdate.dat", position = F() + "\\ReplayPos.dat";
    testing_support::ChildProcess poller(testing_support::ProgramBeside("test-helper.exe") +
                                         " poll \"" + ready + "\" \"" + stop + "\" \"" + report +
                                         "\" \"" + command + "\" \"" + position + "\"");
    ASSERT_TRUE(poller.Started());
    ASSERT_TRUE(testing_support::WaitUntil([&] { return fs::exists(ready); }, 60000));
    int written = 0;
    for (int i = 0; i < 2000; ++i) {
        written += IsTrue(Call("setReplayPos", {"100000", false, F()}));
        written += IsTrue(Call("setReplayPos", {"5", false, F()}));
    }
    EXPECT_EQ(written, 4000);
    WriteBytes(stop, "");
    ASSERT_TRUE(poller.WaitForExit(60000));
    const std::map<std::string, std::set<std::string>> allowed = {
        {command, {"", "rp 100000", "rp 5"}}, {position, {"", "100000", "5"}}};
    std::istringstream lines(ReadBytes(report));
    long reads = 0;
    for (std::string line; std::getline(lines, line);) {
        const size_t first = line.find('|'), last = line.rfind('|');
        ASSERT_NE(first, last) << line;
        const std::string file = line.substr(0, first);
        const std::string content = line.substr(first + 1, last - first - 1);
        EXPECT_EQ(allowed.at(file).count(content), 1u)
            << file << " held \"" << content << "\" " << line.substr(last + 1) << " times";
        reads += std::atol(line.c_str() + last + 1);
    }
    EXPECT_GT(reads, 0) << "the poller read nothing";
}

// ---- With the desktop-player simulator -----------------------------------------

TEST_F(Exchange, DrivesAndFollowsTheDesktopPlayer) {
    testing_support::ChildProcess player(testing_support::ProgramBeside("player-simulator.exe") +
                                         " \"" + F() + "\" CALL-7 --interval 20");
    ASSERT_TRUE(player.Started());
    auto update = [&](bool ws) { return TextOf(Call("checkReplayUpdate", {ws, F()})); };
    auto position = [&] {
        const auto text = TextOf(Call("readCurrentReplayPos", {false, F()}));
        return text ? std::atol(text->c_str()) : -1L;
    };

    EXPECT_TRUE(IsTrue(Call("setReplayPos", {"5000", false, F()})));
    EXPECT_TRUE(testing_support::WaitUntil([&] { return update(false) == "stopped 5000"; }, 10000))
        << update(false).value_or("<none>");
    // The player writes its files one after the other: the current call may
    // land a moment after the update.
    EXPECT_TRUE(testing_support::WaitUntil(
        [&] { return TextOf(Call("getCurrentCallID", {false})) == "CALL-7"; }, 10000));

    EXPECT_TRUE(IsTrue(Call("startPlayback", {false})));
    EXPECT_TRUE(testing_support::WaitUntil([&] { return position() > 5100; }, 10000));
    EXPECT_EQ(update(false)->substr(0, 8), "playing ");

    EXPECT_TRUE(IsTrue(Call("stopPlayback", {false, F()})));
    EXPECT_TRUE(testing_support::WaitUntil(
        [&] { return update(false)->substr(0, 8) == "stopped "; }, 10000));
    const long stoppedAt = position();
    testing_support::SleepMilliseconds(200);
    EXPECT_EQ(position(), stoppedAt);
    EXPECT_EQ(update(true), "stopped 0") << "the WS variant is served on its own";

    // Cleared files come back while the player runs. A file the player has
    // open at that moment cannot be deleted, and resetSync says so: a page
    // tries again.
    EXPECT_TRUE(
        testing_support::WaitUntil([&] { return IsTrue(Call("resetSync", {F()})); }, 10000));
    EXPECT_TRUE(testing_support::WaitUntil(
        [&] { return TextOf(Call("getCurrentCallID", {true})) == "CALL-7"; }, 10000));

    WriteBytes(File("PlayerSimulator.stop"), "");
    EXPECT_TRUE(player.WaitForExit(10000));
    EXPECT_EQ(player.ExitCode(), 0u);
}

TEST_F(Exchange, TheDesktopPlayerTakesARepeatedCommandAgain) {
    testing_support::ChildProcess player(testing_support::ProgramBeside("player-simulator.exe") +
                                         " \"" + F() + "\" CALL-8 --interval 20");
    ASSERT_TRUE(player.Started());
    auto update = [&] { return TextOf(Call("checkReplayUpdate", {false, F()})); };
    // The position the player reports while playing, or -1 (the plug-in
    // itself writes the replay position file, never the update file).
    auto playingAt = [&] {
        const auto text = update();
        return text && text->rfind("playing ", 0) == 0 ? std::atol(text->c_str() + 8) : -1L;
    };
    ASSERT_TRUE(testing_support::WaitUntil([&] { return update() == "stopped 0"; }, 10000));
    EXPECT_TRUE(IsTrue(Call("setReplayPos", {"100000", false, F()})));
    EXPECT_TRUE(testing_support::WaitUntil([&] { return update() == "stopped 100000"; }, 10000));
    EXPECT_TRUE(IsTrue(Call("startPlayback", {false})));
    EXPECT_TRUE(testing_support::WaitUntil([&] { return playingAt() > 100300; }, 10000));
    EXPECT_TRUE(IsTrue(Call("setReplayPos", {"100000", false, F()})));
    EXPECT_TRUE(testing_support::WaitUntil([&] { return playingAt() > 100600; }, 10000));
    // The same bytes again: only the command file's modification time changes.
    EXPECT_TRUE(IsTrue(Call("setReplayPos", {"100000", false, F()})));
    EXPECT_TRUE(testing_support::WaitUntil(
        [&] {
            const long at = playingAt();
            return at >= 100000 && at < 100500;
        },
        10000))
        << playingAt();

    WriteBytes(File("PlayerSimulator.stop"), "");
    EXPECT_TRUE(player.WaitForExit(10000));
}

}  // namespace
