// A page script checked against the declarations with tsc --strict: what
// page authors write compiles, and the usual mistakes do not.
import type {
  DravenilCallRecord,
  DravenilFileAccessPlugin,
  DravenilResultParser,
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

export { list, created, usage, view, stored, position, mustBeText, unchecked, names, firstDetail, volumes, wrongDetail };
