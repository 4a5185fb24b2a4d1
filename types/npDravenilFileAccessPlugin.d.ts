// The scriptable object of npDravenilFileAccessPlugin, as page script sees it.
// Written by api-reference from the method table; do not edit by hand.
// A call with a wrong argument count or type gives undefined; a name that is not a
// method throws "exception during invocation". See docs/script-api.md.

export interface DravenilFileAccessPlugin {
  /** Remembers the exchange folder and reads the first line of ReplayPos.dat (ReplayPosWS.dat when ws is true), the player's replay position. */
  readCurrentReplayPos(ws: boolean, exchangeFolder: string): string | undefined;

  /** Remembers the exchange folder and reads the first line of ReplayUpdate.dat (ReplayUpdateWS.dat), the player's latest replay update. */
  checkReplayUpdate(ws: boolean, exchangeFolder: string): string | undefined;

  /** Remembers the exchange folder, writes the command "rp <position>" to TimelineUpdate.dat (TimelineUpdateWS.dat) and the position to ReplayPos.dat (ReplayPosWS.dat). Each file is opened for writing only (a player may hold it sharing writes alone), cut, then written whole: a player polling it sees its old content, nothing, or the new content, never a mix. true once the command is written, whatever became of ReplayPos.dat (it keeps its old position when it cannot be written): the player has the command, and a page that tried again would send it twice. */
  setReplayPos(position: string, ws: boolean, exchangeFolder: string): boolean | undefined;

  /** Writes the command "pb" to the command file of the exchange folder the last folder-taking call named. */
  startPlayback(ws: boolean): boolean | undefined;

  /** Remembers the exchange folder and writes the command "st" to its command file. */
  stopPlayback(ws: boolean, exchangeFolder: string): boolean | undefined;

  /** Remembers the exchange folder and deletes its eight exchange files, plain and WS; nothing else in the folder is touched. True when none of them is there afterwards, also when none was there before. */
  resetSync(exchangeFolder: string): boolean;

  /** Reads the first line of CurrentCall.dat (CurrentCallWS.dat) in the exchange folder the last folder-taking call named: the call the player has loaded. */
  getCurrentCallID(ws: boolean): string | undefined;

  /** Lists the workspaces of the workspace set as ['North','South'], each name a quoted JavaScript string literal (backslash, quote and line ends escaped), files in the set folder too, in the order the file system gives. */
  getWorkspaceList(outerName: string, innerName: string): string;

  /** Creates the workspace folder, with every level above it and its Calls subfolder, where missing. */
  createWSFolder(outerName: string, workspaceName: string, innerName: string): boolean;

  /** Renames a workspace of the set. */
  renameWS(outerName: string, oldWorkspaceName: string, newWorkspaceName: string, innerName: string): boolean;

  /** Deletes the workspace folder and everything in it, outright (not to the recycle bin). A file another program holds only for a moment with delete sharing (the search indexer, an antivirus scanner) is waited for, about 1.5 s at most. */
  deleteWorkspace(outerName: string, workspaceName: string, innerName: string): boolean;

  /** Copies the whole content of a workspace into another of the set, creating it when missing and replacing files of the same name. */
  copyWSFolder(outerName: string, innerName: string, sourceWorkspaceName: string, destinationWorkspaceName: string): boolean;

  /** The size of all workspaces of the set in GiB, each file counted in whole KiB by the size its folder lists (links to files too, never followed); hidden folders and links to folders are left out. Best effort: a folder that cannot be listed counts 0 and the rest is summed. */
  getWorkspaceUsage(outerName: string, innerName: string): number;

  /** Tells whether a folder or a file of the workspace name exists in the set. */
  doesWorkspaceExist(outerName: string, workspaceName: string, innerName: string): boolean;

  /** Reads the workspace's call details file Calls.dat as [[callKey,detailCount,[detailKey,'first','second'],...],...]; a file cut short gives its complete records. */
  getCallDetailsForWorkspace(outerName: string, workspaceName: string, innerName: string): string;

  /** Of the comma-separated call names, those without an entry in the workspace's Calls subfolder, in list order, joined by "," (names compare case-sensitively). */
  getMissingOrBufferingCalls(outerName: string, workspaceName: string, innerName: string, callList: string): string;

  /** The files of any folder whose names end in the four-character suffix (such as ".wav"), joined by ","; folders are never listed. */
  getFileNamesInDir(folder: string, suffix: string): string;

  /** Tells whether any workspace of the set has an entry of exactly that name in its Calls subfolder. */
  isCallInWorkspace(outerName: string, innerName: string, callName: string): boolean;

  /** Lists the volume of every timeline line stored in the workspace, in file order, as [[line,volume],...], nothing quoted, however many there are. */
  getTimelineVols(outerName: string, workspaceName: string, innerName: string): string;

  /** Stores the order of the grid columns. */
  writeWSGridColOrder(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads the order of the grid columns, at most 299 bytes of it. */
  readWSGridColOrder(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores the width of the grid column named by key. */
  writeWSGridColWidth(outerName: string, workspaceName: string, innerName: string, key: string, value: string): boolean;

  /** Reads the width of the grid column named by key, at most 9 bytes of it. */
  readWSGridColWidth(outerName: string, workspaceName: string, innerName: string, key: string): string | undefined;

  /** Stores whether the grid column named by key is hidden. */
  writeWSGridColHidden(outerName: string, workspaceName: string, innerName: string, key: string, value: string): boolean;

  /** Reads whether the grid column named by key is hidden, at most 9 bytes of it. */
  readWSGridColHidden(outerName: string, workspaceName: string, innerName: string, key: string): string | undefined;

  /** Stores the timeline's zoom level. */
  writeWSTimelineZoomLevel(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads the timeline's zoom level, at most 9 bytes of it. */
  readWSTimelineZoomLevel(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores the field on the timeline's Y axis. */
  writeWSTimelineYAxisField(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads the field on the timeline's Y axis, at most 9 bytes of it. */
  readWSTimelineYAxisField(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores whether the timeline navigator is visible. */
  writeWSTimelineNavVisible(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads whether the timeline navigator is visible, at most 9 bytes of it. */
  readWSTimelineNavVisible(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores the page's current view. */
  writeWSCurrentView(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads the page's current view, at most 9 bytes of it. */
  readWSCurrentView(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores the current replay mode. */
  writeWSCurrentReplayMode(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads the current replay mode, at most 9 bytes of it. */
  readWSCurrentReplayMode(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores the order of the Y-axis lines. */
  writeWSYAxisOrder(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads the order of the Y-axis lines, at most 9999 bytes of it. */
  readWSYAxisOrder(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores the licensed-lines entry of the timeline line named by key. */
  writeWSTimelineLicensed(outerName: string, workspaceName: string, innerName: string, key: string, value: string): boolean;

  /** Reads the licensed-lines entry of the timeline line named by key, at most 9 bytes of it. */
  readWSTimelineLicensed(outerName: string, workspaceName: string, innerName: string, key: string): string | undefined;

  /** Stores the identifier of a created record. */
  writeWSCreatedRecID(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads the identifier of a created record, at most 9 bytes of it. */
  readWSCreatedRecID(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores the high-precision setting. */
  writeWSHighPrecision(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads the high-precision setting, at most 9 bytes of it. */
  readWSHighPrecision(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores the timeline's concurrent-licences axis lines. */
  writeWSTimelineConcurrentLicenses(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads the timeline's concurrent-licences axis lines, at most 9 bytes of it. */
  readWSTimelineConcurrentLicenses(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores the position of the timeline navigator. */
  writeWSNavPosition(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads the position of the timeline navigator, at most 9999 bytes of it. */
  readWSNavPosition(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores the volume of the timeline line named by key; false also when the key or the value holds ",", "[" or "]", which would forge entries of the volume list. */
  writeWSTimelineVol(outerName: string, workspaceName: string, innerName: string, key: string, value: string): boolean;

  /** Stores the column the call grid is sorted by. */
  writeWSGridSortColumn(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads the column the call grid is sorted by, at most 9 bytes of it. */
  readWSGridSortColumn(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores the grid's sort order. */
  writeWSGridColumnSortOrder(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads the grid's sort order, at most 9 bytes of it. */
  readWSGridColumnSortOrder(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores the last grid page shown. */
  writeWSGridLastPage(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads the last grid page shown, at most 9 bytes of it. */
  readWSGridLastPage(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores whether the extended call identifiers are open. */
  writeWSExtendedCallsOpen(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads whether the extended call identifiers are open, at most 9 bytes of it. */
  readWSExtendedCallsOpen(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores whether the workspace is open. */
  setWorkspaceState(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads whether the workspace is open, at most 9 bytes of it. */
  isWorkspaceOpen(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Stores whether the workspace has changed. */
  workspaceChanged(outerName: string, workspaceName: string, innerName: string, value: string): boolean;

  /** Reads whether the workspace has changed, at most 9 bytes of it. */
  hasWorkspaceChanged(outerName: string, workspaceName: string, innerName: string): string | undefined;

  /** Creates the folder and the missing folders above it, then tells whether a file can be created there (a probe file TestFile.txt is made and removed). The folders stay. */
  checkAccessRights(folder: string): boolean;

  /** Tells whether the file can be opened for reading now. */
  fileExists(path: string): boolean;

  /** Starts the program the command line names (read in the system's ANSI code page), detached, without waiting for it. */
  launchExe(commandLine: string): boolean;
}

/** One record of getCallDetailsForWorkspace's text. */
export interface DravenilCallRecord {
  key: number;
  count: number;
  details: { id: number; name: string; value: string }[];
}

/**
 * Strict readers of the bracketed result texts, which never evaluate them. The
 * failure texts a method documents come back as null; any other text not exactly of
 * its form throws a SyntaxError. DravenilFileAccess.parse is one; the file
 * extension/npDravenilFileAccessParse.js, beside the client, defines the same as
 * DravenilParse.
 */
export interface DravenilResultParser {
  /** getWorkspaceList's text: the names; null for "" and "Failed to get folder path". */
  workspaceList(text: string): string[] | null;
  /**
   * getCallDetailsForWorkspace's text: the call records; null for "Failed to open file"
   * and "Failed to get folder path".
   */
  callDetails(text: string): DravenilCallRecord[] | null;
  /** getTimelineVols's text: [line, volume] pairs, as stored. */
  volumes(text: string): [string, string][];
}

/** The route ready() found: the extension's, or the plug-in's embed. */
/**
 * How far a long call is (copy, delete and usage count entries and bytes; call
 * details count bytes read). The last report comes just before the answer.
 */
export interface DravenilProgress {
  entriesDone: number;
  bytesDone: number;
  entriesTotal?: number;
  bytesTotal?: number;
}

/** The name of every error a call or ready() rejects with (see the reference). */
export type DravenilErrorName =
  | "TypeError" | "RangeError" | "InvocationError" | "NotInstalledError"
  | "PolicyRefusedError" | "HostMissingError" | "HostForbiddenError"
  | "HostEndedError" | "QueueFullError" | "AbortError";

/**
 * What a call of the Promise API may take after its arguments. On the
 * extension's route onProgress hears how far a long call is, at most every
 * 100 ms, and an aborted signal stops it at its next entry: the promise then
 * rejects with a DOMException named AbortError. The plug-in's route reports
 * nothing, and only a signal aborted before the call stops it.
 */
export interface DravenilCallOptions {
  onProgress?: (progress: DravenilProgress) => void;
  signal?: AbortSignal;
}

export interface DravenilRoute {
  route: "extension" | "plugin";
  version: string;
}

/**
 * window.DravenilFileAccess, from npDravenilFileAccess.js or the extension: each
 * method resolves with what the plug-in's method gives. A wrong argument count or
 * type rejects with a TypeError naming the method and the argument; a name that is
 * not a method rejects with "exception during invocation: NAME".
 */
export interface DravenilFileAccess {
  /** Resolves once a route is found; rejects when the page has none. */
  ready(options?: { timeout?: number }): Promise<DravenilRoute>;
  /** Calls a method by name. */
  call(name: string, ...args: (string | boolean | DravenilCallOptions)[]): Promise<string | boolean | number | undefined>;
  /** The strict readers of the bracketed result texts. */
  readonly parse: DravenilResultParser;
  /** Remembers the exchange folder and reads the first line of ReplayPos.dat (ReplayPosWS.dat when ws is true), the player's replay position. */
  readCurrentReplayPos(ws: boolean, exchangeFolder: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Remembers the exchange folder and reads the first line of ReplayUpdate.dat (ReplayUpdateWS.dat), the player's latest replay update. */
  checkReplayUpdate(ws: boolean, exchangeFolder: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Remembers the exchange folder, writes the command "rp <position>" to TimelineUpdate.dat (TimelineUpdateWS.dat) and the position to ReplayPos.dat (ReplayPosWS.dat). Each file is opened for writing only (a player may hold it sharing writes alone), cut, then written whole: a player polling it sees its old content, nothing, or the new content, never a mix. true once the command is written, whatever became of ReplayPos.dat (it keeps its old position when it cannot be written): the player has the command, and a page that tried again would send it twice. */
  setReplayPos(position: string, ws: boolean, exchangeFolder: string, options?: DravenilCallOptions): Promise<boolean | undefined>;
  /** Writes the command "pb" to the command file of the exchange folder the last folder-taking call named. */
  startPlayback(ws: boolean, options?: DravenilCallOptions): Promise<boolean | undefined>;
  /** Remembers the exchange folder and writes the command "st" to its command file. */
  stopPlayback(ws: boolean, exchangeFolder: string, options?: DravenilCallOptions): Promise<boolean | undefined>;
  /** Remembers the exchange folder and deletes its eight exchange files, plain and WS; nothing else in the folder is touched. True when none of them is there afterwards, also when none was there before. */
  resetSync(exchangeFolder: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the first line of CurrentCall.dat (CurrentCallWS.dat) in the exchange folder the last folder-taking call named: the call the player has loaded. */
  getCurrentCallID(ws: boolean, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Lists the workspaces of the workspace set as ['North','South'], each name a quoted JavaScript string literal (backslash, quote and line ends escaped), files in the set folder too, in the order the file system gives. */
  getWorkspaceList(outerName: string, innerName: string, options?: DravenilCallOptions): Promise<string>;
  /** Creates the workspace folder, with every level above it and its Calls subfolder, where missing. */
  createWSFolder(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Renames a workspace of the set. */
  renameWS(outerName: string, oldWorkspaceName: string, newWorkspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Deletes the workspace folder and everything in it, outright (not to the recycle bin). A file another program holds only for a moment with delete sharing (the search indexer, an antivirus scanner) is waited for, about 1.5 s at most. */
  deleteWorkspace(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Copies the whole content of a workspace into another of the set, creating it when missing and replacing files of the same name. */
  copyWSFolder(outerName: string, innerName: string, sourceWorkspaceName: string, destinationWorkspaceName: string, options?: DravenilCallOptions): Promise<boolean>;
  /** The size of all workspaces of the set in GiB, each file counted in whole KiB by the size its folder lists (links to files too, never followed); hidden folders and links to folders are left out. Best effort: a folder that cannot be listed counts 0 and the rest is summed. */
  getWorkspaceUsage(outerName: string, innerName: string, options?: DravenilCallOptions): Promise<number>;
  /** Tells whether a folder or a file of the workspace name exists in the set. */
  doesWorkspaceExist(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the workspace's call details file Calls.dat as [[callKey,detailCount,[detailKey,'first','second'],...],...]; a file cut short gives its complete records. */
  getCallDetailsForWorkspace(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string>;
  /** Of the comma-separated call names, those without an entry in the workspace's Calls subfolder, in list order, joined by "," (names compare case-sensitively). */
  getMissingOrBufferingCalls(outerName: string, workspaceName: string, innerName: string, callList: string, options?: DravenilCallOptions): Promise<string>;
  /** The files of any folder whose names end in the four-character suffix (such as ".wav"), joined by ","; folders are never listed. */
  getFileNamesInDir(folder: string, suffix: string, options?: DravenilCallOptions): Promise<string>;
  /** Tells whether any workspace of the set has an entry of exactly that name in its Calls subfolder. */
  isCallInWorkspace(outerName: string, innerName: string, callName: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Lists the volume of every timeline line stored in the workspace, in file order, as [[line,volume],...], nothing quoted, however many there are. */
  getTimelineVols(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string>;
  /** Stores the order of the grid columns. */
  writeWSGridColOrder(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the order of the grid columns, at most 299 bytes of it. */
  readWSGridColOrder(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the width of the grid column named by key. */
  writeWSGridColWidth(outerName: string, workspaceName: string, innerName: string, key: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the width of the grid column named by key, at most 9 bytes of it. */
  readWSGridColWidth(outerName: string, workspaceName: string, innerName: string, key: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores whether the grid column named by key is hidden. */
  writeWSGridColHidden(outerName: string, workspaceName: string, innerName: string, key: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads whether the grid column named by key is hidden, at most 9 bytes of it. */
  readWSGridColHidden(outerName: string, workspaceName: string, innerName: string, key: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the timeline's zoom level. */
  writeWSTimelineZoomLevel(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the timeline's zoom level, at most 9 bytes of it. */
  readWSTimelineZoomLevel(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the field on the timeline's Y axis. */
  writeWSTimelineYAxisField(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the field on the timeline's Y axis, at most 9 bytes of it. */
  readWSTimelineYAxisField(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores whether the timeline navigator is visible. */
  writeWSTimelineNavVisible(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads whether the timeline navigator is visible, at most 9 bytes of it. */
  readWSTimelineNavVisible(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the page's current view. */
  writeWSCurrentView(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the page's current view, at most 9 bytes of it. */
  readWSCurrentView(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the current replay mode. */
  writeWSCurrentReplayMode(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the current replay mode, at most 9 bytes of it. */
  readWSCurrentReplayMode(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the order of the Y-axis lines. */
  writeWSYAxisOrder(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the order of the Y-axis lines, at most 9999 bytes of it. */
  readWSYAxisOrder(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the licensed-lines entry of the timeline line named by key. */
  writeWSTimelineLicensed(outerName: string, workspaceName: string, innerName: string, key: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the licensed-lines entry of the timeline line named by key, at most 9 bytes of it. */
  readWSTimelineLicensed(outerName: string, workspaceName: string, innerName: string, key: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the identifier of a created record. */
  writeWSCreatedRecID(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the identifier of a created record, at most 9 bytes of it. */
  readWSCreatedRecID(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the high-precision setting. */
  writeWSHighPrecision(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the high-precision setting, at most 9 bytes of it. */
  readWSHighPrecision(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the timeline's concurrent-licences axis lines. */
  writeWSTimelineConcurrentLicenses(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the timeline's concurrent-licences axis lines, at most 9 bytes of it. */
  readWSTimelineConcurrentLicenses(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the position of the timeline navigator. */
  writeWSNavPosition(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the position of the timeline navigator, at most 9999 bytes of it. */
  readWSNavPosition(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the volume of the timeline line named by key; false also when the key or the value holds ",", "[" or "]", which would forge entries of the volume list. */
  writeWSTimelineVol(outerName: string, workspaceName: string, innerName: string, key: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Stores the column the call grid is sorted by. */
  writeWSGridSortColumn(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the column the call grid is sorted by, at most 9 bytes of it. */
  readWSGridSortColumn(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the grid's sort order. */
  writeWSGridColumnSortOrder(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the grid's sort order, at most 9 bytes of it. */
  readWSGridColumnSortOrder(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores the last grid page shown. */
  writeWSGridLastPage(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads the last grid page shown, at most 9 bytes of it. */
  readWSGridLastPage(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores whether the extended call identifiers are open. */
  writeWSExtendedCallsOpen(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads whether the extended call identifiers are open, at most 9 bytes of it. */
  readWSExtendedCallsOpen(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores whether the workspace is open. */
  setWorkspaceState(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads whether the workspace is open, at most 9 bytes of it. */
  isWorkspaceOpen(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Stores whether the workspace has changed. */
  workspaceChanged(outerName: string, workspaceName: string, innerName: string, value: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Reads whether the workspace has changed, at most 9 bytes of it. */
  hasWorkspaceChanged(outerName: string, workspaceName: string, innerName: string, options?: DravenilCallOptions): Promise<string | undefined>;
  /** Creates the folder and the missing folders above it, then tells whether a file can be created there (a probe file TestFile.txt is made and removed). The folders stay. */
  checkAccessRights(folder: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Tells whether the file can be opened for reading now. */
  fileExists(path: string, options?: DravenilCallOptions): Promise<boolean>;
  /** Starts the program the command line names (read in the system's ANSI code page), detached, without waiting for it. */
  launchExe(commandLine: string, options?: DravenilCallOptions): Promise<boolean>;
}

declare global {
  const DravenilFileAccess: DravenilFileAccess;
  interface Window {
    readonly DravenilFileAccess: DravenilFileAccess;
  }
}
