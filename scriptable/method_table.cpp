#include "scriptable/method_table.h"

#include "exchange/replay_control.h"
#include "host/host_utilities.h"
#include "scriptable/operation_binding.h"
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
    Pending("getTimelineVols", {S, S, S}),
    Method<exchange::getCurrentCallID>("getCurrentCallID", {B}),
    Method<host::fileExists>("fileExists", {S}),
    Method<workspace::getWorkspaceList>("getWorkspaceList", {S, S}),
    Pending("getCallDetailsForWorkspace", {S, S, S}),
    Method<workspace::createWSFolder>("createWSFolder", {S, S, S}),
    Method<workspace::renameWS>("renameWS", {S, S, S, S}),
    Pending("writeWSGridColOrder", {S, S, S, S}),
    Pending("readWSGridColOrder", {S, S, S}),
    Pending("writeWSGridColWidth", {S, S, S, S, S}),
    Pending("readWSGridColWidth", {S, S, S, S}),
    Pending("writeWSGridColHidden", {S, S, S, S, S}),
    Pending("readWSGridColHidden", {S, S, S, S}),
    Pending("writeWSTimelineZoomLevel", {S, S, S, S}),
    Pending("readWSTimelineZoomLevel", {S, S, S}),
    Pending("writeWSTimelineYAxisField", {S, S, S, S}),
    Pending("readWSTimelineYAxisField", {S, S, S}),
    Pending("writeWSTimelineNavVisible", {S, S, S, S}),
    Pending("readWSTimelineNavVisible", {S, S, S}),
    Pending("writeWSCurrentView", {S, S, S, S}),
    Pending("readWSCurrentView", {S, S, S}),
    Pending("writeWSCurrentReplayMode", {S, S, S, S}),
    Pending("readWSCurrentReplayMode", {S, S, S}),
    Pending("writeWSYAxisOrder", {S, S, S, S}),
    Pending("readWSYAxisOrder", {S, S, S}),
    Pending("writeWSTimelineLicensed", {S, S, S, S, S}),
    Pending("readWSTimelineLicensed", {S, S, S, S}),
    Pending("writeWSCreatedRecID", {S, S, S, S}),
    Pending("readWSCreatedRecID", {S, S, S}),
    Pending("writeWSHighPrecision", {S, S, S, S}),
    Pending("readWSHighPrecision", {S, S, S}),
    Pending("writeWSTimelineConcurrentLicenses", {S, S, S, S}),
    Pending("readWSTimelineConcurrentLicenses", {S, S, S}),
    Pending("writeWSNavPosition", {S, S, S, S}),
    Pending("readWSNavPosition", {S, S, S}),
    Pending("writeWSTimelineVol", {S, S, S, S, S}),
    Pending("writeWSGridSortColumn", {S, S, S, S}),
    Pending("readWSGridSortColumn", {S, S, S}),
    Pending("writeWSGridColumnSortOrder", {S, S, S, S}),
    Pending("readWSGridColumnSortOrder", {S, S, S}),
    Pending("writeWSGridLastPage", {S, S, S, S}),
    Pending("readWSGridLastPage", {S, S, S}),
    Pending("writeWSExtendedCallsOpen", {S, S, S, S}),
    Pending("readWSExtendedCallsOpen", {S, S, S}),
    Method<host::launchExe>("launchExe", {S}),
    Method<workspace::deleteWorkspace>("deleteWorkspace", {S, S, S}),
    Method<workspace::copyWSFolder>("copyWSFolder", {S, S, S, S}),
    Method<workspace::getWorkspaceUsage>("getWorkspaceUsage", {S, S}),
    Pending("getMissingOrBufferingCalls", {S, S, S, S}),
    Pending("getFileNamesInDir", {S, S}),
    Pending("isCallInWorkspace", {S, S, S}),
    Method<workspace::doesWorkspaceExist>("doesWorkspaceExist", {S, S, S}),
    Pending("setWorkspaceState", {S, S, S, S}),
    Pending("isWorkspaceOpen", {S, S, S}),
    Pending("workspaceChanged", {S, S, S, S}),
    Pending("hasWorkspaceChanged", {S, S, S}),
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
