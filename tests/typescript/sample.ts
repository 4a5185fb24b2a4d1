// A page script checked against the declarations with tsc --strict: what
// page authors write compiles, and the usual mistakes do not.
import type {
  DravenilCallRecord,
  DravenilFileAccess,
  DravenilFileAccessPlugin,
  DravenilProgress,
  DravenilResultParser,
  DravenilRoute,
} from "../../types/npDravenilFileAccessPlugin";

declare const plugin: DravenilFileAccessPlugin;
declare const DravenilParse: DravenilResultParser;

const list: string = plugin.getWorkspaceList("Team", "2026");
const created: boolean = plugin.createWSFolder("Team", "North", "2026");
const usage: number = plugin.getWorkspaceUsage("Team", "2026");
const view: string | undefined = plugin.readWSCurrentView("Team", "North", "2026");
const stored: boolean = plugin.writeWSGridColWidth("Team", "North", "2026", "Agent", "120");
const position: string | undefined = plugin.readCurrentReplayPos(false, "C:\\Exchange");

// @ts-expect-error a read may give undefined
const mustBeText: string = plugin.readWSCurrentView("Team", "North", "2026");
// @ts-expect-error a number where a string is expected
plugin.fileExists(42);
// @ts-expect-error one argument too few
plugin.deleteWorkspace("Team", "North");
// @ts-expect-error the WS flag is a boolean, not a string
plugin.startPlayback("true");

// A documented failure text reads as null, which page script must handle.
// @ts-expect-error the list may be null
const unchecked: string[] = DravenilParse.workspaceList(list);
const names: string[] = DravenilParse.workspaceList(list) ?? [];
const records: DravenilCallRecord[] =
  DravenilParse.callDetails(plugin.getCallDetailsForWorkspace("Team", "North", "2026")) ?? [];
const firstDetail: string = records[0].details[0].value;
const volumes: [string, string][] = DravenilParse.volumes(plugin.getTimelineVols("Team", "North", "2026"));
// @ts-expect-error a record's details are objects, not texts
const wrongDetail: string = records[0].details[0];

// The Promise API, the same on either route: every method, each answer of
// the plug-in's type.
function take<T>(value: T): T {
  return value;
}
async function everyMethod(api: DravenilFileAccess, o: string, w: string, i: string, ex: string): Promise<void> {
  const route: DravenilRoute = await DravenilFileAccess.ready();
  take<"extension" | "plugin">(route.route);
  take<DravenilFileAccess>(window.DravenilFileAccess);
  take<string[] | null>(api.parse.workspaceList(await api.getWorkspaceList(o, i)));
  take<DravenilCallRecord[] | null>(api.parse.callDetails(await api.getCallDetailsForWorkspace(o, w, i)));
  take<string | boolean | number | undefined>(await api.call("fileExists", "x"));
  // @ts-expect-error a promise, not the plug-in's value
  take<boolean>(api.fileExists("x"));
  // @ts-expect-error a read may give undefined
  take<string>(await api.readWSCurrentView(o, w, i));
  // @ts-expect-error a number where a string is expected
  await api.createWSFolder(o, 42, i);
  // @ts-expect-error one argument too few
  await api.deleteWorkspace(o, w);
  // A long call followed and stoppable; options go after the arguments only.
  const stop = new AbortController();
  const seen: DravenilProgress[] = [];
  take<boolean>(await api.copyWSFolder(o, i, w, "copy", { onProgress: (p) => seen.push(p), signal: stop.signal }));
  take<number | undefined>(seen[0]?.bytesTotal);
  // @ts-expect-error onProgress hears a progress object, not a number
  await api.getWorkspaceUsage(o, i, { onProgress: (p: number) => p });
  // @ts-expect-error options in the place of an argument
  await api.deleteWorkspace(o, w, { signal: stop.signal });
  take<string | undefined>(await api.readCurrentReplayPos(false, ex));
  take<string | undefined>(await api.checkReplayUpdate(false, ex));
  take<boolean | undefined>(await api.setReplayPos("x", false, ex));
  take<boolean | undefined>(await api.startPlayback(false));
  take<boolean | undefined>(await api.stopPlayback(false, ex));
  take<boolean>(await api.resetSync(ex));
  take<string | undefined>(await api.getCurrentCallID(false));
  take<string>(await api.getWorkspaceList(o, i));
  take<boolean>(await api.createWSFolder(o, w, i));
  take<boolean>(await api.renameWS(o, "x", "x", i));
  take<boolean>(await api.deleteWorkspace(o, w, i));
  take<boolean>(await api.copyWSFolder(o, i, "x", "x"));
  take<number>(await api.getWorkspaceUsage(o, i));
  take<boolean>(await api.doesWorkspaceExist(o, w, i));
  take<string>(await api.getCallDetailsForWorkspace(o, w, i));
  take<string>(await api.getMissingOrBufferingCalls(o, w, i, "x"));
  take<string>(await api.getFileNamesInDir("x", "x"));
  take<boolean>(await api.isCallInWorkspace(o, i, "x"));
  take<string>(await api.getTimelineVols(o, w, i));
  take<boolean>(await api.writeWSGridColOrder(o, w, i, "x"));
  take<string | undefined>(await api.readWSGridColOrder(o, w, i));
  take<boolean>(await api.writeWSGridColWidth(o, w, i, "x", "x"));
  take<string | undefined>(await api.readWSGridColWidth(o, w, i, "x"));
  take<boolean>(await api.writeWSGridColHidden(o, w, i, "x", "x"));
  take<string | undefined>(await api.readWSGridColHidden(o, w, i, "x"));
  take<boolean>(await api.writeWSTimelineZoomLevel(o, w, i, "x"));
  take<string | undefined>(await api.readWSTimelineZoomLevel(o, w, i));
  take<boolean>(await api.writeWSTimelineYAxisField(o, w, i, "x"));
  take<string | undefined>(await api.readWSTimelineYAxisField(o, w, i));
  take<boolean>(await api.writeWSTimelineNavVisible(o, w, i, "x"));
  take<string | undefined>(await api.readWSTimelineNavVisible(o, w, i));
  take<boolean>(await api.writeWSCurrentView(o, w, i, "x"));
  take<string | undefined>(await api.readWSCurrentView(o, w, i));
  take<boolean>(await api.writeWSCurrentReplayMode(o, w, i, "x"));
  take<string | undefined>(await api.readWSCurrentReplayMode(o, w, i));
  take<boolean>(await api.writeWSYAxisOrder(o, w, i, "x"));
  take<string | undefined>(await api.readWSYAxisOrder(o, w, i));
  take<boolean>(await api.writeWSTimelineLicensed(o, w, i, "x", "x"));
  take<string | undefined>(await api.readWSTimelineLicensed(o, w, i, "x"));
  take<boolean>(await api.writeWSCreatedRecID(o, w, i, "x"));
  take<string | undefined>(await api.readWSCreatedRecID(o, w, i));
  take<boolean>(await api.writeWSHighPrecision(o, w, i, "x"));
  take<string | undefined>(await api.readWSHighPrecision(o, w, i));
  take<boolean>(await api.writeWSTimelineConcurrentLicenses(o, w, i, "x"));
  take<string | undefined>(await api.readWSTimelineConcurrentLicenses(o, w, i));
  take<boolean>(await api.writeWSNavPosition(o, w, i, "x"));
  take<string | undefined>(await api.readWSNavPosition(o, w, i));
  take<boolean>(await api.writeWSTimelineVol(o, w, i, "x", "x"));
  take<boolean>(await api.writeWSGridSortColumn(o, w, i, "x"));
  take<string | undefined>(await api.readWSGridSortColumn(o, w, i));
  take<boolean>(await api.writeWSGridColumnSortOrder(o, w, i, "x"));
  take<string | undefined>(await api.readWSGridColumnSortOrder(o, w, i));
  take<boolean>(await api.writeWSGridLastPage(o, w, i, "x"));
  take<string | undefined>(await api.readWSGridLastPage(o, w, i));
  take<boolean>(await api.writeWSExtendedCallsOpen(o, w, i, "x"));
  take<string | undefined>(await api.readWSExtendedCallsOpen(o, w, i));
  take<boolean>(await api.setWorkspaceState(o, w, i, "x"));
  take<string | undefined>(await api.isWorkspaceOpen(o, w, i));
  take<boolean>(await api.workspaceChanged(o, w, i, "x"));
  take<string | undefined>(await api.hasWorkspaceChanged(o, w, i));
  take<boolean>(await api.checkAccessRights("x"));
  take<boolean>(await api.fileExists("x"));
  take<boolean>(await api.launchExe("x"));
}

export { everyMethod, list, created, usage, view, stored, position, mustBeText, unchecked, names, firstDetail, volumes, wrongDetail };
