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
    Method<exchange::readCurrentReplayPos>("readCurrentReplayPos", {B, S}),
    Method<exchange::checkReplayUpdate>("checkReplayUpdate", {B, S}),
    Method<exchange::setReplayPos>("setReplayPos", {S, B, S}),
    Method<exchange::startPlayback>("startPlayback", {B}),
    Method<exchange::stopPlayback>("stopPlayback", {B, S}),
    Method<exchange::resetSync>("resetSync", {S}),
    Method<host::checkAccessRights>("checkAccessRights", {S}),
    Method<workspace::getTimelineVols>("getTimelineVols", {S, S, S}),
    Method<exchange::getCurrentCallID>("getCurrentCallID", {B}),
    Method<host::fileExists>("fileExists", {S}),
    Method<workspace::getWorkspaceList>("getWorkspaceList", {S, S}),
    Method<workspace::getCallDetailsForWorkspace>("getCallDetailsForWorkspace", {S, S, S}),
    Method<workspace::createWSFolder>("createWSFolder", {S, S, S}),
    Method<workspace::renameWS>("renameWS", {S, S, S, S}),
    WriteSetting<"writeWSGridColOrder", "GridColOrder", "Cols">(),
    ReadSetting<"readWSGridColOrder", "GridColOrder", "Cols", 300>(),
    WriteSetting<"writeWSGridColWidth", "GridColWidths", kKeyArgument>(),
    ReadSetting<"readWSGridColWidth", "GridColWidths", kKeyArgument>(),
    WriteSetting<"writeWSGridColHidden", "GridHiddenCols", kKeyArgument>(),
    ReadSetting<"readWSGridColHidden", "GridHiddenCols", kKeyArgument>(),
    WriteSetting<"writeWSTimelineZoomLevel", "TimelineSettings", "ZoomLevel">(),
    ReadSetting<"readWSTimelineZoomLevel", "TimelineSettings", "ZoomLevel">(),
    WriteSetting<"writeWSTimelineYAxisField", "TimelineSettings", "YAxis">(),
    ReadSetting<"readWSTimelineYAxisField", "TimelineSettings", "YAxis">(),
    WriteSetting<"writeWSTimelineNavVisible", "TimelineSettings", "NavVisible">(),
    ReadSetting<"readWSTimelineNavVisible", "TimelineSettings", "NavVisible">(),
    WriteSetting<"writeWSCurrentView", "General", "CurrentView">(),
    ReadSetting<"readWSCurrentView", "General", "CurrentView">(),
    WriteSetting<"writeWSCurrentReplayMode", "General", "ReplayMode">(),
    ReadSetting<"readWSCurrentReplayMode", "General", "ReplayMode">(),
    WriteSetting<"writeWSYAxisOrder", "TimelineSettings", "YAxisOrder">(),
    ReadSetting<"readWSYAxisOrder", "TimelineSettings", "YAxisOrder", 10000>(),
    WriteSetting<"writeWSTimelineLicensed", "TimelineLicensedLines", kKeyArgument>(),
    ReadSetting<"readWSTimelineLicensed", "TimelineLicensedLines", kKeyArgument>(),
    WriteSetting<"writeWSCreatedRecID", "General", "CreatedRecID">(),
    ReadSetting<"readWSCreatedRecID", "General", "CreatedRecID">(),
    WriteSetting<"writeWSHighPrecision", "General", "HighPrecision">(),
    ReadSetting<"readWSHighPrecision", "General", "HighPrecision">(),
    WriteSetting<"writeWSTimelineConcurrentLicenses", "TimelineSettings", "LicencedAxisLines">(),
    ReadSetting<"readWSTimelineConcurrentLicenses", "TimelineSettings", "LicencedAxisLines">(),
    WriteSetting<"writeWSNavPosition", "TimelineSettings", "NavPosition">(),
    ReadSetting<"readWSNavPosition", "TimelineSettings", "NavPosition", 10000>(),
    WriteSetting<"writeWSTimelineVol", "TimelineVolumes", kKeyArgument>(),
    WriteSetting<"writeWSGridSortColumn", "GridSettings", "SortColumnID">(),
    ReadSetting<"readWSGridSortColumn", "GridSettings", "SortColumnID">(),
    WriteSetting<"writeWSGridColumnSortOrder", "GridSettings", "SortOrder">(),
    ReadSetting<"readWSGridColumnSortOrder", "GridSettings", "SortOrder">(),
    WriteSetting<"writeWSGridLastPage", "GridSettings", "LastPage">(),
    ReadSetting<"readWSGridLastPage", "GridSettings", "LastPage">(),
    WriteSetting<"writeWSExtendedCallsOpen", "General", "ExtendedCallIDsOpen">(),
    ReadSetting<"readWSExtendedCallsOpen", "General", "ExtendedCallIDsOpen">(),
    Method<host::launchExe>("launchExe", {S}),
    Method<workspace::deleteWorkspace>("deleteWorkspace", {S, S, S}),
    Method<workspace::copyWSFolder>("copyWSFolder", {S, S, S, S}),
    Method<workspace::getWorkspaceUsage>("getWorkspaceUsage", {S, S}),
    Method<workspace::getMissingOrBufferingCalls>("getMissingOrBufferingCalls", {S, S, S, S}),
    Method<workspace::getFileNamesInDir>("getFileNamesInDir", {S, S}),
    Method<workspace::isCallInWorkspace>("isCallInWorkspace", {S, S, S}),
    Method<workspace::doesWorkspaceExist>("doesWorkspaceExist", {S, S, S}),
    WriteSetting<"setWorkspaceState", "General", "WorkspaceOpen", "setWorkspaceOpen">(),
    ReadSetting<"isWorkspaceOpen", "General", "WorkspaceOpen">(),
    WriteSetting<"workspaceChanged", "General", "WorkspaceChanged">(),
    ReadSetting<"hasWorkspaceChanged", "General", "WorkspaceChanged">(),
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
