// api-reference: writes the script API's reference for page authors from the
// method table, the one place that knows every method.
//
//   api-reference FOLDER
//
// writes FOLDER/docs/script-api.md, FOLDER/types/npDravenilFileAccessPlugin.d.ts
// and the extension's list of methods, FOLDER/extension/methods.js.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "scriptable/method_table.h"

namespace fs = std::filesystem;
using scriptable::ArgType;
using scriptable::MethodGroup;
using scriptable::MethodRow;

namespace {

struct Group {
    MethodGroup group;
    const char* title;
    const char* introduction;
};

const Group kGroups[] = {
    {MethodGroup::ReplayControl, "Replay control",
     "Drive and follow the desktop replay player through the exchange folder the page names. "
     "With ws true each method uses the \"WS\" file of its pair (ReplayPosWS.dat and so on). "
     "startPlayback and getCurrentCallID use the folder of the last call that named one."},
    {MethodGroup::Workspaces, "Workspaces",
     "Workspaces live below the user's local application-data folder, in "
     "Dravenil\\Workspaces\\<outerName>\\<innerName>\\<workspaceName>. The argument order "
     "differs between methods, as the signatures show. That folder is found by its full name, "
     "so a user whose profile folder is named in characters the system's ANSI code page lacks "
     "is served too. The names page script gives are read in that code page, as they always "
     "were, so existing workspaces stay where they are: under code page 1252 the UTF-8 bytes "
     "of \"Zo\u00eb\" name a folder \"Zo\u00c3\u00ab\"."},
    {MethodGroup::Calls, "Calls",
     "The calls a workspace holds, and file lists of any folder.\n\n"
     "A workspace's call details file, `Calls.dat`, is written by the program that fills "
     "workspaces. Its layout, little-endian and without padding: an int32 record count; per "
     "record an int32 call key and an int32 detail count; per detail an int32 detail key, a "
     "text with a one-byte length, and a text with a length of one byte (below 128) or two "
     "(L - 128 + 128 times the next byte). A text ends at its first NUL byte; the position "
     "still moves on by its declared length. A file that ends inside a record gives the "
     "records before it. `node scripts/sample-workspace.js --outer O --inner I --workspace W "
     "[--records N]` writes a workspace of such data, with settings, to try a page against."},
    {MethodGroup::Settings, "Settings",
     "Per-workspace view settings in the workspace's Workspace.ini, one value at a time. A "
     "read comes back cut to its capacity, never in the middle of a UTF-8 character; the file "
     "keeps the whole value."},
    {MethodGroup::HostUtilities, "Host utilities",
     "Probing files and folders, and starting programs."},
};

const char* TypeName(ArgType type) { return type == ArgType::Bool ? "boolean" : "string"; }

std::string Signature(const MethodRow& row) {
    std::string text = std::string(row.name) + "(";
    for (uint32_t i = 0; i < row.argumentCount; ++i) {
        text += std::string(i ? ", " : "") + row.doc.parameters[i].name + ": " +
                TypeName(row.argumentTypes[i]);
    }
    return text + "): " + row.resultType;
}

std::string SettingNote(const MethodRow& row) {
    if (!row.setting.section) return "";
    std::string note = "Section `" + std::string(row.setting.section) + "`, key ";
    note += row.setting.key ? "`" + std::string(row.setting.key) + "`" : "given by `key`";
    if (row.setting.readCapacity) {
        note += "; at most " + std::to_string(row.setting.readCapacity - 1) + " bytes come back";
    }
    return note + ".";
}

// "`a`, `b`, `c`": the methods that may run long, in table order.
std::string LongMethods() {
    std::string list;
    for (const MethodRow& row : scriptable::Methods()) {
        if (row.doc.pace != scriptable::Pace::Long) continue;
        list += (list.empty() ? "`" : ", `") + std::string(row.name) + "`";
    }
    return list;
}

// How a page finds the API on either route, and what differs between them.
std::string Routes() {
    return "## One page, either route\n\n"
           "Include the client script `npDravenilFileAccess.js` (written by `scripts/extension.sh "
           "--out DIR` into DIR, the same file the extension puts into every page it serves) and "
           "wait for it:\n\n"
           "```js\n"
           "const { route, version } = await DravenilFileAccess.ready();\n"
           "const names = DravenilFileAccess.parse.workspaceList(\n"
           "    await DravenilFileAccess.getWorkspaceList(\"Team\", \"2026\")) ?? [];\n"
           "```\n\n"
           "`ready({timeout})` resolves with `{route, version}`: `\"extension\"` when the "
           "extension serves this page's origin and can serve it now (`version` is the "
           "extension's), else `\"plugin\"` when the browser has a plug-in for the MIME type "
           "(`version` is the plug-in's as the browser lists it). The client then writes a "
           "hidden embed element itself and waits for its object. A page loaded before the "
           "extension could serve it (the first page after the browser starts) waits for the "
           "extension to announce itself, up to `timeout` milliseconds (15,000 when not "
           "given), and then resolves without a reload. A rejected `ready()` may be called "
           "again: it looks afresh. Every method of `DravenilFileAccess` returns a "
           "promise of exactly the value the plug-in's method gives, whichever the route; "
           "`DravenilFileAccess.call(name, ...args)` calls by name, and "
           "`DravenilFileAccess.parse` reads the bracketed texts. A method called before "
           "`ready()` waits for it.\n\n"
           "| | the plug-in's object | `DravenilFileAccess` (either route) |\n"
           "|---|---|---|\n"
           "| answers | at once, as the value | a promise of the same value |\n"
           "| a failure of the call itself | throws | rejects |\n"
           "| wrong argument count or type | does nothing, gives `undefined` | rejects with "
           "`TypeError` naming the method and the argument, and calls nothing |\n"
           "| a name that is not a method | throws \"exception during invocation\" | rejects "
           "with \"exception during invocation: NAME\" |\n\n"
           "### Long calls: progress and cancel\n\n"
           "On the extension's route the host runs the long methods (" +
           LongMethods() +
           ") beside the "
           "others, so a short call made meanwhile is answered at once; answers may therefore "
           "come in another order than the calls. Calls that name the same workspace (or, for "
           "a method that names a whole set, any workspace of that set) still run in the order "
           "they were made. Each method takes, after its arguments, an optional "
           "`{onProgress, signal}`:\n\n"
           "```js\n"
           "const stop = new AbortController();\n"
           "await DravenilFileAccess.copyWSFolder(\"Team\", \"2026\", \"North\", \"North copy\", "
           "{\n"
           "  onProgress: ({ entriesDone, bytesDone, entriesTotal, bytesTotal }) => "
           "show(bytesDone, "
           "bytesTotal),\n"
           "  signal: stop.signal,\n"
           "});\n"
           "```\n\n"
           "- `onProgress` hears how far a walk is (copy, delete, usage: entries and bytes "
           "done, always with the totals: a copy or delete counts them before it starts, and "
           "usage reports once it has listed every folder), or how many bytes of the call "
           "details are read, at most every 100 ms and never after the answer. The last report "
           "comes just before the answer and holds what the call did in all, so a bar that "
           "follows `entriesDone / entriesTotal` ends where the call ended (`bytesDone` may "
           "reach its total early when most files are empty). A call that ends within 100 ms "
           "may report only that last one.\n"
           "- Aborting `signal` stops the walk at its next entry, and the promise rejects with a "
           "`DOMException` named `AbortError` once the host has stopped. A cancelled copy leaves "
           "what it has copied (the page decides whether to delete it); a cancelled delete "
           "leaves what it has not yet deleted. A call that ended before the cancel arrived keeps "
           "its answer; a short call is not stopped.\n"
           "- Calls belong to the document that made them: only it hears their progress and "
           "can cancel them, and leaving the page (a navigation, a closed tab) cancels what it "
           "still runs.\n"
           "- Calls that must wait for others on their workspace are bounded: beyond 64 "
           "waiting calls, or 32 MB of their arguments, a call rejects at once with "
           "`QueueFullError`.\n"
           "- On the plug-in's route calls answer at once: nothing is reported, and only a "
           "signal aborted before the call stops it.\n\n"
           "A method's documented failure result (`false`, `\"\"`, `undefined`, "
           "`\"Failed to open file\"` ...) is an answer, not an error: it resolves.\n\n"
           "### Errors\n\n"
           "Every rejection has a `name` from this table; branch on it, not on the words, "
           "which may change.\n\n"
           "| `name` | message | cause | what to do |\n"
           "|---|---|---|---|\n"
           "| `TypeError` | `NAME: takes N arguments (...), not M`; `NAME: argument I "
           "(PARAMETER) must be a string, not a number` | a wrong argument count or type | pass "
           "the arguments the signature names |\n"
           "| `RangeError` | `the arguments cannot be sent: more than 64 MB` | extension route: "
           "one call's arguments exceed what the host takes | send less at once |\n"
           "| `InvocationError` | `exception during invocation: NAME` | NAME is not a method, "
           "or the plug-in's object threw | check the name's spelling and case |\n"
           "| `NotInstalledError` | `no route to the file access plug-in for ORIGIN: ...` "
           "(from `ready()` and every call) | neither route is there: the extension is not "
           "installed, or it cannot serve this origin (the origin policy does not name it, or "
           "its host is missing or does not allow it, and it could not say which in a new "
           "profile), and no plug-in is registered for the MIME type | the extension's "
           "toolbar button (its status page) shows which, where it is installed; or run "
           "`npDravenilFileAccessHost.exe --check ORIGIN` |\n"
           "| `PolicyRefusedError` | `the administrator's origin policy does not allow this "
           "page's origin`; `the plug-in gave this page no object: ...` | the origin policy "
           "does not name this page's origin (also when it was narrowed after the page "
           "loaded) | have the administrator add the origin to `AllowedOrigins` |\n"
           "| `HostMissingError` | `the file access host is not installed for this browser: "
           "...` | extension route: the host's manifest is not registered for this browser | "
           "install the package, which registers it under "
           "`HKLM\\\\Software\\\\<browser>\\\\NativeMessagingHosts\\\\com.dravenil.fileaccess` |\n"
           "| `HostForbiddenError` | `the file access host's manifest does not allow this "
           "extension (ID): ...` | extension route: the host's manifest names another "
           "extension id | install the package built for this extension "
           "(`scripts/package.sh --extension-key`) |\n"
           "| `HostEndedError` | `the file access host ended: ...` | extension route: the host "
           "or the extension's worker went away during the call | call again: the next call "
           "starts a new host |\n"
           "| `QueueFullError` | `too many calls of this page wait for its host: ...` | "
           "extension route: 64 calls, or 32 MB of arguments, already wait for others on their "
           "workspace | call again once some are answered |\n"
           "| `AbortError` (a `DOMException`) | `the call was cancelled` | the call's signal "
           "was aborted and the host stopped it | what the call had done stays; call again to "
           "go on |\n\n";
}

std::string Markdown() {
    std::ostringstream md;
    md << "# Script API of npDravenilFileAccessPlugin\n\n"
       << "<!-- Written by api-reference from the method table; do not edit by hand. -->\n\n"
       << "Page script reaches these methods over one of two routes: the plug-in's embed "
          "element of type `application/x-dravenilfileaccessplugin`, or the browser extension "
          "with its native-messaging host. TypeScript declarations of both: "
          "[`types/npDravenilFileAccessPlugin.d.ts`](../types/npDravenilFileAccessPlugin.d.ts).\n\n"
       << Routes() << "## Rules shared by all methods\n\n"
       << "- A call with the wrong number of arguments, or an argument of the wrong type (a "
          "number where a string is expected, `null`, `undefined`), does nothing and gives "
          "`undefined`. Strings are never turned into booleans or the other way round.\n"
       << "- A name that is not a method raises the exception \"exception during "
          "invocation\".\n"
       << "- Strings pass as UTF-8 bytes to the system's narrow (ANSI) file functions, and bytes "
          "read from files come back unchanged.\n"
       << "- A string argument that holds a NUL character (`\\u0000`) is refused with the "
          "method's failure result: no method acts on the text before the NUL. A path or "
          "command-line argument longer than 32,767 bytes, more than any Windows path can be, "
          "is refused the same way before anything is made of it.\n"
       << "- A workspace name (outer, inner, workspace or call name) is refused when it is "
          "empty, made only of dots and spaces, ends in a dot or a space, is a device name "
          "(`CON`, `PRN`, `AUX`, `NUL`, `COM0`-`COM9`, `LPT0`-`LPT9`, `CONIN$`, `CONOUT$`, in "
          "any case, alone or with an extension such as `aux.txt`), or holds "
          "`\\ / : * ? \" < > |` or a control character, and when the composed path would be "
          "longer than 259 characters. A refused call touches nothing on disk and gives the "
          "method's failure result.\n"
       << "- The bracketed texts (`getWorkspaceList`, `getCallDetailsForWorkspace`, "
          "`getTimelineVols`) are JavaScript array literals. Quoted texts in them escape "
          "backslash, single quote, CR, LF, U+2028, U+2029 and other control characters "
          "(`\\\\ \\' \\r \\n \\u2028 \\u2029 \\xHH`), so that evaluating one gives "
          "exactly the stored names and texts; a text without them is unchanged. Do not "
          "evaluate them: read them with `DravenilFileAccess.parse`, or `DravenilParse` from "
          "[`extension/npDravenilFileAccessParse.js`](../extension/npDravenilFileAccessParse.js) "
          "alone (`workspaceList`, `callDetails`, `volumes`; typed as `DravenilResultParser`; "
          "the failure texts a method documents come back as `null`). Volume texts are not "
          "quoted: their line names and volumes are written as stored.\n"
       << "- Deleting, copying and measuring a workspace reach its content at any depth. "
          "The folders above a workspace (the local application-data folder down to the outer "
          "and inner names) are reached by their paths, through any link or junction on the "
          "way: that is how an administrator moves a whole set of workspaces to another "
          "drive. From the set folder down (the workspace itself and everything in it) no "
          "method that names a workspace reads or writes through a symbolic link, a junction "
          "or a file that has other names (a hard link, which is the file itself, wherever "
          "its other name is): delete removes a link or a name itself, never what it leads to "
          "nor the file's other names; copy answers false and neither copies through a link, "
          "nor reads a file with other names into the copy, nor writes into one at its "
          "destination (what else it copied stays); usage counts a link to a file and a file "
          "with other names by its listed size and leaves a link to a folder out. A file or "
          "folder that Windows keeps as another kind of reparse point (compressed by the "
          "system, deduplicated, a cloud placeholder) is deleted and copied like any other. "
          "The walks hold this while they run: they hold the set folder open and reach each "
          "entry below it by handle, and enter, read, write or remove an entry only while it "
          "is still the one its folder listed, so an entry swapped for a link meanwhile is "
          "left alone (a delete then answers false, and a copy is not whole). The other "
          "methods that reach a workspace by path (the settings methods, `getTimelineVols`, "
          "`getCallDetailsForWorkspace`, `getMissingOrBufferingCalls`, `isCallInWorkspace`, "
          "`createWSFolder`, `renameWS`) first look, name by name from the set folder down "
          "and without following anything, at what the path leads to, and act only on a real "
          "workspace folder, a real `Calls` folder, and a `Workspace.ini` or `Calls.dat` with "
          "no other name: otherwise a settings read gives what a missing file gives, a "
          "settings write answers false, `getTimelineVols` gives `[]`, "
          "`getCallDetailsForWorkspace` gives \"Failed to open file\", "
          "`getMissingOrBufferingCalls` counts every call missing, `isCallInWorkspace` does "
          "not find a call there, `createWSFolder` answers false and makes nothing below the "
          "set folder, and `renameWS` answers false for a workspace that is a link. A link "
          "another program makes between that look and the call is not seen: "
          "[`docs/security.md`](security.md) says who could, and what holds. Under Wine (the "
          "Linux browsers' route) a link opens as what it leads to, so there a workspace "
          "holding a link is not deleted: the delete answers false and leaves the link and "
          "what it leads to.\n"
       << "- A workspace name that the system's ANSI code page cannot spell is listed with "
          "`?` for each character the code page lacks, never as a look-alike it has (Greek "
          "`\u03a9` is not `O`): no method given another spelling acts on it, and `?` is "
          "refused in a name.\n"
       << "- When the administrator has set an origin policy (`AllowedOrigins`, see the "
          "README), only pages of the origins it names get the object at all; the embed of "
          "any other page has no methods.\n"
       << "- Any string result is `undefined` when the browser cannot supply memory for it.\n"
       << "- When Windows refuses a call a method makes (access denied, a file held elsewhere, "
          "a full disk, a path gone, a read or write cut short), the method gives its failure "
          "result, never part of an answer or a success that did not happen; each method says "
          "which.\n";
    for (const Group& group : kGroups) {
        md << "\n## " << group.title << "\n\n" << group.introduction << "\n";
        for (const MethodRow& row : scriptable::Methods()) {
            if (row.doc.group != group.group) continue;
            md << "\n### " << row.name << "\n\n```ts\n"
               << Signature(row) << "\n```\n\n"
               << row.doc.summary;
            const std::string note = SettingNote(row);
            if (!note.empty()) md << " " << note;
            md << "\n";
            if (*row.doc.failures) md << "\nFails with: " << row.doc.failures << ".\n";
            md << "\nWhen Windows refuses a call it makes: " << row.doc.refused << ".\n";
        }
    }
    return md.str();
}

// The client's API, the same on both routes: every method a promise of what
// the plug-in's method gives.
std::string PromiseDeclarations() {
    std::ostringstream ts;
    ts << "/** The route ready() found: the extension's, or the plug-in's embed. */\n"
       << "/**\n"
       << " * How far a long call is (copy, delete and usage count entries and bytes; call\n"
       << " * details count bytes read). The last report comes just before the answer.\n"
       << " */\n"
       << "export interface DravenilProgress {\n"
       << "  entriesDone: number;\n"
       << "  bytesDone: number;\n"
       << "  entriesTotal?: number;\n"
       << "  bytesTotal?: number;\n"
       << "}\n\n"
       << "/** The name of every error a call or ready() rejects with (see the reference). */\n"
       << "export type DravenilErrorName =\n"
       << "  | \"TypeError\" | \"RangeError\" | \"InvocationError\" | \"NotInstalledError\"\n"
       << "  | \"PolicyRefusedError\" | \"HostMissingError\" | \"HostForbiddenError\"\n"
       << "  | \"HostEndedError\" | \"QueueFullError\" | \"AbortError\";\n\n"
       << "/**\n"
       << " * What a call of the Promise API may take after its arguments. On the\n"
       << " * extension's route onProgress hears how far a long call is, at most every\n"
       << " * 100 ms, and an aborted signal stops it at its next entry: the promise then\n"
       << " * rejects with a DOMException named AbortError. The plug-in's route reports\n"
       << " * nothing, and only a signal aborted before the call stops it.\n"
       << " */\n"
       << "export interface DravenilCallOptions {\n"
       << "  onProgress?: (progress: DravenilProgress) => void;\n"
       << "  signal?: AbortSignal;\n"
       << "}\n\n"
       << "export interface DravenilRoute {\n"
       << "  route: \"extension\" | \"plugin\";\n"
       << "  version: string;\n"
       << "}\n\n"
       << "/**\n"
       << " * window.DravenilFileAccess, from npDravenilFileAccess.js or the extension: each\n"
       << " * method resolves with what the plug-in's method gives. A wrong argument count or\n"
       << " * type rejects with a TypeError naming the method and the argument; a name that is\n"
       << " * not a method rejects with \"exception during invocation: NAME\".\n"
       << " */\n"
       << "export interface DravenilFileAccess {\n"
       << "  /** Resolves once a route is found; rejects when the page has none. */\n"
       << "  ready(options?: { timeout?: number }): Promise<DravenilRoute>;\n"
       << "  /** Calls a method by name. */\n"
       << "  call(name: string, ...args: (string | boolean | DravenilCallOptions)[]): "
          "Promise<string | boolean | number "
          "| undefined>;\n"
       << "  /** The strict readers of the bracketed result texts. */\n"
       << "  readonly parse: DravenilResultParser;\n";
    for (const Group& group : kGroups) {
        for (const MethodRow& row : scriptable::Methods()) {
            if (row.doc.group != group.group) continue;
            std::string signature = Signature(row);
            const size_t result = signature.rfind("): ");
            const std::string options = row.argumentCount ? ", options?: DravenilCallOptions"
                                                          : "options?: DravenilCallOptions";
            signature = signature.substr(0, result) + options + "): Promise<" +
                        signature.substr(result + 3) + ">";
            ts << "  /** " << row.doc.summary << " */\n  " << signature << ";\n";
        }
    }
    ts << "}\n\n"
       << "declare global {\n"
       << "  const DravenilFileAccess: DravenilFileAccess;\n"
       << "  interface Window {\n"
       << "    readonly DravenilFileAccess: DravenilFileAccess;\n"
       << "  }\n"
       << "}\n";
    return ts.str();
}

std::string Declarations() {
    std::ostringstream ts;
    ts << "// The scriptable object of npDravenilFileAccessPlugin, as page script sees it.\n"
       << "// Written by api-reference from the method table; do not edit by hand.\n"
       << "// A call with a wrong argument count or type gives undefined; a name that is not a\n"
       << "// method throws \"exception during invocation\". See docs/script-api.md.\n\n"
       << "export interface DravenilFileAccessPlugin {\n";
    bool first = true;
    for (const Group& group : kGroups) {
        for (const MethodRow& row : scriptable::Methods()) {
            if (row.doc.group != group.group) continue;
            if (!first) ts << "\n";
            first = false;
            ts << "  /** " << row.doc.summary << " */\n  " << Signature(row) << ";\n";
        }
    }
    ts << "}\n\n"
       << "/** One record of getCallDetailsForWorkspace's text. */\n"
       << "export interface DravenilCallRecord {\n"
       << "  key: number;\n"
       << "  count: number;\n"
       << "  details: { id: number; name: string; value: string }[];\n"
       << "}\n\n"
       << "/**\n"
       << " * Strict readers of the bracketed result texts, which never evaluate them. The\n"
       << " * failure texts a method documents come back as null; any other text not exactly of\n"
       << " * its form throws a SyntaxError. DravenilFileAccess.parse is one; the file\n"
       << " * extension/npDravenilFileAccessParse.js, beside the client, defines the same as\n"
       << " * DravenilParse.\n"
       << " */\n"
       << "export interface DravenilResultParser {\n"
       << "  /** getWorkspaceList's text: the names; null for \"\" and \"Failed to get folder "
          "path\". */\n"
       << "  workspaceList(text: string): string[] | null;\n"
       << "  /**\n"
       << "   * getCallDetailsForWorkspace's text: the call records; null for \"Failed to open "
          "file\"\n"
       << "   * and \"Failed to get folder path\".\n"
       << "   */\n"
       << "  callDetails(text: string): DravenilCallRecord[] | null;\n"
       << "  /** getTimelineVols's text: [line, volume] pairs, as stored. */\n"
       << "  volumes(text: string): [string, string][];\n"
       << "}\n\n"
       << PromiseDeclarations();
    return ts.str();
}

std::string ExtensionMethods() {
    std::ostringstream js;
    js << "// The methods of the plug-in's scriptable object, in the order of its method\n"
       << "// table, each with its parameters' names and types. Written by api-reference\n"
       << "// from the table; do not edit by hand.\n"
       << "const DRAVENIL_METHODS = new Map([\n";
    for (const MethodRow& row : scriptable::Methods()) {
        js << "  [\"" << row.name << "\", [";
        for (uint32_t i = 0; i < row.argumentCount; ++i) {
            js << (i ? ", " : "") << "[\"" << row.doc.parameters[i].name << "\", \""
               << TypeName(row.argumentTypes[i]) << "\"]";
        }
        js << "]],\n";
    }
    js << "]);\n";
    return js.str();
}

bool WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: api-reference FOLDER\n";
        return 2;
    }
    const fs::path folder = argv[1];
    const bool ok =
        WriteText(folder / "docs" / "script-api.md", Markdown()) &&
        WriteText(folder / "types" / "npDravenilFileAccessPlugin.d.ts", Declarations()) &&
        WriteText(folder / "extension" / "methods.js", ExtensionMethods());
    return ok ? 0 : 1;
}
