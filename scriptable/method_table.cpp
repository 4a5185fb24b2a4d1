#include "scriptable/method_table.h"

#include "exchange/replay_control.h"
#include "host/host_utilities.h"
#include "scriptable/operation_binding.h"
#include "scriptable/setting_methods.h"
#include "workspace/timeline_volumes.h"
#include "workspace/workspace_calls.h"
#include "workspace/workspace_folders.h"

namespace scriptable {
namespace {

constexpr ArgType B = ArgType::Bool;
constexpr ArgType S = ArgType::String;

// In the order names are compared.
constexpr MethodRow kMethods[] = {
    Method<exchange::readCurrentReplayPos>(
        "readCurrentReplayPos", {B, S},
        {MethodGroup::ReplayControl,
         {kWs, kExchangeFolder},
         "Remembers the exchange folder and reads the first line of ReplayPos.dat (ReplayPosWS.dat "
         "when ws is true), the player's replay position.",
         "undefined when the file cannot be opened",
         "undefined, when the file cannot be opened or read to its line end"}),
    Method<exchange::checkReplayUpdate>(
        "checkReplayUpdate", {B, S},
        {MethodGroup::ReplayControl,
         {kWs, kExchangeFolder},
         "Remembers the exchange folder and reads the first line of ReplayUpdate.dat "
         "(ReplayUpdateWS.dat), the player's latest replay update.",
         "undefined when the file cannot be opened",
         "undefined, when the file cannot be opened or read to its line end"}),
    Method<exchange::setReplayPos>(
        "setReplayPos", {S, B, S},
        {MethodGroup::ReplayControl,
         {ParameterDoc{"position", ParameterRole::Text}, kWs, kExchangeFolder},
         "Remembers the exchange folder, writes the command \"rp <position>\" to "
         "TimelineUpdate.dat (TimelineUpdateWS.dat) and the position to ReplayPos.dat "
         "(ReplayPosWS.dat). Each file is opened for writing only (a player may hold it "
         "sharing writes alone), cut, then written whole: a player polling it sees its old "
         "content, nothing, or the new content, never a mix. true once the command is written, "
         "whatever became of ReplayPos.dat (it keeps its old position when it cannot be "
         "written): the player has the command, and a page that tried again would send it "
         "twice.",
         "undefined when the command file cannot be opened or written (it then keeps its old "
         "command and ReplayPos.dat is not touched), or the position holds a NUL",
         "undefined when the command was not written; each file keeps its old content or holds "
         "the new one, never a mix; the answer is read from the disk when a close fails"}),
    Method<exchange::startPlayback>(
        "startPlayback", {B},
        {MethodGroup::ReplayControl,
         {kWs},
         "Writes the command \"pb\" to the command file of the exchange folder the last "
         "folder-taking call named.",
         "undefined when no folder was named yet or the command file cannot be opened",
         "undefined; the command file keeps its old command"}),
    Method<exchange::stopPlayback>(
        "stopPlayback", {B, S},
        {MethodGroup::ReplayControl,
         {kWs, kExchangeFolder},
         "Remembers the exchange folder and writes the command \"st\" to its command file.",
         "undefined when the command file cannot be opened",
         "undefined; the command file keeps its old command"}),
    Method<exchange::resetSync>(
        "resetSync", {S},
        {MethodGroup::ReplayControl,
         {kExchangeFolder},
         "Remembers the exchange folder and deletes its eight exchange files, plain and WS; "
         "nothing else in the folder is touched. True when none of them is there afterwards, "
         "also when none was there before.",
         "false when an exchange file is still there (held open without sharing deletion, or "
         "not readable), or the folder text cannot name a folder",
         "false; a file that could not be deleted stays"}),
    Method<host::checkAccessRights>(
        "checkAccessRights", {S},
        {MethodGroup::HostUtilities,
         {ParameterDoc{"folder", ParameterRole::Path}},
         "Creates the folder and the missing folders above it, then tells whether a file can be "
         "created there (a probe file TestFile.txt is made and removed). The folders stay.",
         "false when no file can be created in the folder",
         "false when the probe could not be created; true once it was, even when it could not "
         "be removed again"}),
    Method<workspace::getTimelineVols>(
        "getTimelineVols", {S, S, S},
        {MethodGroup::Settings,
         {kOuterName, kWorkspaceName, kInnerName},
         "Lists the volume of every timeline line stored in the workspace, in file order, as "
         "[[line,volume],...], nothing quoted, however many there are.",
         "\"[]\" when the workspace, its settings file or its volumes are missing, or a name is "
         "refused",
         "\"[]\""}),
    Method<exchange::getCurrentCallID>(
        "getCurrentCallID", {B},
        {MethodGroup::ReplayControl,
         {kWs},
         "Reads the first line of CurrentCall.dat (CurrentCallWS.dat) in the exchange folder the "
         "last folder-taking call named: the call the player has loaded.",
         "undefined when no folder was named yet or the file cannot be opened",
         "undefined, when the file cannot be opened or read to its line end"}),
    Method<host::fileExists>(
        "fileExists", {S},
        {MethodGroup::HostUtilities,
         {ParameterDoc{"path", ParameterRole::Path}},
         "Tells whether the file can be opened for reading now.",
         "false for a missing file, a folder, or a file locked against reading",
         "false"}),
    Method<workspace::getWorkspaceList>(
        "getWorkspaceList", {S, S},
        {MethodGroup::Workspaces,
         {kOuterName, kInnerName},
         "Lists the workspaces of the workspace set as ['North','South'], each name a quoted "
         "JavaScript string literal (backslash, quote and line ends escaped), files in the set "
         "folder too, in the order the file system gives.",
         "\"\" when the set folder does not exist or a name is refused; \"Failed to get folder "
         "path\" when there is no local application-data folder",
         "\"\", never a list cut short (or \"Failed to get folder path\")"}),
    Method<workspace::getCallDetailsForWorkspace>(
        "getCallDetailsForWorkspace", {S, S, S},
        {MethodGroup::Calls,
         {kOuterName, kWorkspaceName, kInnerName},
         "Reads the workspace's call details file Calls.dat as [[callKey,detailCount,"
         "[detailKey,'first','second'],...],...]; a file cut short gives its complete records.",
         "\"Failed to open file\" when Calls.dat cannot be opened or a name is refused; "
         "\"Failed to get folder path\" when there is no local application-data folder",
         "\"Failed to open file\", never part of the records (or \"Failed to get folder path\")",
         Pace::Long}),
    Method<workspace::createWSFolder>(
        "createWSFolder", {S, S, S},
        {MethodGroup::Workspaces,
         {kOuterName, kWorkspaceName, kInnerName},
         "Creates the workspace folder, with every level above it and its Calls subfolder, "
         "where missing.",
         "false when the folder and its Calls subfolder do not both exist afterwards, or a "
         "name is refused",
         "false"}),
    Method<workspace::renameWS>(
        "renameWS", {S, S, S, S},
        {MethodGroup::Workspaces,
         {kOuterName, ParameterDoc{"oldWorkspaceName", ParameterRole::Workspace},
          ParameterDoc{"newWorkspaceName", ParameterRole::Workspace}, kInnerName},
         "Renames a workspace of the set.",
         "false when the old workspace is missing or is a link, the new name is taken or "
         "refused, or a file in it is held open",
         "false; the workspace keeps its name"}),
    WriteSetting<"writeWSGridColOrder", "GridColOrder", "Cols">(
        "Stores the order of the grid columns."),
    ReadSetting<"readWSGridColOrder", "GridColOrder", "Cols", 300>(
        "Reads the order of the grid columns, at most 299 bytes of it."),
    WriteSetting<"writeWSGridColWidth", "GridColWidths", kKeyArgument>(
        "Stores the width of the grid column named by key."),
    ReadSetting<"readWSGridColWidth", "GridColWidths", kKeyArgument>(
        "Reads the width of the grid column named by key, at most 9 bytes of it."),
    WriteSetting<"writeWSGridColHidden", "GridHiddenCols", kKeyArgument>(
        "Stores whether the grid column named by key is hidden."),
    ReadSetting<"readWSGridColHidden", "GridHiddenCols", kKeyArgument>(
        "Reads whether the grid column named by key is hidden, at most 9 bytes of it."),
    WriteSetting<"writeWSTimelineZoomLevel", "TimelineSettings", "ZoomLevel">(
        "Stores the timeline's zoom level."),
    ReadSetting<"readWSTimelineZoomLevel", "TimelineSettings", "ZoomLevel">(
        "Reads the timeline's zoom level, at most 9 bytes of it."),
    WriteSetting<"writeWSTimelineYAxisField", "TimelineSettings", "YAxis">(
        "Stores the field on the timeline's Y axis."),
    ReadSetting<"readWSTimelineYAxisField", "TimelineSettings", "YAxis">(
        "Reads the field on the timeline's Y axis, at most 9 bytes of it."),
    WriteSetting<"writeWSTimelineNavVisible", "TimelineSettings", "NavVisible">(
        "Stores whether the timeline navigator is visible."),
    ReadSetting<"readWSTimelineNavVisible", "TimelineSettings", "NavVisible">(
        "Reads whether the timeline navigator is visible, at most 9 bytes of it."),
    WriteSetting<"writeWSCurrentView", "General", "CurrentView">("Stores the page's current view."),
    ReadSetting<"readWSCurrentView", "General", "CurrentView">(
        "Reads the page's current view, at most 9 bytes of it."),
    WriteSetting<"writeWSCurrentReplayMode", "General", "ReplayMode">(
        "Stores the current replay mode."),
    ReadSetting<"readWSCurrentReplayMode", "General", "ReplayMode">(
        "Reads the current replay mode, at most 9 bytes of it."),
    WriteSetting<"writeWSYAxisOrder", "TimelineSettings", "YAxisOrder">(
        "Stores the order of the Y-axis lines."),
    ReadSetting<"readWSYAxisOrder", "TimelineSettings", "YAxisOrder", 10000>(
        "Reads the order of the Y-axis lines, at most 9999 bytes of it."),
    WriteSetting<"writeWSTimelineLicensed", "TimelineLicensedLines", kKeyArgument>(
        "Stores the licensed-lines entry of the timeline line named by key."),
    ReadSetting<"readWSTimelineLicensed", "TimelineLicensedLines", kKeyArgument>(
        "Reads the licensed-lines entry of the timeline line named by key, at most 9 bytes of it."),
    WriteSetting<"writeWSCreatedRecID", "General", "CreatedRecID">(
        "Stores the identifier of a created record."),
    ReadSetting<"readWSCreatedRecID", "General", "CreatedRecID">(
        "Reads the identifier of a created record, at most 9 bytes of it."),
    WriteSetting<"writeWSHighPrecision", "General", "HighPrecision">(
        "Stores the high-precision setting."),
    ReadSetting<"readWSHighPrecision", "General", "HighPrecision">(
        "Reads the high-precision setting, at most 9 bytes of it."),
    WriteSetting<"writeWSTimelineConcurrentLicenses", "TimelineSettings", "LicencedAxisLines">(
        "Stores the timeline's concurrent-licences axis lines."),
    ReadSetting<"readWSTimelineConcurrentLicenses", "TimelineSettings", "LicencedAxisLines">(
        "Reads the timeline's concurrent-licences axis lines, at most 9 bytes of it."),
    WriteSetting<"writeWSNavPosition", "TimelineSettings", "NavPosition">(
        "Stores the position of the timeline navigator."),
    ReadSetting<"readWSNavPosition", "TimelineSettings", "NavPosition", 10000>(
        "Reads the position of the timeline navigator, at most 9999 bytes of it."),
    WriteSetting<"writeWSTimelineVol", "TimelineVolumes", kKeyArgument>(
        "Stores the volume of the timeline line named by key; false also when the key or the "
        "value holds \",\", \"[\" or \"]\", which would forge entries of the volume list."),
    WriteSetting<"writeWSGridSortColumn", "GridSettings", "SortColumnID">(
        "Stores the column the call grid is sorted by."),
    ReadSetting<"readWSGridSortColumn", "GridSettings", "SortColumnID">(
        "Reads the column the call grid is sorted by, at most 9 bytes of it."),
    WriteSetting<"writeWSGridColumnSortOrder", "GridSettings", "SortOrder">(
        "Stores the grid's sort order."),
    ReadSetting<"readWSGridColumnSortOrder", "GridSettings", "SortOrder">(
        "Reads the grid's sort order, at most 9 bytes of it."),
    WriteSetting<"writeWSGridLastPage", "GridSettings", "LastPage">(
        "Stores the last grid page shown."),
    ReadSetting<"readWSGridLastPage", "GridSettings", "LastPage">(
        "Reads the last grid page shown, at most 9 bytes of it."),
    WriteSetting<"writeWSExtendedCallsOpen", "General", "ExtendedCallIDsOpen">(
        "Stores whether the extended call identifiers are open."),
    ReadSetting<"readWSExtendedCallsOpen", "General", "ExtendedCallIDsOpen">(
        "Reads whether the extended call identifiers are open, at most 9 bytes of it."),
    Method<host::launchExe>(
        "launchExe", {S},
        {MethodGroup::HostUtilities,
         {ParameterDoc{"commandLine", ParameterRole::Text}},
         "Starts the program the command line names (read in the system's ANSI code page), "
         "detached, without waiting for it.",
         "false when the program cannot be started, or the command line holds a NUL or is "
         "longer than Windows takes (32,766 UTF-16 units; a text of more than 32,767 bytes is "
         "refused before it is read)",
         "false"}),
    Method<workspace::deleteWorkspace>(
        "deleteWorkspace", {S, S, S},
        {MethodGroup::Workspaces,
         {kOuterName, kWorkspaceName, kInnerName},
         "Deletes the workspace folder and everything in it, outright (not to the recycle "
         "bin). A file another program holds only for a moment with delete sharing (the search "
         "indexer, an antivirus scanner) is waited for, about 1.5 s at most.",
         "false when part of it remains (a file held open elsewhere) or a name is refused; true "
         "when it did not exist",
         "false while anything of the workspace remains",
         Pace::Long}),
    Method<workspace::copyWSFolder>(
        "copyWSFolder", {S, S, S, S},
        {MethodGroup::Workspaces,
         {kOuterName, kInnerName, ParameterDoc{"sourceWorkspaceName", ParameterRole::Workspace},
          ParameterDoc{"destinationWorkspaceName", ParameterRole::Workspace}},
         "Copies the whole content of a workspace into another of the set, creating it when "
         "missing and replacing files of the same name.",
         "false when the source is missing (nothing is created then), a name is refused, or "
         "not everything was copied (a file held open elsewhere, a link in the source, a file "
         "with other names at either end); what "
         "was copied stays",
         "false unless every entry was copied; what was copied stays",
         Pace::Long}),
    Method<workspace::getWorkspaceUsage>(
        "getWorkspaceUsage", {S, S},
        {MethodGroup::Workspaces,
         {kOuterName, kInnerName},
         "The size of all workspaces of the set in GiB, each file counted in whole KiB by the "
         "size its folder lists (links to files too, never followed); hidden folders and links "
         "to folders are left out. Best effort: a folder that cannot be listed counts 0 and the "
         "rest is summed.",
         "0 when the set folder is missing or a name is refused",
         "the sum of what could be listed",
         Pace::Long}),
    Method<workspace::getMissingOrBufferingCalls>(
        "getMissingOrBufferingCalls", {S, S, S, S},
        {MethodGroup::Calls,
         {kOuterName, kWorkspaceName, kInnerName, ParameterDoc{"callList", ParameterRole::Text}},
         "Of the comma-separated call names, those without an entry in the workspace's Calls "
         "subfolder, in list order, joined by \",\" (names compare case-sensitively).",
         "the list as given when the Calls subfolder cannot be searched or read to its end, "
         "a name is refused or the list holds a NUL: every call then counts as missing, the "
         "safe answer",
         "the list as given: every call counted as missing",
         Pace::Long}),
    Method<workspace::getFileNamesInDir>(
        "getFileNamesInDir", {S, S},
        {MethodGroup::Calls,
         {ParameterDoc{"folder", ParameterRole::Path}, ParameterDoc{"suffix", ParameterRole::Text}},
         "The files of any folder whose names end in the four-character suffix (such as "
         "\".wav\"), joined by \",\"; folders are never listed.",
         "\"\" when nothing matches, the folder cannot be searched, or the suffix is not four "
         "characters long",
         "\"\"",
         Pace::Long}),
    Method<workspace::isCallInWorkspace>(
        "isCallInWorkspace", {S, S, S},
        {MethodGroup::Calls,
         {kOuterName, kInnerName, ParameterDoc{"callName", ParameterRole::Text}},
         "Tells whether any workspace of the set has an entry of exactly that name in its "
         "Calls subfolder.",
         "false when none has, or a name is refused",
         "false",
         Pace::Long}),
    Method<workspace::doesWorkspaceExist>(
        "doesWorkspaceExist", {S, S, S},
        {MethodGroup::Workspaces,
         {kOuterName, kWorkspaceName, kInnerName},
         "Tells whether a folder or a file of the workspace name exists in the set.",
         "false when none exists or a name is refused",
         "false"}),
    WriteSetting<"setWorkspaceState", "General", "WorkspaceOpen", "setWorkspaceOpen">(
        "Stores whether the workspace is open."),
    ReadSetting<"isWorkspaceOpen", "General", "WorkspaceOpen">(
        "Reads whether the workspace is open, at most 9 bytes of it."),
    WriteSetting<"workspaceChanged", "General", "WorkspaceChanged">(
        "Stores whether the workspace has changed."),
    ReadSetting<"hasWorkspaceChanged", "General", "WorkspaceChanged">(
        "Reads whether the workspace has changed, at most 9 bytes of it."),
};

constexpr bool SameName(const char* a, const char* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

constexpr bool NamesAreUnique() {
    for (const MethodRow& a : kMethods) {
        int matches = 0;
        for (const MethodRow& b : kMethods) matches += SameName(a.name, b.name) ? 1 : 0;
        if (matches != 1) return false;
    }
    return true;
}

static_assert(std::size(kMethods) == 63, "the script API has 63 methods");
static_assert(NamesAreUnique(), "method names are unique");

}  // namespace

bool MethodRow::Accepts(const NPVariant* args, uint32_t argCount) const {
    if (argCount != argumentCount) return false;
    if (argCount > 0 && !args) return false;
    for (uint32_t i = 0; i < argCount; ++i) {
        if (args[i].type != static_cast<NPVariantType>(argumentTypes[i])) return false;
    }
    return true;
}

std::span<const MethodRow> Methods() { return kMethods; }

const MethodRow* FindMethod(std::string_view name) {
    for (const MethodRow& row : kMethods) {
        if (name == row.name) return &row;
    }
    return nullptr;
}

}  // namespace scriptable
