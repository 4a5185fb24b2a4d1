// Workspace settings and timeline volumes as page script stores and fetches
// them, read back from the Workspace.ini the platform writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/workspace_fixture.h"

namespace fs = std::filesystem;
using embedding::Value;
using testing_support::ReadBytes;
using testing_support::TextOf;
using testing_support::WriteBytes;

namespace {

struct SettingRow {
    const char* write;
    const char* read;  // null: no read method of its own
    const char* section;
    const char* key;  // null: the key is the fourth argument
    size_t capacity;
};

// The settings of the script API, written out independently of the plug-in.
const SettingRow kSettings[] = {
    {"writeWSGridColOrder", "readWSGridColOrder", "GridColOrder", "Cols", 300},
    {"writeWSGridColWidth", "readWSGridColWidth", "GridColWidths", nullptr, 10},
    {"writeWSGridColHidden", "readWSGridColHidden", "GridHiddenCols", nullptr, 10},
    {"writeWSGridSortColumn", "readWSGridSortColumn", "GridSettings", "SortColumnID", 10},
    {"writeWSGridColumnSortOrder", "readWSGridColumnSortOrder", "GridSettings", "SortOrder", 10},
    {"writeWSGridLastPage", "readWSGridLastPage", "GridSettings", "LastPage", 10},
    {"writeWSTimelineZoomLevel", "readWSTimelineZoomLevel", "TimelineSettings", "ZoomLevel", 10},
    {"writeWSTimelineYAxisField", "readWSTimelineYAxisField", "TimelineSettings", "YAxis", 10},
    {"writeWSTimelineNavVisible", "readWSTimelineNavVisible", "TimelineSettings", "NavVisible", 10},
    {"writeWSYAxisOrder", "readWSYAxisOrder", "TimelineSettings", "YAxisOrder", 10000},
    {"writeWSTimelineConcurrentLicenses", "readWSTimelineConcurrentLicenses", "TimelineSettings",
     "LicencedAxisLines", 10},
    {"writeWSNavPosition", "readWSNavPosition", "TimelineSettings", "NavPosition", 10000},
    {"writeWSTimelineLicensed", "readWSTimelineLicensed", "TimelineLicensedLines", nullptr, 10},
    {"writeWSTimelineVol", nullptr, "TimelineVolumes", nullptr, 0},
    {"writeWSCurrentView", "readWSCurrentView", "General", "CurrentView", 10},
    {"writeWSCurrentReplayMode", "readWSCurrentReplayMode", "General", "ReplayMode", 10},
    {"writeWSCreatedRecID", "readWSCreatedRecID", "General", "CreatedRecID", 10},
    {"writeWSHighPrecision", "readWSHighPrecision", "General", "HighPrecision", 10},
    {"writeWSExtendedCallsOpen", "readWSExtendedCallsOpen", "General", "ExtendedCallIDsOpen", 10},
    {"setWorkspaceState", "isWorkspaceOpen", "General", "WorkspaceOpen", 10},
    {"workspaceChanged", "hasWorkspaceChanged", "General", "WorkspaceChanged", 10},
};

// section -> key -> value, exactly as the file holds them.
using IniFile = std::map<std::string, std::map<std::string, std::string>>;

IniFile ParseIni(const std::string& bytes) {
    IniFile ini;
    std::istringstream in(bytes);
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 1 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            ini[section];
        } else if (const size_t eq = line.find('='); eq != std::string::npos) {
            ini[section][line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return ini;
}

class Settings : public testing_support::WorkspaceTest {
  protected:
    void SetUp() override {
        WorkspaceTest::SetUp();
        fs::create_directories(Ws("W"));
    }
    std::vector<Value> W(std::vector<Value> rest = {}) const {
        std::vector<Value> args = {outer, std::string("W"), std::string("In")};
        args.insert(args.end(), rest.begin(), rest.end());
        return args;
    }
    fs::path File() const { return Ws("W") / "Workspace.ini"; }
    IniFile Ini() const { return ParseIni(ReadBytes(File())); }
    std::optional<std::string> Vols() { return TextOf(Call("getTimelineVols", W())); }
};

// A value longer than any read capacity, its characters telling their place.
std::string LongValue(const std::string& tag) {
    std::string value = tag + ":";
    for (int i = 0; value.size() < 10050; ++i) value += std::to_string(i % 10);
    return value;
}

TEST_F(Settings, EveryRowStoresUnderItsSectionAndKeyAndReadsBackCutToItsCapacity) {
    for (const SettingRow& row : kSettings) {
        const std::string key = row.key ? row.key : std::string("Key-") + row.section;
        std::vector<Value> args = row.key ? W() : W({key});
        args.push_back(LongValue(row.write));
        EXPECT_EQ(Flag(row.write, args), true) << row.write;
    }
    const IniFile ini = Ini();
    for (const SettingRow& row : kSettings) {
        const std::string key = row.key ? row.key : std::string("Key-") + row.section;
        const auto section = ini.find(row.section);
        ASSERT_NE(section, ini.end()) << row.section;
        const auto stored = section->second.find(key);
        ASSERT_NE(stored, section->second.end()) << row.section << "/" << key;
        EXPECT_EQ(stored->second, LongValue(row.write)) << row.write << " stores the whole value";
        if (!row.read) continue;
        const auto read = TextOf(Call(row.read, row.key ? W() : W({key})));
        EXPECT_EQ(read, LongValue(row.write).substr(0, row.capacity - 1)) << row.read;
        if (!row.key) {
            // Another row's key is not looked for in this row's section.
            for (const SettingRow& other : kSettings) {
                if (other.key || other.section == row.section) continue;
                EXPECT_EQ(TextOf(Call(row.read, W({std::string("Key-") + other.section}))), "")
                    << row.read << " with the key of " << other.write;
            }
        }
    }
    EXPECT_EQ(TextOf(Call("readWSGridColWidth", W({std::string("Cols")}))), "") << "capacity 10";
}

TEST_F(Settings, ThePathTakesTheOuterInnerAndWorkspaceNamesInThatOrder) {
    fs::create_directories(Ws("Y", "Z"));
    EXPECT_EQ(Flag("writeWSCurrentView", {outer, "Y", "Z", "grid"}), true);
    EXPECT_EQ(ParseIni(ReadBytes(Ws("Y", "Z") / "Workspace.ini"))["General"]["CurrentView"],
              "grid");
    EXPECT_EQ(TextOf(Call("readWSCurrentView", {outer, "Y", "Z"})), "grid");
}

TEST_F(Settings, ASecondWriteReplacesTheFirstAndMissingValuesReadEmpty) {
    EXPECT_EQ(TextOf(Call("readWSCurrentView", W())), "") << "no file";
    EXPECT_EQ(Flag("writeWSCurrentView", W({"grid"})), true);
    EXPECT_EQ(Flag("writeWSCurrentView", W({"timeline"})), true);
    EXPECT_EQ(Ini()["General"], (std::map<std::string, std::string>{{"CurrentView", "timeline"}}));
    EXPECT_EQ(TextOf(Call("readWSReplayMode", W())), std::nullopt) << "no such method";
    EXPECT_EQ(TextOf(Call("readWSCurrentReplayMode", W())), "") << "no key";
    EXPECT_EQ(TextOf(Call("readWSCurrentView", {outer, "Missing", "In"})), "") << "no workspace";
    // A value longer than any path is stored whole all the same.
    const std::string large(70000, 'v');
    EXPECT_EQ(Flag("writeWSCurrentView", W({large})), true);
    EXPECT_EQ(Ini()["General"]["CurrentView"], large);
}

TEST_F(Settings, AWriteIntoAMissingWorkspaceIsFalseAndCreatesNothing) {
    const std::string before = Surroundings();
    EXPECT_EQ(Flag("writeWSCurrentView", {outer, "Missing", "In", "grid"}), false);
    EXPECT_EQ(Surroundings(), before);
}

TEST_F(Settings, WritesThatWouldRewriteTheFileChangeNothing) {
    EXPECT_EQ(Flag("setWorkspaceState", W({"0"})), true);
    EXPECT_EQ(Flag("writeWSGridColWidth", W({"C1", "80"})), true);
    const std::string before = ReadBytes(File());
    const std::vector<std::vector<Value>> refused = {W({"grid\r\n[General]\r\nWorkspaceOpen=1"}),
                                                     W({"a\nb"}), W({"a\rb"}),
                                                     W({std::string("grid\0[General]", 15)})};
    for (const auto& args : refused) EXPECT_EQ(Flag("writeWSCurrentView", args), false);
    // The profile functions trim blanks and control characters before they
    // read a line: a bracket or a semicolon after them would still open a
    // section or a comment. A NUL would store a key cut short.
    for (const std::string& key : std::vector<std::string>{
             "", "a=b", "[General]", ";note", "a\nb", "C1\r", " [General]", "\t[X]",
             " \t [General] ", "  ;note", "\t;x", " ", "\t", "\v[Evil]", "\f;x", "\x1A[X]", "C\x01",
             "C\x7F", std::string("C1\0x", 4)}) {
        EXPECT_EQ(Flag("writeWSGridColWidth", W({key, "1"})), false) << key;
        EXPECT_EQ(TextOf(Call("readWSGridColWidth", W({key}))), "") << key;
    }
    // The volume list is unquoted: a key or a value that would forge an entry.
    for (const auto& [key, volume] : std::vector<std::pair<std::string, std::string>>{
             {"1", "1],[injected,99"}, {"1,2", "5"}, {"[1", "5"}, {"1", "5]"}}) {
        EXPECT_EQ(Flag("writeWSTimelineVol", W({key, volume})), false) << key << "=" << volume;
    }
    for (const char* bad : {"..", "*", "a\\b", ""}) {
        EXPECT_EQ(Flag("writeWSCurrentView", {outer, bad, "In", "x"}), false) << bad;
        EXPECT_EQ(Flag("writeWSCurrentView", {outer, "W", bad, "x"}), false) << bad;
        EXPECT_EQ(TextOf(Call("readWSCurrentView", {bad, "W", "In"})), "") << bad;
        EXPECT_EQ(TextOf(Call("getTimelineVols", {outer, bad, "In"})), "[]") << bad;
    }
    EXPECT_EQ(ReadBytes(File()), before);
    EXPECT_EQ(TextOf(Call("isWorkspaceOpen", W())), "0");
}

TEST_F(Settings, ACutValueNeverEndsInPartOfACharacter) {
    EXPECT_EQ(Flag("writeWSCurrentView", W({"12345678\xC3\xA9xyz"})), true);
    EXPECT_EQ(TextOf(Call("readWSCurrentView", W())), "12345678");
    EXPECT_EQ(Flag("writeWSCurrentView", W({"1234567\xC3\xA9xyz"})), true);
    EXPECT_EQ(TextOf(Call("readWSCurrentView", W())), "1234567\xC3\xA9");
    EXPECT_EQ(Flag("writeWSCurrentView", W({"123456\xE2\x82\xAC"})), true);
    EXPECT_EQ(TextOf(Call("readWSCurrentView", W())), "123456\xE2\x82\xAC") << "fits whole";
}

// ---- getTimelineVols ---------------------------------------------------------

TEST_F(Settings, VolumesListEveryEntryInFileOrderKeepingEqualsSigns) {
    EXPECT_EQ(Vols(), "[]") << "no file";
    EXPECT_EQ(TextOf(Call("getTimelineVols", {outer, "Missing", "In"})), "[]");
    EXPECT_EQ(Flag("writeWSTimelineVol", W({"7", "80"})), true);
    EXPECT_EQ(Flag("writeWSTimelineVol", W({"12", "100"})), true);
    EXPECT_EQ(Vols(), "[[7,80],[12,100]]");
    EXPECT_EQ(Flag("writeWSTimelineVol", W({"5", "a=b"})), true);
    EXPECT_EQ(Flag("writeWSTimelineVol", W({"7", "60"})), true);
    EXPECT_EQ(Vols(), "[[7,60],[12,100],[5,a=b]]");
}

TEST_F(Settings, VolumesLeaveOutLinesWithoutAnEqualsSign) {
    WriteBytes(File(), "[TimelineVolumes]\r\n3=50\r\nedited by hand\r\n4=70\r\n");
    EXPECT_EQ(Vols(), "[[3,50],[4,70]]");
}

TEST_F(Settings, AVolumeSectionOfAnySizeIsListedWhole) {
    std::string file = "[TimelineVolumes]\r\n", expected = "[";
    for (int i = 0; i < 3000; ++i) {
        const std::string key = "line" + std::to_string(i), volume = std::to_string(i % 101);
        file += key + "=" + volume + "\r\n";
        expected += (i ? ",[" : "[") + key + "," + volume + "]";
    }
    WriteBytes(File(), file);
    ASSERT_GT(file.size(), 30000u);
    EXPECT_EQ(Vols(), expected + "]");
}

}  // namespace
